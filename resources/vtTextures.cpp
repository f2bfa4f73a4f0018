#include "resources/vtTextures.h"

#include <algorithm>

#include "core/vtFuncU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtLogU.h"
#include "platform/Files.h"
#include "platform/TextureLoader.h"
#include "resources/vtStoreU.h"

void LoadTexture(const std::string& path, std::uint32_t& id, bool /*flag*/) {
  vtLoadPhaseScope phase(vtLoadPhase::Textures);
  if (platform::LoadTextureFile(path, id)) return;
  if (GlobalFunc) GlobalFunc->ShowWarning("Cannot load the texture: " + path);
}

void vtTexture::SetFileName(const std::string& path) {
  const std::string dir = platform::CurrentDirectory();
  FileName = path;
  if (!dir.empty() && FileName.find(dir) != std::string::npos)
    FileName.erase(0, std::min(FileName.size(), dir.size() + 1));
}

void vtTexture::Load() {
  const std::string full = (GlobalFunc ? GlobalFunc->WorkDir : platform::CurrentDirectory()) + "\\" + FileName;
  if (GlobalStore && GlobalStore->Find(full, vt_TEXTURE)) {
    Id = GlobalStore->FoundId;
  } else {
    LoadTexture(full, Id, false);
    if (GlobalStore) GlobalStore->Add(Id, full, vt_TEXTURE);
  }
  if (GlobalLog) {
    GlobalLog->Info(full, "vtTexture.Load");
    GlobalLog->Info("Resource ID: " + std::to_string(Id), "vtTexture.Load");
    GlobalLog->WriteBlank();
  }
}

std::string vtTexture::ToString() const { return "ID: " + std::to_string(Id) + "FileName: " + FileName; }
