#include "support/Images.h"

#include <stb/stb_image_write.h>

#include <vector>

namespace testsupport {

namespace {
bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

bool WriteImage(const std::string& path, int width, int height, const std::function<Rgba(int x, int y)>& pixel) {
  std::vector<unsigned char> rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgba c = pixel(x, y);
      rgb.insert(rgb.end(), {c[0], c[1], c[2]});
    }
  const char* file = path.c_str();
  if (EndsWith(path, ".bmp")) return stbi_write_bmp(file, width, height, 3, rgb.data()) != 0;
  if (EndsWith(path, ".tga")) return stbi_write_tga(file, width, height, 3, rgb.data()) != 0;
  if (EndsWith(path, ".jpg")) return stbi_write_jpg(file, width, height, 3, rgb.data(), 95) != 0;
  if (EndsWith(path, ".png")) return stbi_write_png(file, width, height, 3, rgb.data(), width * 3) != 0;
  return false;
}

bool WriteSolidImage(const std::string& path, Rgba colour, int size) {
  return WriteImage(path, size, size, [&](int, int) { return colour; });
}

}  // namespace testsupport
