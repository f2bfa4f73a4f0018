#include "runtime/vtRItemU.h"

#include <atomic>

#include "core/vtTextU.h"
#include "items/vtMeshU.h"
#include "items/vtSkyU.h"
#include "items/vtTransU.h"
#include "items/vtTunnelU.h"
#include "layers/vtLSysU.h"
#include "scene/vtSceneASEU.h"

std::uint64_t NextItemSerial() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

// One case per item kind; a tag whose kind does not exist creates nothing.
std::unique_ptr<vtRenderItem> CreateRenderItem(vtType type, const std::string& path) {
  std::unique_ptr<vtRenderItem> item;
  switch (type) {
    case vt_2D_VTL: item = std::make_unique<vtLayerSystem>(type, path); break;
    case vt_3D_ASE: item = std::make_unique<vtSceneASE>(); break;
    case vt_MESH: item = std::make_unique<vtMesh>(); break;
    case vt_TRANS: item = std::make_unique<vtTransform>(type, path); break;
    case vt_SKY: item = std::make_unique<vtSky>(); break;
    case vt_TUNNEL: item = std::make_unique<vtTunnel>(); break;
    default: break;
  }
  if (item) {
    item->ItemType = type;
    item->FileName = path;
  }
  return item;
}
