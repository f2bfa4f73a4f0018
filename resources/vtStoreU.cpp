#include "resources/vtStoreU.h"

#include <GL/gl.h>

#include <algorithm>

#include "platform/GlContext.h"

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

std::size_t vtStore::ReleaseUnused(const std::vector<std::uint32_t>& used) {
  const auto isUsed = [&](std::uint32_t id) { return std::find(used.begin(), used.end(), id) != used.end(); };
  std::vector<GLuint> names;
  const size_t before = Resources.size();
  Resources.erase(std::remove_if(Resources.begin(), Resources.end(),
                                 [&](const std::unique_ptr<vtResource>& r) {
                                   if (r->ResType != vt_TEXTURE || isUsed(r->Id)) return false;
                                   if (r->Id != 0 && std::find(names.begin(), names.end(), r->Id) == names.end())
                                     names.push_back(r->Id);
                                   return true;
                                 }),
                  Resources.end());
  if (!names.empty() && platform::CanReleaseGlObjects()) glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
  return before - Resources.size();
}

void vtStore::Add(std::uint32_t id, const std::string& name, vtType type) {
  Resources.push_back(std::make_unique<vtResource>(id, name, type));
}
