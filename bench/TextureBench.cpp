// Texture loading: images per second through the engine's LoadTexture
// (decode, flip, upload with mipmaps on the offscreen context) against
// stb_image decoding the same files alone. The images (PNG, JPEG, TGA at
// 256 and 1024 pixels square) are generated once into a folder.
#include <GL/gl.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "bench/DemoSetup.h"
#include "resources/vtTextures.h"
#include "runtime/vtStartU.h"

namespace bench {
namespace {

constexpr int kImagesPerKind = 3;
const char* const kFormats[] = {"png", "jpg", "tga"};

// A picture with smooth shapes and some grain, like a demo's texture.
std::vector<std::uint8_t> MakePicture(int size, int seed) {
  std::vector<std::uint8_t> rgb(static_cast<size_t>(size) * size * 3);
  std::uint32_t noise = 2463534242u + static_cast<std::uint32_t>(seed);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
      const double u = static_cast<double>(x) / size, v = static_cast<double>(y) / size;
      const double wave = std::sin(6.28 * (u * (3 + seed) + v * 2)) * std::cos(6.28 * v * (2 + seed));
      std::uint8_t* p = &rgb[(static_cast<size_t>(y) * size + x) * 3];
      p[0] = static_cast<std::uint8_t>(127 + 100 * wave + (noise & 15));
      p[1] = static_cast<std::uint8_t>(255 * u);
      p[2] = static_cast<std::uint8_t>(255 * v * (0.5 + 0.5 * wave) + (noise >> 28));
    }
  return rgb;
}

bool WritePicture(const std::string& path, const std::string& format, int size, int seed) {
  const std::vector<std::uint8_t> rgb = MakePicture(size, seed);
  if (format == "png") return stbi_write_png(path.c_str(), size, size, 3, rgb.data(), size * 3) != 0;
  if (format == "jpg") return stbi_write_jpg(path.c_str(), size, size, 3, rgb.data(), 90) != 0;
  return stbi_write_tga(path.c_str(), size, size, 3, rgb.data()) != 0;
}

// The files of one size, written unless they are there already.
std::vector<std::string> Pictures(const std::string& dir, int size) {
  std::vector<std::string> paths;
  std::filesystem::create_directories(dir);
  for (const char* format : kFormats)
    for (int i = 0; i < kImagesPerKind; ++i) {
      const std::string path = dir + "/tex" + std::to_string(size) + "_" + std::to_string(i) + "." + format;
      if (FileSize(path) <= 0 && !WritePicture(path, format, size, i)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return {};
      }
      paths.push_back(path);
    }
  return paths;
}

double DecodeRound(const std::vector<std::string>& paths) {
  const auto start = Clock::now();
  for (const auto& path : paths) {
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!pixels) std::fprintf(stderr, "cannot decode %s\n", path.c_str());
    stbi_image_free(pixels);
  }
  return static_cast<double>(paths.size()) / SecondsSince(start);
}

double LoadRound(const std::vector<std::string>& paths) {
  std::vector<std::uint32_t> ids;
  const auto start = Clock::now();
  for (const auto& path : paths) {
    std::uint32_t id = 0;
    LoadTexture(path, id, false);
    ids.push_back(id);
  }
  glFinish();
  const double perSecond = static_cast<double>(paths.size()) / SecondsSince(start);
  glDeleteTextures(static_cast<GLsizei>(ids.size()), ids.data());
  return perSecond;
}

void MeasureSize(int size, const std::vector<std::string>& paths, int rounds) {
  std::vector<double> decoded, loaded;
  LoadRound(paths);  // warm the page cache and the driver
  for (int r = 0; r < rounds; ++r) {
    decoded.push_back(DecodeRound(paths));
    loaded.push_back(LoadRound(paths));
  }
  const double ours = Median(loaded), reference = Median(decoded);
  PrintRow({"Texture loading " + std::to_string(size) + "x" + std::to_string(size) +
                " PNG/JPEG/TGA (images/s) vs stb_image decode alone",
            Format("%.1f", ours), Format("%.1f", reference), Format("%.2f", ours / reference)});
}

}  // namespace

int RunTextureBench(int argc, char** argv) {
  std::string dir = "/tmp/vortane-bench-textures";
  int rounds = 5;
  for (int i = 0; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--dir") dir = argv[i + 1];
    else if (a == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  if (!PrepareProcess()) return 1;
  CreateProgramObjects();
  auto gl = OpenContext(64, 64);
  if (!gl) return 1;
  for (int size : {256, 1024}) {
    const std::vector<std::string> paths = Pictures(dir, size);
    if (paths.empty()) return 1;
    MeasureSize(size, paths, rounds);
  }
  return 0;
}

}  // namespace bench
