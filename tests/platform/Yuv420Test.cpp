// The encoders' picture conversion: BT.601 limited-range values, the
// picture turned top row first, chroma as the mean of each 2×2 block.
#include "platform/Yuv420.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct Converted {
  std::vector<std::uint8_t> Y, U, V;
};

// Planes with strides wider than the rows: the padding must stay as it was.
constexpr int kPad = 3;
constexpr std::uint8_t kUntouched = 7;

Converted Convert(const std::vector<std::uint8_t>& rgba, int width, int height) {
  const int yStride = width + kPad, cStride = width / 2 + kPad;
  Converted c{std::vector<std::uint8_t>(static_cast<size_t>(yStride) * height, kUntouched),
              std::vector<std::uint8_t>(static_cast<size_t>(cStride) * height / 2, kUntouched),
              std::vector<std::uint8_t>(static_cast<size_t>(cStride) * height / 2, kUntouched)};
  platform::RgbaBottomUpToYuv420(rgba.data(), width, height,
                                 {c.Y.data(), c.U.data(), c.V.data(), yStride, cStride, cStride});
  return c;
}

std::vector<std::uint8_t> Uniform(int pixels, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::vector<std::uint8_t> rgba;
  for (int i = 0; i < pixels; ++i) rgba.insert(rgba.end(), {r, g, b, 99});
  return rgba;
}

TEST(Yuv420, ColoursTakeTheirBt601LimitedRangeValues) {
  const struct {
    std::uint8_t r, g, b, y, u, v;
  } colours[] = {
      {0, 0, 0, 16, 128, 128},        {255, 255, 255, 235, 128, 128}, {128, 128, 128, 126, 128, 128},
      {255, 0, 0, 81, 90, 240},       {0, 255, 0, 145, 54, 34},       {0, 0, 255, 41, 240, 110},
  };
  for (const auto& colour : colours) {
    SCOPED_TRACE(testing::Message() << int(colour.r) << " " << int(colour.g) << " " << int(colour.b));
    const Converted c = Convert(Uniform(4 * 2, colour.r, colour.g, colour.b), 4, 2);
    EXPECT_EQ(c.Y, (std::vector<std::uint8_t>{colour.y, colour.y, colour.y, colour.y, kUntouched, kUntouched,
                                              kUntouched, colour.y, colour.y, colour.y, colour.y, kUntouched,
                                              kUntouched, kUntouched}));
    EXPECT_EQ(c.U, (std::vector<std::uint8_t>{colour.u, colour.u, kUntouched, kUntouched, kUntouched}));
    EXPECT_EQ(c.V, (std::vector<std::uint8_t>{colour.v, colour.v, kUntouched, kUntouched, kUntouched}));
  }
}

// Bottom row first in, top row first out; a block of red beside blue
// gives the mean of their chroma, and each block only its own pixels'.
TEST(Yuv420, TheLastRowComesFirstAndChromaIsTheMeanOfItsBlock) {
  const int width = 4, height = 4;
  std::vector<std::uint8_t> rgba = Uniform(width * 2, 255, 255, 255);  // the bottom two rows
  const std::vector<std::uint8_t> top = Uniform(width * 2, 0, 0, 0);
  rgba.insert(rgba.end(), top.begin(), top.end());
  for (int row : {2, 3}) {  // the top-left block: red over blue, in two columns
    rgba[(row * width + 0) * 4 + 0] = 255;
    rgba[(row * width + 1) * 4 + 2] = 255;
  }
  const Converted c = Convert(rgba, width, height);
  const int yStride = width + kPad, cStride = width / 2 + kPad;
  EXPECT_EQ(c.Y[0], 81);   // red, now at the top
  EXPECT_EQ(c.Y[1], 41);   // blue
  EXPECT_EQ(c.Y[2], 16);   // black
  EXPECT_EQ(c.Y[2 * yStride], 235);  // white below
  EXPECT_EQ(c.U[0], 165);  // (90 + 240) / 2, from the exact sums
  EXPECT_EQ(c.V[0], 175);  // (240 + 110) / 2
  EXPECT_EQ(c.U[1], 128);
  EXPECT_EQ(c.U[cStride], 128);
}

}  // namespace
