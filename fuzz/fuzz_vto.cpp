// The mesh reader over arbitrary "vto" files, then the mesh drawn.
#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

#include "ItemFuzz.h"
#include "core/vtTextU.h"
#include "items/vtMeshU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = itemfuzz::Prepare(data, size, "vto");
  if (path.empty()) return 0;
  vtMesh mesh;
  mesh.FileName = path;
  try {
    mesh.LoadFromFile();
  } catch (const vtConvertError&) {
    return 0;  // a malformed count: the runtime reports it
  }
  mesh.Render(0);
  if (mesh.TexturedList != 0) glDeleteLists(mesh.TexturedList, 1);
  return 0;
}
