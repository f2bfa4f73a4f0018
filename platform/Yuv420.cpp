#include "platform/Yuv420.h"

#include <cstddef>

namespace platform {
namespace {

// BT.601 limited range, 16 fractional bits: Y spans 16..235 and the
// chroma 16..240 around 128. Each chroma row sums to 0, each luma row to
// 219/255, both exactly, so grey stays grey and white stays 235.
constexpr int kBits = 16;
constexpr int kYr = 16829, kYg = 33039, kYb = 6416;
constexpr int kUr = -9714, kUg = -19070, kUb = 28784;
constexpr int kVr = 28784, kVg = -24103, kVb = -4681;

void LumaRow(const std::uint8_t* rgba, int width, std::uint8_t* y) {
  constexpr int kBase = (16 << kBits) + (1 << (kBits - 1));  // offset and rounding
  for (int x = 0; x < width; ++x) {
    const std::uint8_t* p = rgba + 4 * x;
    y[x] = static_cast<std::uint8_t>((kYr * p[0] + kYg * p[1] + kYb * p[2] + kBase) >> kBits);
  }
}

// The chroma of the 2×2 blocks of two rows: sums of four pixels carry two
// more bits.
void ChromaRow(const std::uint8_t* upper, const std::uint8_t* lower, int width, std::uint8_t* u,
               std::uint8_t* v) {
  constexpr int kShift = kBits + 2;
  constexpr int kBase = (128 << kShift) + (1 << (kShift - 1));
  for (int x = 0; x < width / 2; ++x) {
    const std::uint8_t* a = upper + 8 * x;
    const std::uint8_t* b = lower + 8 * x;
    const int r = a[0] + a[4] + b[0] + b[4];
    const int g = a[1] + a[5] + b[1] + b[5];
    const int bl = a[2] + a[6] + b[2] + b[6];
    u[x] = static_cast<std::uint8_t>((kUr * r + kUg * g + kUb * bl + kBase) >> kShift);
    v[x] = static_cast<std::uint8_t>((kVr * r + kVg * g + kVb * bl + kBase) >> kShift);
  }
}

}  // namespace

void RgbaBottomUpToYuv420(const std::uint8_t* rgba, int width, int height, const Yuv420Planes& out) {
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  auto source = [&](int y) { return rgba + static_cast<std::size_t>(height - 1 - y) * row; };
  for (int y = 0; y < height; y += 2) {
    const std::uint8_t* upper = source(y);
    const std::uint8_t* lower = source(y + 1);
    LumaRow(upper, width, out.Y + static_cast<std::ptrdiff_t>(y) * out.YStride);
    LumaRow(lower, width, out.Y + static_cast<std::ptrdiff_t>(y + 1) * out.YStride);
    const std::ptrdiff_t c = y / 2;
    ChromaRow(upper, lower, width, out.U + c * out.UStride, out.V + c * out.VStride);
  }
}

}  // namespace platform
