// The sky reader over arbitrary "vtk" files, then the box it built.
#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

#include "ItemFuzz.h"
#include "core/vtTextU.h"
#include "items/vtSkyU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = itemfuzz::Prepare(data, size, "vtk");
  if (path.empty()) return 0;
  vtSky sky;
  sky.FileName = path;
  try {
    sky.LoadFromFile();
  } catch (const vtConvertError&) {
    return 0;  // a malformed size: the runtime reports it
  }
  sky.Render(0);
  if (sky.DisplayList != 0) glDeleteLists(sky.DisplayList, 1);
  return 0;
}
