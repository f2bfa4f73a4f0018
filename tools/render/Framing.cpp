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
  Compose(drawn, PixelOrder::Rgba, out);
  return out;
}

void Framer::Compose(const std::vector<std::uint8_t>& drawn, PixelOrder order, Picture& out) const {
  out.Width = width_;
  out.Height = height_;
  out.Rgba.resize(static_cast<size_t>(width_) * height_ * 4);
  FillBars(out);
  if (factor_ == 1)
    CopyRows(drawn.data(), order, out);
  else
    AverageBlocks(drawn.data(), order, out);
}

// Opaque black around the picture: the rows above and below it, and
// either side of each of its rows.
void Framer::FillBars(Picture& out) const {
  auto black = [&](int y, int x, int pixels) {
    std::uint8_t* to = &out.Rgba[(static_cast<size_t>(y) * width_ + x) * 4];
    for (int i = 0; i < pixels; ++i, to += 4) to[0] = to[1] = to[2] = 0, to[3] = 255;
  };
  const int right = picture_.X + picture_.Width;
  for (int y = 0; y < height_; ++y) {
    if (y < picture_.Y || y >= picture_.Y + picture_.Height) {
      black(y, 0, width_);
      continue;
    }
    black(y, 0, picture_.X);
    black(y, right, width_ - right);
  }
}

// The demo's alpha is not part of the picture: every pixel is opaque.
void Framer::CopyRows(const std::uint8_t* drawn, PixelOrder order, Picture& out) const {
  const size_t row = static_cast<size_t>(picture_.Width) * 4;
  const int red = order == PixelOrder::Bgra ? 2 : 0;
  for (int y = 0; y < picture_.Height; ++y) {
    std::uint8_t* to = &out.Rgba[((static_cast<size_t>(picture_.Y) + y) * width_ + picture_.X) * 4];
    const std::uint8_t* from = drawn + y * row;
    for (size_t i = 0; i < row; i += 4) {
      to[i] = from[i + red];
      to[i + 1] = from[i + 1];
      to[i + 2] = from[i + 2 - red];
      to[i + 3] = 255;
    }
  }
}

void Framer::AverageBlocks(const std::uint8_t* drawn, PixelOrder order, Picture& out) const {
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
    const int red = order == PixelOrder::Bgra ? 2 : 0;
    for (int x = 0; x < picture_.Width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int source = c == 1 ? 1 : c ^ red;  // red and blue trade places in BGRA
        to[x * 4 + c] = static_cast<std::uint8_t>((sums[x * 3 + source] + samples / 2) / samples);
      }
      to[x * 4 + 3] = 255;
    }
  }
}
