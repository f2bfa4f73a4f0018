// A floating-point RGBA picture and its writers. Row 0 is the top row of
// the picture, as every image format stores it.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

struct Color {
  float r = 0, g = 0, b = 0, a = 1;
};

Color operator+(Color x, Color y);
Color operator*(Color x, float k);
Color Mix(Color x, Color y, float k);

class Image {
 public:
  Image(int width, int height, Color fill = {});

  int Width() const { return width_; }
  int Height() const { return height_; }
  Color& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Color& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  // 8-bit interleaved samples, clamped; channels is 3 (RGB) or 4 (RGBA).
  std::vector<unsigned char> ToBytes(int channels) const;

 private:
  int width_;
  int height_;
  std::vector<Color> pixels_;
};

// Each writer picks the format by name and returns false when the file
// could not be written. Opaque formats drop alpha.
bool WritePng(const Image& image, const std::string& path);
bool WriteBmp(const Image& image, const std::string& path);
bool WriteTga(const Image& image, const std::string& path);
bool WriteJpg(const Image& image, const std::string& path, int quality);

}  // namespace assetgen
