#include "core/vtKeysU.h"

#include <iterator>

namespace {

constexpr vtKeyTable kTables[] = {
    MakeKeyTable("demo script", "vds", vtScriptKeys::kAll),
    MakeKeyTable("layers", "vtl", vtLayerKeys::kAll),
    MakeKeyTable("transformation", "vtt", vtTransKeys::kAll),
    MakeKeyTable("sky", "vtk", vtSkyKeys::kAll),
    MakeKeyTable("mesh", "vto", vtMeshKeys::kAll),
    MakeKeyTable("tunnel", "vts", vtTunnelKeys::kAll),
    MakeKeyTable("ASE scene", "ase", vtSceneKeys::kAll),
};

}  // namespace

const vtKeyTable* KeyTables() { return kTables; }

std::size_t KeyTableCount() { return std::size(kTables); }

const vtKeyTable* KeyTableFor(std::string_view extension) {
  for (const vtKeyTable& table : kTables)
    if (table.Extension == extension) return &table;
  return nullptr;
}
