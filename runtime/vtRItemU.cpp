#include "runtime/vtRItemU.h"

#include "items/vtMeshU.h"
#include "layers/vtLSysU.h"

std::unique_ptr<vtRenderItem> CreateRenderItem(vtType type, const std::string& path) {
  std::unique_ptr<vtRenderItem> item;
  switch (type) {
    case vt_2D_VTL: item = std::make_unique<vtLayerSystem>(type, path); break;
    case vt_MESH: item = std::make_unique<vtMesh>(); break;
    default: break;
  }
  if (item) {
    item->ItemType = type;
    item->FileName = path;
  }
  return item;
}
