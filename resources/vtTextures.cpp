#include "resources/vtTextures.h"

#include <GL/gl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "core/vtDemoPathU.h"
#include "core/vtFaultU.h"
#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "core/vtLoadPipelineU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtLogU.h"
#include "core/vtWorkDirU.h"
#include "platform/Files.h"
#include "platform/TextureLoader.h"
#include "resources/vtStoreU.h"

namespace {

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
    lookIn(separator == std::string::npos ? "" : namedIn.substr(0, separator), "next to " + DemoPath(namedIn));
  }
  lookIn(WorkDir() + "\\data", "in data\\");
  for (const Place& place : places) {
    if (!platform::IsRegularFile(place.Candidate)) continue;
    search.Path = place.Candidate;
    search.FoundAt = "found " + place.Label + ": " + DemoPath(place.Candidate);
    return search;
  }
  for (size_t i = 0; i < places.size(); ++i) search.Tried += (i == 0 ? ", nor is " + bare + " " : " or ") + places[i].Label;
  return search;
}

// Main thread: a picture decoded on a worker goes into the name it was
// given; the binding stays what it was (the name's own binding was set
// when the name was made, as an upload in place would have left it). A
// picture that decoded to nothing says so now.
void UploadDecoded(const platform::Picture& picture, std::uint32_t name, const std::string& path,
                   const std::string& problem) {
  vtLoadPhaseScope phase(vtLoadPhase::Textures);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  std::uint32_t id = name;
  const bool uploaded = platform::UploadPicture(picture, id);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  if (uploaded) return;
  if (GlobalFunc) GlobalFunc->ShowWarning("Cannot load the texture: " + DemoPath(path));
  vtReportFileProblem(problem, "vtTexture.Load");
}

// With a parallel load pipeline attached, a picture whose header reads is
// given its texture name at once, bound as loading it here would leave it,
// and decoded (mipmap levels too) on a worker; the pixels go into the name
// when the main thread next runs the pipeline's tasks, before the first
// frame. Anything else loads here as without a pipeline, so a picture that
// cannot be opened or is no picture fails at the same point, in the same
// words. Only a picture whose data breaks after a good header is reported
// when its decoding ends; its name then holds no picture and draws like 0.
bool LoadOrStartLoading(const std::string& path, std::uint32_t& id, const std::string& problem,
                        std::string* whyNot) {
  vtLoadPipeline* pipeline = vtLoadPipeline::Active();
  const int maxSize = pipeline && pipeline->Parallel() ? platform::MaxTextureSize() : 0;
  if (maxSize <= 0 || !platform::ProbePicture(path, maxSize)) return LoadTexture(path, id, false, whyNot);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  id = name;
  pipeline->RunOnWorker([pipeline, path, name, maxSize, problem] {
    auto picture = std::make_shared<platform::Picture>();
    std::string why;
    try {
      vtFaultPoint("picture.decode");
      platform::DecodePicture(path, maxSize, *picture, &why);
    } catch (const std::exception& error) {  // memory for a huge picture, say
      *picture = platform::Picture{};
      why = error.what();
    }
    pipeline->PostToMain([picture, name, path, problem, why] { UploadDecoded(*picture, name, path, problem + why); });
  });
  return true;
}

// At the line that names the picture, or else about the file naming it.
void NotePicture(const char* code, vtSeverity severity, const std::string& text, const std::string& namedIn) {
  if (!FindingsWanted()) return;
  ReportFinding({InFindingPlace() ? std::string() : namedIn, 0, code, severity, text});
}

void NoteUnusablePicture(const std::string& text, const std::string& whyNot, const std::string& namedIn) {
  // The loader's own words for a picture beyond the driver's largest texture.
  const bool tooLarge = whyNot.find("this OpenGL driver takes at most") != std::string::npos;
  NotePicture(tooLarge ? "picture-too-large" : "picture", vtSeverity::Error, text, namedIn);
}

// Why each picture that could not be loaded failed, by its store key: the
// store hands its empty texture to every later file naming it without a
// load, and each such file has the finding too. Main thread.
struct UnusablePicture {
  std::string Text, WhyNot;
};
std::map<std::string, UnusablePicture> g_unusable;

}  // namespace

bool LoadTexture(const std::string& path, std::uint32_t& id, bool /*flag*/, std::string* whyNot) {
  vtLoadPhaseScope phase(vtLoadPhase::Textures);
  if (platform::LoadTextureFile(path, id, whyNot)) return true;
  if (GlobalFunc) GlobalFunc->ShowWarning("Cannot load the texture: " + DemoPath(path));
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
    const auto unusable = g_unusable.find(key);
    if (Id == 0 && unusable != g_unusable.end())
      NoteUnusablePicture(unusable->second.Text, unusable->second.WhyNot, namedIn);
  } else {
    const std::string problem = "the picture \"" + FileName + "\" cannot be loaded: ";
    std::string whyNot;
    g_unusable.erase(key);
    if (!LoadOrStartLoading(search.Path, Id, problem, &whyNot)) {
      vtReportFileProblem(problem + whyNot + search.Tried, "vtTexture.Load");
      NoteUnusablePicture(problem + whyNot + search.Tried, whyNot, namedIn);
      g_unusable[key] = {problem + whyNot + search.Tried, whyNot};
    }
    if (GlobalStore) GlobalStore->Add(Id, key, vt_TEXTURE);
  }
  if (!search.FoundAt.empty())
    NotePicture("picture-elsewhere", vtSeverity::Warning,
                "the picture \"" + FileName + "\" is not where it is named; the player uses the one " + search.FoundAt,
                namedIn);
  if (GlobalLog) {
    GlobalLog->Info(full, "vtTexture.Load");
    if (!search.FoundAt.empty()) GlobalLog->Info(search.FoundAt, "vtTexture.Load");
    GlobalLog->Info("Resource ID: " + std::to_string(Id), "vtTexture.Load");
    GlobalLog->WriteBlank();
  }
}

std::string vtTexture::ToString() const { return "ID: " + std::to_string(Id) + "FileName: " + FileName; }
