#include "platform/FontRaster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>

namespace platform {
namespace {

// The file and face index fontconfig picks for the pattern.
bool FindFontFile(const std::string& pattern, std::string& file, int& index) {
  if (!FcInit()) return false;
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
  if (!pat) return false;
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!match) return false;
  FcChar8* path = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
  if (found) {
    file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  }
  FcPatternDestroy(match);
  return found;
}

// The rendered glyph slot as a bottom-up 1-bit bitmap.
GlyphBitmap ToGlyphBitmap(const FT_GlyphSlot slot) {
  const FT_Bitmap& src = slot->bitmap;
  GlyphBitmap glyph;
  glyph.Width = static_cast<int>(src.width);
  glyph.Height = static_cast<int>(src.rows);
  glyph.OriginX = static_cast<float>(-slot->bitmap_left);
  glyph.OriginY = static_cast<float>(glyph.Height - slot->bitmap_top);
  glyph.Advance = static_cast<float>(slot->advance.x) / 64.0f;
  const int rowBytes = (glyph.Width + 7) / 8;
  glyph.Bits.assign(static_cast<size_t>(rowBytes) * glyph.Height, 0);
  for (int row = 0; row < glyph.Height; ++row) {
    const unsigned char* in = src.buffer + static_cast<std::ptrdiff_t>(row) * src.pitch;
    std::uint8_t* out = glyph.Bits.data() + static_cast<size_t>(glyph.Height - 1 - row) * rowBytes;
    for (int x = 0; x < glyph.Width; ++x) {
      bool on = src.pixel_mode == FT_PIXEL_MODE_MONO ? (in[x / 8] >> (7 - x % 8)) & 1 : in[x] >= 128;
      if (on) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return glyph;
}

struct FtLibraryDeleter {
  void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
};
struct FtFaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};

}  // namespace

bool RasterizeFont(const std::string& pattern, int pixelHeight, int first, int count,
                   std::vector<GlyphBitmap>& glyphs, std::string& error) {
  glyphs.clear();
  std::string file;
  int index = 0;
  if (!FindFontFile(pattern, file, index)) {
    error = "no font matches \"" + pattern + "\"";
    return false;
  }
  FT_Library rawLib = nullptr;
  if (FT_Init_FreeType(&rawLib) != 0) {
    error = "FreeType cannot start";
    return false;
  }
  std::unique_ptr<FT_LibraryRec_, FtLibraryDeleter> lib(rawLib);
  FT_Face rawFace = nullptr;
  if (FT_New_Face(rawLib, file.c_str(), index, &rawFace) != 0) {
    error = "cannot load the font file " + file;
    return false;
  }
  std::unique_ptr<FT_FaceRec_, FtFaceDeleter> face(rawFace);
  FT_Set_Pixel_Sizes(rawFace, 0, static_cast<FT_UInt>(pixelHeight));
  glyphs.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (FT_Load_Char(rawFace, static_cast<FT_ULong>(first + i), FT_LOAD_RENDER) == 0)
      glyphs[static_cast<size_t>(i)] = ToGlyphBitmap(rawFace->glyph);
  }
  return true;
}

}  // namespace platform
