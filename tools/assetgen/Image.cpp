#include "Image.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace assetgen {

Color operator+(Color x, Color y) { return {x.r + y.r, x.g + y.g, x.b + y.b, x.a + y.a}; }
Color operator*(Color x, float k) { return {x.r * k, x.g * k, x.b * k, x.a * k}; }
Color Mix(Color x, Color y, float k) { return x * (1.0f - k) + y * k; }

Image::Image(int width, int height, Color fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

namespace {

unsigned char ToByte(float v) {
  return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

std::vector<unsigned char> Image::ToBytes(int channels) const {
  std::vector<unsigned char> bytes;
  bytes.reserve(pixels_.size() * channels);
  for (const Color& c : pixels_) {
    bytes.push_back(ToByte(c.r));
    bytes.push_back(ToByte(c.g));
    bytes.push_back(ToByte(c.b));
    if (channels == 4) bytes.push_back(ToByte(c.a));
  }
  return bytes;
}

bool WritePng(const Image& image, const std::string& path) {
  auto bytes = image.ToBytes(4);
  return stbi_write_png(path.c_str(), image.Width(), image.Height(), 4, bytes.data(), image.Width() * 4) != 0;
}

bool WriteBmp(const Image& image, const std::string& path) {
  auto bytes = image.ToBytes(3);
  return stbi_write_bmp(path.c_str(), image.Width(), image.Height(), 3, bytes.data()) != 0;
}

bool WriteTga(const Image& image, const std::string& path) {
  auto bytes = image.ToBytes(3);
  return stbi_write_tga(path.c_str(), image.Width(), image.Height(), 3, bytes.data()) != 0;
}

bool WriteJpg(const Image& image, const std::string& path, int quality) {
  auto bytes = image.ToBytes(3);
  return stbi_write_jpg(path.c_str(), image.Width(), image.Height(), 3, bytes.data(), quality) != 0;
}

}  // namespace assetgen
