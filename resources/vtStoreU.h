// The resource store: remembers which external resources (textures) were
// loaded, so a resource named twice is loaded once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/vtFuncU.h"

class vtResource {
 public:
  vtResource(std::uint32_t id, std::string name, vtType resType)
      : Id(id), Name(std::move(name)), ResType(resType) {}

  std::uint32_t Id;
  std::string Name;
  vtType ResType;
};

using vtResourceP = vtResource*;

class vtStore {
 public:
  std::vector<std::unique_ptr<vtResource>> Resources;
  std::uint32_t FoundId = 0;

  // The first entry with exactly this name and type; sets FoundId on success.
  bool Find(const std::string& name, vtType type);
  void Add(std::uint32_t id, const std::string& name, vtType type);

  // Forgets every texture whose name is not in used and deletes its
  // OpenGL texture: what a replaced item or a failed load left behind.
  // Returns how many entries went. Main thread, GL current; every texture
  // name not in used is invalid afterwards.
  std::size_t ReleaseUnused(const std::vector<std::uint32_t>& used);
};

extern std::unique_ptr<vtStore> GlobalStore;
