#include "resources/vtTextures.h"

#include <algorithm>
#include <vector>

#include "core/vtFuncU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtLogU.h"
#include "platform/Files.h"
#include "platform/TextureLoader.h"
#include "resources/vtStoreU.h"

namespace {

std::string WorkDir() { return GlobalFunc ? GlobalFunc->WorkDir : platform::CurrentDirectory(); }

// Where a picture is, and what the log and a failure say about the search.
struct PictureSearch {
  std::string Path;     // the file to load: where it was found, else the path as built
  std::string FoundAt;  // for the log, when found elsewhere
  std::string Tried;    // for the failure, when found nowhere: the other places looked at
};

// Scenes name their pictures by the artist's paths ("C:\Users\...\wall.jpg",
// "..\textures\wall.jpg"); copied next to the scene, or into data\, they
// are found by their bare name.
PictureSearch FindPicture(const std::string& full, const std::string& fileName, const std::string& namedIn) {
  PictureSearch search{full, {}, {}};
  if (platform::IsRegularFile(full)) return search;
  const std::string bare = fileName.substr(fileName.find_last_of("\\/") + 1);
  if (bare.empty()) return search;
  struct Place {
    std::string Candidate, Label;
  };
  std::vector<Place> places;
  auto lookIn = [&](const std::string& folder, const std::string& label) {
    const std::string candidate = folder.empty() ? bare : folder + "\\" + bare;
    if (candidate != full) places.push_back({candidate, label});
  };
  if (!namedIn.empty()) {
    const size_t separator = namedIn.find_last_of("\\/");
    lookIn(separator == std::string::npos ? "" : namedIn.substr(0, separator), "next to " + namedIn);
  }
  lookIn(WorkDir() + "\\data", "in data\\");
  for (const Place& place : places) {
    if (!platform::IsRegularFile(place.Candidate)) continue;
    search.Path = place.Candidate;
    search.FoundAt = "found " + place.Label + ": " + place.Candidate;
    return search;
  }
  for (size_t i = 0; i < places.size(); ++i) search.Tried += (i == 0 ? ", nor is " + bare + " " : " or ") + places[i].Label;
  return search;
}

}  // namespace

bool LoadTexture(const std::string& path, std::uint32_t& id, bool /*flag*/, std::string* whyNot) {
  vtLoadPhaseScope phase(vtLoadPhase::Textures);
  if (platform::LoadTextureFile(path, id, whyNot)) return true;
  if (GlobalFunc) GlobalFunc->ShowWarning("Cannot load the texture: " + path);
  return false;
}

void vtTexture::SetFileName(const std::string& path) {
  const std::string dir = platform::CurrentDirectory();
  FileName = path;
  if (!dir.empty() && FileName.find(dir) != std::string::npos)
    FileName.erase(0, std::min(FileName.size(), dir.size() + 1));
}

void vtTexture::Load(const std::string& namedIn) {
  const std::string full = WorkDir() + "\\" + FileName;
  const PictureSearch search = FindPicture(full, FileName, namedIn);
  const std::string key = platform::CanonicalPath(search.Path);
  Key = key;
  if (GlobalStore && GlobalStore->Find(key, vt_TEXTURE)) {
    Id = GlobalStore->FoundId;
  } else {
    std::string whyNot;
    if (!LoadTexture(search.Path, Id, false, &whyNot))
      vtReportFileProblem("the picture \"" + FileName + "\" cannot be loaded: " + whyNot + search.Tried,
                          "vtTexture.Load");
    if (GlobalStore) GlobalStore->Add(Id, key, vt_TEXTURE);
  }
  if (GlobalLog) {
    GlobalLog->Info(full, "vtTexture.Load");
    if (!search.FoundAt.empty()) GlobalLog->Info(search.FoundAt, "vtTexture.Load");
    GlobalLog->Info("Resource ID: " + std::to_string(Id), "vtTexture.Load");
    GlobalLog->WriteBlank();
  }
}

std::string vtTexture::ToString() const { return "ID: " + std::to_string(Id) + "FileName: " + FileName; }
