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
#include <vector>

namespace platform {

struct PictureFree {
  void operator()(unsigned char* pixels) const;
};

// One smaller level of a picture: RGBA texels like the picture's own.
struct MipLevel {
  int Width = 0;
  int Height = 0;
  std::vector<unsigned char> Pixels;
};

// A decoded picture: Width x Height RGBA texels of 8 bits each, tightly
// packed, the picture's bottom row first. Empty (no Pixels) until decoded.
// Mipmaps holds levels 1, 2, ... down to 1 x 1, made on the CPU (each
// texel the rounded mean of the 2 x 2 texels under it; a size of 1 stays
// 1), so a texture looks the same on every driver and the slow part of
// loading it runs where the picture is decoded.
struct Picture {
  int Width = 0;
  int Height = 0;
  std::unique_ptr<unsigned char, PictureFree> Pixels;
  std::vector<MipLevel> Mipmaps;
};

// Decodes the file into picture, its mipmap levels included. maxSize refuses, by the file's header and
// before decoding, a picture wider or higher than that (0: no limit).
// False, with picture left empty, when the file cannot be opened, is not a
// picture the decoder reads (a WebP picture, say), or is too large; then
// *whyNot, when given, says which in words. Nothing is shown or logged.
// Any thread; no GL call (the decoder's failure text is per process, so
// the words may be another thread's when two decode at once).
bool DecodePicture(const std::string& enginePath, int maxSize, Picture& picture, std::string* whyNot = nullptr);

// What DecodePicture checks before decoding, and only that: the file opens
// and its header is that of a picture the decoder reads, no larger than
// maxSize (0: no limit). True says nothing of the rest of the file: its
// decoding may still fail. Any thread; no GL call; nothing shown or logged.
bool ProbePicture(const std::string& enginePath, int maxSize);

// Makes picture's mipmap levels from its pixels (DecodePicture does).
void MakeMipmaps(Picture& picture);

// Uploads the picture as the whole image of texture id, with its mipmap
// levels (the driver makes them for a picture without) and the filters
// above. id 0 makes a new texture name first; another id is
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

// How many pictures DecodePicture (alone or for LoadTextureFile) was asked
// for in this process, on any thread (for tests and statistics).
std::uint32_t TextureLoadCount();

}  // namespace platform
