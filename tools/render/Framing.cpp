#include "tools/render/Framing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// side rounded down, if needed, to the parity of the frame's side; never 0.
int MatchParity(int side, int frameSide) {
  if ((frameSide - side) % 2 != 0) --side;
  return std::max(1, side);
}

}  // namespace

FrameRect FitAspect(int width, int height, double aspect) {
  FrameRect rect{0, 0, width, height};
  const int fullHeightWidth = static_cast<int>(std::lround(height * aspect));
  if (fullHeightWidth < width)
    rect.Width = MatchParity(fullHeightWidth, width);
  else if (fullHeightWidth > width)
    rect.Height = MatchParity(std::min(height, static_cast<int>(std::lround(width / aspect))), height);
  rect.X = (width - rect.Width) / 2;
  rect.Y = (height - rect.Height) / 2;
  return rect;
}

Framer::Framer(int width, int height, double aspect, int supersample)
    : width_(width), height_(height), factor_(std::max(1, supersample)), picture_(FitAspect(width, height, aspect)) {}

Picture Framer::Compose(const std::vector<std::uint8_t>& drawn) const {
  Picture out;
  out.Width = width_;
  out.Height = height_;
  out.Rgba.assign(static_cast<size_t>(width_) * height_ * 4, 0);
  for (size_t i = 3; i < out.Rgba.size(); i += 4) out.Rgba[i] = 255;
  if (factor_ == 1)
    CopyRows(drawn.data(), out);
  else
    AverageBlocks(drawn.data(), out);
  return out;
}

void Framer::CopyRows(const std::uint8_t* drawn, Picture& out) const {
  const size_t row = static_cast<size_t>(picture_.Width) * 4;
  for (int y = 0; y < picture_.Height; ++y) {
    std::uint8_t* to = &out.Rgba[((static_cast<size_t>(picture_.Y) + y) * width_ + picture_.X) * 4];
    std::memcpy(to, drawn + y * row, row);
    for (size_t i = 3; i < row; i += 4) to[i] = 255;  // the demo's alpha is not part of the picture
  }
}

void Framer::AverageBlocks(const std::uint8_t* drawn, Picture& out) const {
  const size_t drawnRow = static_cast<size_t>(DrawWidth()) * 4;
  const unsigned samples = static_cast<unsigned>(factor_ * factor_);
  std::vector<unsigned> sums(static_cast<size_t>(picture_.Width) * 3);
  for (int y = 0; y < picture_.Height; ++y) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (int sy = 0; sy < factor_; ++sy) {
      const std::uint8_t* from = drawn + (static_cast<size_t>(y) * factor_ + sy) * drawnRow;
      for (int x = 0; x < picture_.Width; ++x)
        for (int sx = 0; sx < factor_; ++sx)
          for (int c = 0; c < 3; ++c) sums[x * 3 + c] += from[(x * factor_ + sx) * 4 + c];
    }
    std::uint8_t* to = &out.Rgba[((static_cast<size_t>(picture_.Y) + y) * width_ + picture_.X) * 4];
    for (int x = 0; x < picture_.Width; ++x)
      for (int c = 0; c < 3; ++c) to[x * 4 + c] = static_cast<std::uint8_t>((sums[x * 3 + c] + samples / 2) / samples);
  }
}
