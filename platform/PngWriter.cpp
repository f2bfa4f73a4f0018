#include "platform/PngWriter.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// libpng reports errors by longjmp; this keeps the message for the caller.
void OnPngError(png_structp png, png_const_charp message) {
  *static_cast<std::string*>(png_get_error_ptr(png)) = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The rows top-down, as PNG stores them.
std::vector<png_bytep> RowsTopDown(int width, int height, const std::uint8_t* rgba) {
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  const size_t stride = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(rgba + (height - 1 - y) * stride);
  return rows;
}

// Everything between opening and closing the file; false on a libpng error.
// No C++ object with a destructor lives in this frame, so longjmp is safe.
bool Encode(std::FILE* file, int width, int height, png_bytepp rows, std::string& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    error = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  // Level 1 with the cheap "sub" filter: several times faster than the
  // default, for files about a third larger.
  png_set_compression_level(png, Z_BEST_SPEED);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  png_set_filler(png, 0, PNG_FILLER_AFTER);  // the input's fourth byte is skipped
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePngBottomUp(const std::string& path, int width, int height, const std::uint8_t* rgba,
                      std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<png_bytep> rows = RowsTopDown(width, height, rgba);
  std::string why;
  bool ok = Encode(file, width, height, rows.data(), why);
  if (std::fclose(file) != 0 && ok) {
    why = std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    std::remove(path.c_str());
    error = "cannot write " + path + ": " + why;
  }
  return ok;
}

}  // namespace platform
