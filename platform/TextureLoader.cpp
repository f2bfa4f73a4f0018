#include "platform/TextureLoader.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Files.h"

namespace platform {
namespace {

std::atomic<std::uint32_t> g_loadCount{0};

void FlipRows(unsigned char* pixels, int width, int height) {
  const size_t row = static_cast<size_t>(width) * 4;
  std::vector<unsigned char> tmp(row);
  for (int y = 0; y < height / 2; ++y) {
    unsigned char* top = pixels + y * row;
    unsigned char* bottom = pixels + (height - 1 - y) * row;
    std::memcpy(tmp.data(), top, row);
    std::memcpy(top, bottom, row);
    std::memcpy(bottom, tmp.data(), row);
  }
}

// Binary PNM pictures with 16-bit samples: the system decoder reads past its
// buffer on a short one (found by fuzzing), and no demo tool writes them.
bool IsWidePnm(std::FILE* file) {
  char magic[2] = {};
  const bool read = std::fread(magic, 1, 2, file) == 2;
  std::rewind(file);
  if (!read || magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6')) return false;
  return stbi_is_16_bit_from_file(file) != 0;
}

bool Refuse(std::string* whyNot, std::string reason) {
  if (whyNot) *whyNot = std::move(reason);
  return false;
}

std::string TooLarge(int width, int height, int maxSize) {
  return "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels; this OpenGL driver takes at most " + std::to_string(maxSize) + " x " + std::to_string(maxSize);
}

// Why the decoder gave no pixels; the file is rewound and read again.
std::string DecodeFailure(std::FILE* file) {
  unsigned char head[12] = {};
  std::rewind(file);
  const bool full = std::fread(head, 1, sizeof head, file) == sizeof head;
  if (full && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
    return "WebP pictures are not supported";
  const char* reason = stbi_failure_reason();
  if (!reason || std::strcmp(reason, "unknown image type") == 0)
    return "not a picture in a format that loads (BMP, GIF, JPEG, PNG, PNM, PSD, TGA, HDR, PIC)";
  return std::string("the picture cannot be decoded (") + reason + ")";
}

}  // namespace

void PictureFree::operator()(unsigned char* pixels) const { stbi_image_free(pixels); }

bool ProbePicture(const std::string& enginePath, int maxSize) {
  std::FILE* file = OpenFile(enginePath, "rb");
  if (!file) return false;
  int width = 0, height = 0, channels = 0;
  const bool readable = !IsWidePnm(file) && stbi_info_from_file(file, &width, &height, &channels) && width > 0 &&
                        height > 0 && (maxSize <= 0 || (width <= maxSize && height <= maxSize));
  std::fclose(file);
  return readable;
}

void MakeMipmaps(Picture& picture) {
  picture.Mipmaps.clear();
  const unsigned char* source = picture.Pixels.get();
  int width = picture.Width, height = picture.Height;
  while (source && (width > 1 || height > 1)) {
    MipLevel level;
    level.Width = std::max(1, width / 2);
    level.Height = std::max(1, height / 2);
    level.Pixels.resize(static_cast<size_t>(level.Width) * level.Height * 4);
    unsigned char* out = level.Pixels.data();
    for (int y = 0; y < level.Height; ++y) {
      const unsigned char* row0 = source + static_cast<size_t>(std::min(2 * y, height - 1)) * width * 4;
      const unsigned char* row1 = source + static_cast<size_t>(std::min(2 * y + 1, height - 1)) * width * 4;
      for (int x = 0; x < level.Width; ++x) {
        const size_t x0 = static_cast<size_t>(std::min(2 * x, width - 1)) * 4;
        const size_t x1 = static_cast<size_t>(std::min(2 * x + 1, width - 1)) * 4;
        for (int c = 0; c < 4; ++c, ++out)
          *out = static_cast<unsigned char>((row0[x0 + c] + row0[x1 + c] + row1[x0 + c] + row1[x1 + c] + 2) / 4);
      }
    }
    picture.Mipmaps.push_back(std::move(level));
    source = picture.Mipmaps.back().Pixels.data();
    width = picture.Mipmaps.back().Width;
    height = picture.Mipmaps.back().Height;
  }
}

bool DecodePicture(const std::string& enginePath, int maxSize, Picture& picture, std::string* whyNot) {
  ++g_loadCount;
  picture = Picture{};
  std::FILE* file = OpenFile(enginePath, "rb");
  if (!file) return Refuse(whyNot, OpenFailureText(errno));
  int width = 0, height = 0, channels = 0;
  if (IsWidePnm(file)) {
    std::fclose(file);
    return Refuse(whyNot, "PNM pictures with 16-bit samples are not supported");
  }
  // A larger picture would give an empty texture: refuse it by its header,
  // before a few bytes claiming a huge size are decoded into gigabytes.
  if (maxSize > 0 && stbi_info_from_file(file, &width, &height, &channels) && (width > maxSize || height > maxSize)) {
    std::fclose(file);
    return Refuse(whyNot, TooLarge(width, height, maxSize));
  }
  std::unique_ptr<unsigned char, PictureFree> pixels(stbi_load_from_file(file, &width, &height, &channels, 4));
  const std::string failure = pixels ? std::string() : DecodeFailure(file);
  std::fclose(file);
  if (!pixels) return Refuse(whyNot, failure);
  if (width <= 0 || height <= 0) return Refuse(whyNot, "the picture has no pixels");
  if (maxSize > 0 && (width > maxSize || height > maxSize)) return Refuse(whyNot, TooLarge(width, height, maxSize));
  FlipRows(pixels.get(), width, height);
  picture.Width = width;
  picture.Height = height;
  picture.Pixels = std::move(pixels);
  MakeMipmaps(picture);
  return true;
}

int MaxTextureSize() {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  return maxSize;
}

bool UploadPicture(const Picture& picture, std::uint32_t& id) {
  const int maxSize = MaxTextureSize();
  if (!picture.Pixels || picture.Width <= 0 || picture.Height <= 0) return false;
  if (picture.Width > maxSize || picture.Height > maxSize) return false;
  GLuint name = id;
  if (name == 0) glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, picture.Mipmaps.empty() ? GL_TRUE : GL_FALSE);
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.Width, picture.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               picture.Pixels.get());
  for (size_t k = 0; k < picture.Mipmaps.size(); ++k) {
    const MipLevel& level = picture.Mipmaps[k];
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(k + 1), GL_RGBA8, level.Width, level.Height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, level.Pixels.data());
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  id = name;
  return true;
}

bool LoadTextureFile(const std::string& enginePath, std::uint32_t& id, std::string* whyNot) {
  Picture picture;
  const int maxSize = MaxTextureSize();
  if (!DecodePicture(enginePath, maxSize, picture, whyNot)) return false;
  if (UploadPicture(picture, id)) return true;
  return Refuse(whyNot, TooLarge(picture.Width, picture.Height, maxSize));
}

std::uint32_t TextureLoadCount() { return g_loadCount; }

}  // namespace platform
