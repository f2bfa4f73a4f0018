// The title and caption pictures of the sample demo.
#pragma once

#include <vector>

#include "Image.h"

namespace assetgen {

struct Title {
  const char* file;
  const char* text;
  int width, height, pixelHeight;
  const char* font;  // fontconfig pattern
  Color glow;
};

const std::vector<Title>& DemoTitles();

// Renders one title; false when its font is missing.
bool RenderTitle(const Title& title, Image& image);

}  // namespace assetgen
