// Small test images written with stb_image_write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/GlTest.h"

namespace testsupport {

// Writes a width x height RGB image; the format follows the extension of
// path (".bmp", ".tga", ".jpg", ".png"). pixel(x, y) gives the colour of
// column x, row y, row 0 being the TOP row of the picture. True on success.
bool WriteImage(const std::string& path, int width, int height, const std::function<Rgba(int x, int y)>& pixel);

// A one-colour image.
bool WriteSolidImage(const std::string& path, Rgba colour, int size = 8);

}  // namespace testsupport
