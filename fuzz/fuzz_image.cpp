// Arbitrary image files through the texture library as the items load
// them (vtTexture::Load: store, loader, log), then a textured quad drawn
// with whatever texture came out.
#include <GL/gl.h>
#include <stb/stb_image.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "ItemFuzz.h"
#include "resources/vtTextures.h"

namespace {

// A header may claim up to the largest texture the driver takes (16384
// pixels a side, 1 GiB decoded), which the player accepts; the fuzzer's
// memory limit does not, so such pictures are left to the tests.
constexpr long long kMaxPixels = 1 << 22;

bool SmallEnough(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  int width = 0, height = 0, channels = 0;
  const bool known = stbi_info_from_file(f, &width, &height, &channels) != 0;
  std::fclose(f);
  return !known || static_cast<long long>(width) * height <= kMaxPixels;
}

void DrawQuad(std::uint32_t id) {
  glBindTexture(GL_TEXTURE_2D, id);
  glEnable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glFinish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (itemfuzz::Prepare(data, size, "img").empty() || !SmallEnough("item.img")) return 0;
  vtTexture texture;
  texture.SetFileName("item.img");
  texture.Load();
  DrawQuad(texture.Id);
  if (texture.Id != 0) {
    const GLuint id = texture.Id;
    glDeleteTextures(1, &id);
  }
  return 0;
}
