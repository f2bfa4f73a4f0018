// Shared set-up of the item-file fuzz targets: one offscreen OpenGL
// context for the process (the readers load textures and compile display
// lists at once), fresh program-wide objects per input, silent message
// boxes, and the input written to a file with the reader's extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace itemfuzz {

// Makes the context current (creating it on the first call), resets the
// globals and writes the input to a fresh file named *.<extension> in a
// scratch folder that is also the working directory. Returns the file's
// engine path, or "" when the context or the file could not be made.
std::string Prepare(const std::uint8_t* data, size_t size, const std::string& extension);

}  // namespace itemfuzz
