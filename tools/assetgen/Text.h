// Title pictures: a line of text in white with a coloured glow on a
// transparent background, centred in the picture.
#pragma once

#include <string>

#include "Image.h"

namespace assetgen {

struct TextStyle {
  std::string fontPattern = "DejaVu Sans:bold";  // fontconfig pattern
  int pixelHeight = 64;                          // em size in pixels
  Color glow{0.3f, 0.7f, 1.0f, 1.0f};
  int glowRadius = 6;
};

// The font file fontconfig picks for the pattern, or "" when none.
std::string FindFontFile(const std::string& pattern);

// Renders text into a width × height picture. Returns false (and leaves
// image untouched) when the font cannot be found or loaded.
bool RenderText(const std::string& text, const TextStyle& style, Image& image);

}  // namespace assetgen
