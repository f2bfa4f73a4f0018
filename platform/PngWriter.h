// PNG pictures written with libpng at its fastest compression level: the
// renderer writes one per frame, so speed matters more than size.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Writes width × height RGBA pixels (rows of width * 4 bytes, bottom row
// first as OpenGL reads them) as an opaque 8-bit RGB PNG: the alpha bytes
// are dropped. False with the reason in error when the file cannot be
// written; a half-written file is removed. Any thread; no shared state.
bool WritePngBottomUp(const std::string& path, int width, int height, const std::uint8_t* rgba,
                      std::string& error);

}  // namespace platform
