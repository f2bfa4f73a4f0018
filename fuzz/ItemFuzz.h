// Shared set-up of the item-file fuzz targets: one offscreen OpenGL
// context for the process (the readers load textures and compile display
// lists at once), fresh program-wide objects per input, silent message
// boxes, no real audio device, and the input written to a file with the
// reader's extension.
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

// The same set-up without any file: true when the context is current and
// the globals are fresh.
bool Begin();

// Writes a file of the scratch folder (the working directory) anew; true
// on success.
bool WriteScratchFile(const std::string& name, const std::uint8_t* data, size_t size);

// Deletes every display list and texture of the context: targets whose
// items keep nothing across inputs call it so that a long run does not
// fill the driver's memory with the names of earlier inputs.
void ReleaseGlNames();

}  // namespace itemfuzz
