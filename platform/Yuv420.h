// RGBA pictures as the 4:2:0 planes video encoders take: BT.601 in
// limited range, the matrix and range the video files are marked with.
#pragma once

#include <cstdint>

namespace platform {

struct Yuv420Planes {
  std::uint8_t* Y;
  std::uint8_t* U;  // Cb
  std::uint8_t* V;  // Cr
  int YStride, UStride, VStride;  // bytes from one row to the next
};

// width × height RGBA pixels, bottom row first (as GL reads them back),
// into the planes top row first; alpha is ignored. Each chroma sample is
// the mean of its 2×2 block of pixels (sited at the block's centre), so
// every pixel counts and a sharp coloured edge keeps its colours. Width
// and height are even.
void RgbaBottomUpToYuv420(const std::uint8_t* rgba, int width, int height, const Yuv420Planes& out);

}  // namespace platform
