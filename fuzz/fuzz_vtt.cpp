// The transformation reader over arbitrary "vtt" files, then the matrix
// it leaves for the items drawn after it.
#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

#include "ItemFuzz.h"
#include "core/vtTextU.h"
#include "items/vtTransU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = itemfuzz::Prepare(data, size, "vtt");
  if (path.empty()) return 0;
  vtTransform transform;
  transform.FileName = path;
  try {
    transform.LoadFromFile();
  } catch (const vtConvertError&) {
    return 0;  // a malformed number: the runtime reports it
  }
  glMatrixMode(GL_MODELVIEW);
  for (float t : {0.0f, static_cast<float>(size) * 53.0f, -1e30f}) {
    glLoadIdentity();
    transform.Render(t);
  }
  glLoadIdentity();
  return 0;
}
