#include "resources/vtStoreU.h"

std::unique_ptr<vtStore> GlobalStore;

bool vtStore::Find(const std::string& name, vtType type) {
  for (const auto& r : Resources) {
    if (r->ResType == type && r->Name == name) {
      FoundId = r->Id;
      return true;
    }
  }
  return false;
}

void vtStore::Add(std::uint32_t id, const std::string& name, vtType type) {
  Resources.push_back(std::make_unique<vtResource>(id, name, type));
}
