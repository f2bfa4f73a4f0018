// The texture library: decodes an image file (BMP, GIF, JPEG, PNG, PNM,
// PSD, TGA, HDR and PIC: what stb_image reads; not WebP) and creates an OpenGL 2D texture from it in
// the current context, with mipmaps and trilinear filtering. The first row
// of the texture is the bottom row of the picture, so texture coordinate
// t = 0 is the picture's bottom edge.
//
// Decoding and uploading are separate steps: DecodePicture is pure CPU work
// that any thread may run; UploadPicture needs the main thread's current GL
// context. LoadTextureFile does both at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct PictureFree {
  void operator()(unsigned char* pixels) const;
};

// A decoded picture: Width x Height RGBA texels of 8 bits each, tightly
// packed, the picture's bottom row first. Empty (no Pixels) until decoded.
struct Picture {
  int Width = 0;
  int Height = 0;
  std::unique_ptr<unsigned char, PictureFree> Pixels;
};

// Decodes the file into picture. maxSize refuses, by the file's header and
// before decoding, a picture wider or higher than that (0: no limit).
// False, with picture left empty, when the file cannot be opened, is not a
// picture the decoder reads (a WebP picture, say), or is too large; then
// *whyNot, when given, says which in words. Nothing is shown or logged.
// Any thread; no GL call (the decoder's failure text is per process, so
// the words may be another thread's when two decode at once).
bool DecodePicture(const std::string& enginePath, int maxSize, Picture& picture, std::string* whyNot = nullptr);

// Uploads the picture as the whole image of texture id, with mipmaps and
// the filters above. id 0 makes a new texture name first; another id is
// filled in place (its other parameters, such as wrapping, stay), so every
// user of that name shows the new picture. False, with id and its texture
// unchanged, for an empty picture or one larger than the driver takes.
// The texture stays bound to GL_TEXTURE_2D. Main thread, GL current.
bool UploadPicture(const Picture& picture, std::uint32_t& id);

// The largest width and height UploadPicture accepts (GL current).
int MaxTextureSize();

// Decodes the file and creates the texture. On success writes the texture
// name into id and returns true; otherwise leaves id unchanged, returns
// false and says why in *whyNot when given (as DecodePicture). The texture
// stays bound to GL_TEXTURE_2D. Main thread, GL current.
bool LoadTextureFile(const std::string& enginePath, std::uint32_t& id, std::string* whyNot = nullptr);

// How many times LoadTextureFile ran in this process (for tests and
// statistics).
std::uint32_t TextureLoadCount();

}  // namespace platform
