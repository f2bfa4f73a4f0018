#include "live/vtReloadU.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "core/vtDemoPathU.h"
#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "platform/AudioDecoder.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/TextureLoader.h"
#include "platform/Title.h"
#include "resources/vtStoreU.h"
#include "resources/vtTextures.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtFontU.h"

namespace {

// The loading projection the items were first loaded in (vtDemoSystem::Init).
constexpr float kLoadWidth = 800;
constexpr float kLoadHeight = 600;

bool Readable(const std::string& enginePath) {
  std::FILE* file = platform::OpenFile(enginePath, "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

void Warn(const std::string& text) {
  if (GlobalFunc) GlobalFunc->ShowWarning(text);
}

std::string WorkDir() { return GlobalFunc ? GlobalFunc->WorkDir : platform::CurrentDirectory(); }

}  // namespace

const char* StatusName(vtReloadEvent::Status status) {
  switch (status) {
    case vtReloadEvent::Status::Loaded: return "loaded";
    case vtReloadEvent::Status::Reloaded: return "reloaded";
    case vtReloadEvent::Status::Failed: return "failed";
    case vtReloadEvent::Status::Removed: return "removed";
  }
  return "";
}

vtReloadController::vtReloadController(vtDemoSystem& demo, std::string scriptPath)
    : demo_(demo), scriptPath_(std::move(scriptPath)) {}

vtReloadController::~vtReloadController() = default;

bool vtReloadController::Start() {
  if (!watch_.Ok()) {
    Warn("Live authoring cannot watch the demo's files: " + watch_.Error());
    return false;
  }
  SyncWatch();
  return true;
}

std::string vtReloadController::VersionFile() const { return WorkDir() + "\\data\\versio.inf"; }

std::string vtReloadController::MusicFile() const {
  return demo_.Requests.MusicName.empty() ? std::string() : WorkDir() + "\\" + demo_.Requests.MusicName;
}

std::vector<std::string> vtReloadController::WatchedFiles() const {
  std::vector<std::string> files{scriptPath_, VersionFile()};
  if (!MusicFile().empty()) files.push_back(MusicFile());
  for (const auto& item : demo_.Items) files.push_back(item->FileName);
  if (GlobalStore)
    for (const auto& resource : GlobalStore->Resources)
      if (resource->ResType == vt_TEXTURE) files.push_back(resource->Name);
  return files;
}

// Watches exactly what the demo reads now: files it no longer names are
// dropped, new ones (a picture an edited item names) added.
void vtReloadController::SyncWatch() { watch_.Set(WatchedFiles()); }

bool vtReloadController::Poll(std::uint32_t nowMs) {
  watch_.Poll(nowMs, ready_);
  if (skip_ && !ready_.empty()) ready_.erase(std::remove_if(ready_.begin(), ready_.end(), skip_), ready_.end());
  if (ready_.empty()) return false;
  // The script first: it may add or remove the items the other changes name.
  const std::vector<std::string> changed = std::move(ready_);
  ready_.clear();
  const bool script = std::any_of(changed.begin(), changed.end(), [&](const std::string& file) {
    return file == scriptPath_ || file == VersionFile();
  });
  if (script) ReloadScript();
  for (const std::string& file : changed)
    if (file != scriptPath_ && file != VersionFile()) FileChanged(file);
  return true;
}

void vtReloadController::FileChanged(const std::string& enginePath) {
  if (enginePath == scriptPath_ || enginePath == VersionFile()) {
    ReloadScript();
    return;
  }
  if (enginePath == MusicFile()) ReloadMusic();
  if (GlobalStore && GlobalStore->Find(enginePath, vt_TEXTURE)) ReloadPicture(enginePath);
  for (std::size_t i = 0; i < demo_.Items.size(); ++i)
    if (demo_.Items[i]->FileName == enginePath) ReloadItem(i);
}

void vtReloadController::Notify(vtReloadEvent::Status status, int index, const std::string& file) {
  ++reloads_;
  if (observer_) observer_(vtReloadEvent{status, index, file});
}

// Loads the item as Init did, leaving the GL state of the frames alone.
bool vtReloadController::LoadFresh(vtRenderItem& item) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  GlobalFunc->Begin2D(kLoadWidth, kLoadHeight);
  demo_.LoadItem(item);
  GlobalFunc->End2D();
  glPopAttrib();
  return !item.LoadFailed;
}

bool vtReloadController::ReloadItem(std::size_t index) {
  if (index >= demo_.Items.size()) return false;
  std::unique_ptr<vtRenderItem>& slot = demo_.Items[index];
  const std::string file = slot->FileName;
  const int at = static_cast<int>(index);
  // A file that cannot be opened would load as an empty item.
  if (!Readable(file)) {
    Warn("The file cannot be read; the item keeps what it showed.\rFile: " + file);
    Notify(vtReloadEvent::Status::Failed, at, file);
    return false;
  }
  std::unique_ptr<vtRenderItem> fresh = CreateRenderItem(slot->ItemType, file);
  if (!fresh || !LoadFresh(*fresh)) {
    fresh.reset();
    ReleaseUnusedTextures();  // what the failed load made
    Notify(vtReloadEvent::Status::Failed, at, file);
    return false;
  }
  fresh->Lines = std::move(slot->Lines);
  slot = std::move(fresh);  // the old item goes, with its display lists
  ReleaseUnusedTextures();
  SyncWatch();
  Notify(vtReloadEvent::Status::Reloaded, at, file);
  return true;
}

// Texture names no item binds any more (the replaced item's, a failed
// load's) are deleted; the store forgets them.
void vtReloadController::ReleaseUnusedTextures() {
  if (!GlobalStore) return;
  std::vector<std::uint32_t> used;
  std::vector<const vtTexture*> textures;
  for (const auto& item : demo_.Items) {
    textures.clear();
    item->ListTextures(textures);
    for (const vtTexture* texture : textures) used.push_back(texture->Id);
  }
  GlobalStore->ReleaseUnused(used);
}

// The items whose textures name the picture but hold no texture for it.
std::vector<std::size_t> vtReloadController::ItemsNaming(const std::string& picture) const {
  std::vector<std::size_t> items;
  std::vector<const vtTexture*> textures;
  for (std::size_t i = 0; i < demo_.Items.size(); ++i) {
    textures.clear();
    demo_.Items[i]->ListTextures(textures);
    for (const vtTexture* texture : textures) {
      if (texture->Id == 0 && texture->Key == picture) {
        items.push_back(i);
        break;
      }
    }
  }
  return items;
}

bool vtReloadController::ReloadPicture(const std::string& enginePath) {
  platform::Picture picture;
  const std::string named = DemoPath(enginePath);
  if (!platform::DecodePicture(enginePath, platform::MaxTextureSize(), picture)) {
    Warn("Cannot load the texture: " + named);
    Notify(vtReloadEvent::Status::Failed, -1, enginePath);
    return false;
  }
  glPushAttrib(GL_TEXTURE_BIT);
  bool uploaded = true;
  bool wasMissing = false;
  for (const auto& resource : GlobalStore->Resources) {
    if (resource->ResType != vt_TEXTURE || resource->Name != enginePath) continue;
    wasMissing = wasMissing || resource->Id == 0;
    uploaded = platform::UploadPicture(picture, resource->Id) && uploaded;
  }
  glPopAttrib();
  if (!uploaded) {
    Warn("Cannot load the texture: " + named);
    Notify(vtReloadEvent::Status::Failed, -1, enginePath);
    return false;
  }
  Notify(vtReloadEvent::Status::Reloaded, -1, enginePath);
  // Items that had no texture for it bound name 0 (a sky compiled it into
  // its list): they load again and find the new name in the store.
  if (wasMissing)
    for (std::size_t index : ItemsNaming(enginePath)) ReloadItem(index);
  return true;
}

// ---------------------------------------------------------------- script

bool vtReloadController::ReloadScript() {
  vtDemoSystem fresh;
  fresh.ApplyRequests = false;  // neither the log nor the music opens twice
  if (!fresh.LoadScript(scriptPath_)) {
    // A malformed script has shown its message; a missing one says so here.
    if (fresh.ScriptError.empty())
      Warn("The demo script cannot be read; the demo plays on as it was.\rFile: " + scriptPath_);
    Notify(vtReloadEvent::Status::Failed, -1, scriptPath_);
    return false;
  }
  const bool wasStarted = demo_.TimelineList != 0;
  MergeItems(fresh);
  ApplySettings(fresh);
  // The time now, after loading, on the clock that drove it so far.
  demo_.UpdateClock();
  const float time = demo_.CurrentTime;
  const vtClockSource source = demo_.ClockSource();
  const bool musicReplaced = ApplyMusic(fresh);
  if (wasStarted) {
    const GLuint old = demo_.TimelineList;
    demo_.BuildTimelineList();  // its rows follow the new items and lines
    glDeleteLists(old, 1);
    if (musicReplaced || demo_.ClockSource() != source) KeepClock(time);
  } else {
    FinishStart();
  }
  ReleaseUnusedTextures();
  SyncWatch();
  Notify(vtReloadEvent::Status::Reloaded, -1, scriptPath_);
  return true;
}

// Items of the same kind and file, in the old order, are the same items:
// they keep what they loaded and take the new lines.
void vtReloadController::MergeItems(vtDemoSystem& fresh) {
  std::vector<std::unique_ptr<vtRenderItem>> old = std::move(demo_.Items);
  demo_.Items.clear();
  std::vector<bool> kept(old.size(), false);
  for (auto& item : fresh.Items) {
    auto same = std::find_if(old.begin(), old.end(), [&](const std::unique_ptr<vtRenderItem>& o) {
      return o && o->ItemType == item->ItemType && o->FileName == item->FileName;
    });
    if (same != old.end()) {
      kept[static_cast<std::size_t>(same - old.begin())] = true;
      (*same)->Lines = std::move(item->Lines);
      (*same)->Place = item->Place;
      demo_.Items.push_back(std::move(*same));
      continue;
    }
    const bool loaded = LoadFresh(*item);
    demo_.Items.push_back(std::move(item));
    Notify(loaded ? vtReloadEvent::Status::Loaded : vtReloadEvent::Status::Failed,
           static_cast<int>(demo_.Items.size() - 1), demo_.Items.back()->FileName);
  }
  for (std::size_t i = 0; i < old.size(); ++i) {
    if (kept[i]) continue;
    const std::string file = old[i]->FileName;
    old[i].reset();
    Notify(vtReloadEvent::Status::Removed, static_cast<int>(i), file);
  }
}

void vtReloadController::ApplySettings(vtDemoSystem& fresh) {
  demo_.Loaded = true;
  demo_.ScriptName = fresh.ScriptName;
  demo_.ScriptError.clear();
  demo_.DemoEndTime = fresh.DemoEndTime;
  demo_.DemoName = fresh.DemoName;
  demo_.DebugMode = fresh.DebugMode;
  demo_.CursorMode = fresh.CursorMode;
  demo_.SpaceStop = fresh.SpaceStop;
  if (fresh.Requests.Logger && GlobalLog && !GlobalLog->Enabled) GlobalLog->Open();
  vtConfigData& config = *demo_.Config;
  if (config.Title != fresh.Config->Title) {
    config.Title = fresh.Config->Title;
    if (!demo_.DebugMode) platform::SetWindowTitle(config.Title);
  }
  if (config.Width != fresh.Config->Width || config.Height != fresh.Config->Height) {
    config.Width = fresh.Config->Width;
    config.Height = fresh.Config->Height;
    if (resizeWindow_) resizeWindow_(config.Width, config.Height);
  }
}

// Another music file replaces the stream and continues at the demo time;
// the same one keeps playing untouched.
bool vtReloadController::ApplyMusic(vtDemoSystem& fresh) {
  const bool replace = fresh.Requests.MusicName != demo_.Requests.MusicName;
  if (replace) ReplaceMusic(fresh.Requests.MusicName, false);
  demo_.Requests = fresh.Requests;
  demo_.Music->Timer = demo_.Requests.MusicTimer && demo_.Music->Stream != 0;
  return replace;
}

// The file changed: a stream that opens replaces the old one; one that does
// not (a file still being written) leaves the old one playing.
bool vtReloadController::ReloadMusic() {
  demo_.UpdateClock();
  const bool replaced = ReplaceMusic(demo_.Requests.MusicName, true);
  demo_.Music->Timer = demo_.Requests.MusicTimer && demo_.Music->Stream != 0;
  Notify(replaced ? vtReloadEvent::Status::Reloaded : vtReloadEvent::Status::Failed, -1, MusicFile());
  return replaced;
}

// The named music replaces the stream, at the demo time, playing when the
// old one played (or, without music so far, when the clock runs). A file
// that does not decode is reported; the old music stays when keepOnFailure,
// otherwise the demo goes silent as it would have started. (The file is
// tried before the old stream closes: many audio drivers open one output
// at a time.)
bool vtReloadController::ReplaceMusic(const std::string& name, bool keepOnFailure) {
  // Music is heard while the demo plays, at the normal speed, once started.
  const bool play = !demo_.Paused() && demo_.Speed() == 1 && demo_.TimelineList != 0;
  const std::string file = WorkDir() + "\\" + name;
  const auto report = [&] { Warn("The music cannot be played.\rFile: " + file); };
  if (name.empty()) {
    demo_.Music->LoadMusic(name);  // no file: the stream closes, the player (muted or not) stays
    return true;
  }
  if (keepOnFailure && !platform::OpenAudioFile(file)) {
    report();
    return false;
  }
  demo_.Music->LoadMusic(name);
  if (demo_.Music->Stream == 0) {
    report();
    return false;
  }
  demo_.Music->SetPosition(demo_.Music->Seconds2Bytes(std::max(0.0f, demo_.CurrentTime) / 1000.0));
  if (play) demo_.Music->Play();
  return true;
}

// The demo time goes on from time whatever clock now drives it, the music
// placed there too.
void vtReloadController::KeepClock(float time) { demo_.SeekTo(time); }

// A demo that had nothing to play at start-up (no script, no items) starts
// now, as Init would have started it.
void vtReloadController::FinishStart() {
  if (demo_.Items.empty()) return;
  if (GlobalFont && GlobalFont->ListBase == 0) GlobalFont->Build(GlobalFunc ? GlobalFunc->DeviceContext : nullptr);
  demo_.BuildTimelineList();
  demo_.Music->Play();
  demo_.StartTick = platform::TimeGetTime();
}
