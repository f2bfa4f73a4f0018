// Glyph bitmaps of a system font, found through fontconfig and rasterised
// with FreeType, in the form glBitmap takes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct GlyphBitmap {
  int Width = 0;   // pixels
  int Height = 0;  // rows
  float OriginX = 0;  // glBitmap xorig: pixels left of the pen to the bitmap's left edge, negated
  float OriginY = 0;  // glBitmap yorig: rows of the bitmap below the baseline
  float Advance = 0;  // pen movement to the next character, pixels
  // One bit per pixel, most significant bit first, rows bottom-up, each row
  // padded to whole bytes (unpack alignment 1).
  std::vector<std::uint8_t> Bits;
};

// Rasterises the characters first .. first + count - 1 of the font that
// best matches the fontconfig pattern (e.g. "DejaVu Sans Mono:bold") at a
// character height of pixelHeight. Anti-aliased coverage is thresholded at
// one half. Returns false and an explanation when no font can be loaded.
bool RasterizeFont(const std::string& pattern, int pixelHeight, int first, int count,
                   std::vector<GlyphBitmap>& glyphs, std::string& error);

}  // namespace platform
