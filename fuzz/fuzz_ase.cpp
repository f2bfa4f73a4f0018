// The ASE reader over arbitrary files: read, build the display lists, and
// draw a frame of whatever came out. Conversion errors are the expected
// answer to a malformed integer.
#include <cstddef>
#include <cstdint>

#include "ItemFuzz.h"
#include "core/vtTextU.h"
#include "scene/vtSceneASEU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = itemfuzz::Prepare(data, size, "ase");
  if (path.empty()) return 0;
  vtSceneASE scene;
  scene.FileName = path;
  try {
    scene.LoadFromFile();
  } catch (const vtConvertError&) {
    return 0;
  }
  scene.Render(0);
  return 0;
}
