#include "platform/TextureLoader.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <stb/stb_image.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/Files.h"

namespace platform {
namespace {

std::uint32_t g_loadCount = 0;

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

}  // namespace

void PictureFree::operator()(unsigned char* pixels) const { stbi_image_free(pixels); }

bool DecodePicture(const std::string& enginePath, int maxSize, Picture& picture) {
  picture = Picture{};
  std::FILE* file = OpenFile(enginePath, "rb");
  if (!file) return false;
  int width = 0, height = 0, channels = 0;
  // A larger picture would give an empty texture: refuse it by its header,
  // before a few bytes claiming a huge size are decoded into gigabytes.
  const bool tooLarge = maxSize > 0 && stbi_info_from_file(file, &width, &height, &channels) &&
                        (width > maxSize || height > maxSize);
  if (IsWidePnm(file) || tooLarge) {
    std::fclose(file);
    return false;
  }
  std::unique_ptr<unsigned char, PictureFree> pixels(stbi_load_from_file(file, &width, &height, &channels, 4));
  std::fclose(file);
  if (!pixels || width <= 0 || height <= 0) return false;
  if (maxSize > 0 && (width > maxSize || height > maxSize)) return false;
  FlipRows(pixels.get(), width, height);
  picture.Width = width;
  picture.Height = height;
  picture.Pixels = std::move(pixels);
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
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.Width, picture.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               picture.Pixels.get());
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  id = name;
  return true;
}

bool LoadTextureFile(const std::string& enginePath, std::uint32_t& id) {
  ++g_loadCount;
  Picture picture;
  return DecodePicture(enginePath, MaxTextureSize(), picture) && UploadPicture(picture, id);
}

std::uint32_t TextureLoadCount() { return g_loadCount; }

}  // namespace platform
