// The texture library: decodes an image file (BMP, TGA, JPEG, PNG, and
// whatever else stb_image reads) and creates an OpenGL 2D texture from it in
// the current context, with mipmaps and trilinear filtering. The first row
// of the texture is the bottom row of the picture, so texture coordinate
// t = 0 is the picture's bottom edge.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Decodes the file and creates the texture. On success writes the texture
// name into id and returns true; otherwise leaves id unchanged and returns
// false. The texture stays bound to GL_TEXTURE_2D.
bool LoadTextureFile(const std::string& enginePath, std::uint32_t& id);

// How many times LoadTextureFile ran in this process (for tests and
// statistics).
std::uint32_t TextureLoadCount();

}  // namespace platform
