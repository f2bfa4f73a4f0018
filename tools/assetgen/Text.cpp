#include "Text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace assetgen {

std::string FindFontFile(const std::string& pattern) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return "";
  std::string file;
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
  FcConfigSubstitute(config, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  if (FcPattern* match = FcFontMatch(config, pat, &result)) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<char*>(path);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pat);
  FcConfigDestroy(config);
  return file;
}

namespace {

using Coverage = std::vector<float>;  // width × height, row 0 on top

// Draws the glyphs of text with its baseline centred vertically.
bool DrawGlyphs(FT_Face face, const std::string& text, int width, int height, Coverage& out) {
  int penWidth = 0;
  for (unsigned char ch : text) {
    if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT)) return false;
    penWidth += face->glyph->advance.x >> 6;
  }
  int ascender = face->size->metrics.ascender >> 6, descender = face->size->metrics.descender >> 6;
  int baseline = (height + ascender + descender) / 2;
  int pen = (width - penWidth) / 2;
  for (unsigned char ch : text) {
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER)) return false;
    FT_GlyphSlot g = face->glyph;
    for (unsigned row = 0; row < g->bitmap.rows; ++row)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        int x = pen + g->bitmap_left + static_cast<int>(col), y = baseline - g->bitmap_top + static_cast<int>(row);
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        float a = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
        float& dst = out[static_cast<size_t>(y) * width + x];
        dst = std::max(dst, a);
      }
    pen += g->advance.x >> 6;
  }
  return true;
}

// A separable box blur run twice, close enough to a Gaussian glow.
Coverage Blur(const Coverage& in, int width, int height, int radius) {
  Coverage a = in, b(in.size());
  for (int pass = 0; pass < 2; ++pass) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        float sum = 0;
        for (int k = -radius; k <= radius; ++k) sum += a[y * width + std::clamp(x + k, 0, width - 1)];
        b[y * width + x] = sum / (2 * radius + 1);
      }
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        float sum = 0;
        for (int k = -radius; k <= radius; ++k) sum += b[std::clamp(y + k, 0, height - 1) * width + x];
        a[y * width + x] = sum / (2 * radius + 1);
      }
  }
  return a;
}

}  // namespace

bool RenderText(const std::string& text, const TextStyle& style, Image& image) {
  std::string fontFile = FindFontFile(style.fontPattern);
  if (fontFile.empty()) return false;
  FT_Library library;
  if (FT_Init_FreeType(&library)) return false;
  FT_Face face;
  bool ok = FT_New_Face(library, fontFile.c_str(), 0, &face) == 0;
  const int width = image.Width(), height = image.Height();
  Coverage text_(static_cast<size_t>(width) * height, 0.0f);
  if (ok) {
    ok = FT_Set_Pixel_Sizes(face, 0, style.pixelHeight) == 0 && DrawGlyphs(face, text, width, height, text_);
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  if (!ok) return false;

  Coverage glow = Blur(text_, width, height, style.glowRadius);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      float ta = text_[y * width + x], ga = std::min(1.0f, glow[y * width + x] * 2.5f);
      float alpha = ta + ga * (1 - ta);
      Color c{1, 1, 1, 1};
      if (alpha > 0) c = (Color{1, 1, 1} * ta + style.glow * (ga * (1 - ta))) * (1.0f / alpha);
      c.a = alpha;
      image.At(x, y) = c;
    }
  return true;
}

}  // namespace assetgen
