#include "platform/TextureLoader.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <stb/stb_image.h>

#include <cerrno>
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

bool DecodePicture(const std::string& enginePath, int maxSize, Picture& picture, std::string* whyNot) {
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

bool LoadTextureFile(const std::string& enginePath, std::uint32_t& id, std::string* whyNot) {
  ++g_loadCount;
  Picture picture;
  const int maxSize = MaxTextureSize();
  if (!DecodePicture(enginePath, maxSize, picture, whyNot)) return false;
  if (UploadPicture(picture, id)) return true;
  return Refuse(whyNot, TooLarge(picture.Width, picture.Height, maxSize));
}

std::uint32_t TextureLoadCount() { return g_loadCount; }

}  // namespace platform
