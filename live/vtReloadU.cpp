#include "live/vtReloadU.h"

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "core/vtDemoPathU.h"
#include "core/vtFaultU.h"
#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "core/vtScopeEndU.h"
#include "core/vtTextU.h"
#include "core/vtWorkDirU.h"
#include "platform/AudioDecoder.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/TextureLoader.h"
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

}  // namespace

// A music file opened on a worker; the main thread takes the decoder once
// Done is set (then the worker has ended, or is about to).
struct vtReloadController::MusicOpening {
  std::string Name;  // as the script names it
  bool KeepOnFailure = false;
  std::unique_ptr<platform::AudioDecoder> Decoder;
  std::string WhyNot;
  std::atomic<bool> Done{false};
  std::thread Worker;
};

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

vtReloadController::~vtReloadController() {
  if (musicOpening_) superseded_.push_back(std::move(musicOpening_));
  for (auto& opening : superseded_) opening->Worker.join();
}

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
  const bool music = (musicOpening_ || !superseded_.empty()) && TakeOpenedMusic();
  watch_.Poll(nowMs, ready_);
  if (skip_ && !ready_.empty()) ready_.erase(std::remove_if(ready_.begin(), ready_.end(), skip_), ready_.end());
  if (ready_.empty()) return music;
  // The script first: it may add or remove the items the other changes name.
  const std::vector<std::string> changed = std::move(ready_);
  ready_.clear();
  const bool script = std::any_of(changed.begin(), changed.end(), [&](const std::string& file) {
    return file == scriptPath_ || file == VersionFile();
  });
  if (script) Guarded(scriptPath_, [this] { ReloadScript(); });
  for (const std::string& file : changed)
    if (file != scriptPath_ && file != VersionFile()) Guarded(file, [&] { FileChanged(file); });
  return true;
}

// Whatever a reload raises (memory for a huge picture, say) is that file's
// failure; the demo plays on with what it had.
template <class Reload>
void vtReloadController::Guarded(const std::string& file, Reload reload) {
  try {
    reload();
  } catch (const std::exception& error) {
    Fail(-1, file, "The file cannot be reloaded: " + std::string(error.what()) + "\rFile: " + DemoPath(file));
    Deliver();
  }
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

void vtReloadController::Notify(vtReloadEvent::Status status, int index, const std::string& file,
                                const std::string& message) {
  ++reloads_;
  if (observer_) pending_.push_back(vtReloadEvent{status, index, file, message});
}

void vtReloadController::Deliver() {
  if (pending_.empty()) return;
  const std::vector<vtReloadEvent> events = std::move(pending_);
  pending_.clear();
  for (const vtReloadEvent& event : events) observer_(event);
}

// Shows the message and reports the failure; always false.
bool vtReloadController::Fail(int index, const std::string& file, const std::string& message) {
  Warn(message);
  Notify(vtReloadEvent::Status::Failed, index, file, message);
  return false;
}

// Loads the item as Init did, leaving the GL state of the frames alone.
// A file cut short (a save still being written, a full disk) fails the
// load too, although what it held would read: the old item stays.
bool vtReloadController::LoadFresh(vtRenderItem& item) {
  vtText::CutWatch cuts;
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  GlobalFunc->Begin2D(kLoadWidth, kLoadHeight);
  demo_.LoadItem(item);
  GlobalFunc->End2D();
  glPopAttrib();
  if (!item.LoadFailed && !cuts.Cuts.empty()) {
    item.LoadFailed = true;
    item.LoadError = cuts.Cuts.front().Message();
    Warn(item.LoadError);
  }
  return !item.LoadFailed;
}

bool vtReloadController::ReloadItem(std::size_t index) {
  const auto deliver = OnScopeEnd([this] { Deliver(); });
  if (index >= demo_.Items.size()) return false;
  std::unique_ptr<vtRenderItem>& slot = demo_.Items[index];
  const std::string file = slot->FileName;
  const int at = static_cast<int>(index);
  // A file that cannot be opened would load as an empty item.
  if (!Readable(file))
    return Fail(at, file, "The file cannot be read; the item keeps what it showed.\rFile: " + DemoPath(file));
  std::unique_ptr<vtRenderItem> fresh = CreateRenderItem(slot->ItemType, file);
  if (!fresh || !LoadFresh(*fresh)) {
    const std::string message = fresh ? fresh->LoadError : std::string();
    fresh.reset();
    ReleaseUnusedTextures();  // what the failed load made
    Notify(vtReloadEvent::Status::Failed, at, file, message);  // LoadItem has shown it
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
  const auto deliver = OnScopeEnd([this] { Deliver(); });
  platform::Picture picture;
  const std::string named = DemoPath(enginePath);
  vtFaultPoint("picture.decode");
  if (!platform::DecodePicture(enginePath, platform::MaxTextureSize(), picture))
    return Fail(-1, enginePath, "Cannot load the texture: " + named);
  glPushAttrib(GL_TEXTURE_BIT);
  bool uploaded = true;
  bool wasMissing = false;
  for (const auto& resource : GlobalStore->Resources) {
    if (resource->ResType != vt_TEXTURE || resource->Name != enginePath) continue;
    wasMissing = wasMissing || resource->Id == 0;
    uploaded = platform::UploadPicture(picture, resource->Id) && uploaded;
  }
  glPopAttrib();
  if (!uploaded) return Fail(-1, enginePath, "Cannot load the texture: " + named);
  Notify(vtReloadEvent::Status::Reloaded, -1, enginePath);
  // Items that had no texture for it bound name 0 (a sky compiled it into
  // its list): they load again and find the new name in the store.
  if (wasMissing)
    for (std::size_t index : ItemsNaming(enginePath)) ReloadItem(index);
  return true;
}

// ---------------------------------------------------------------- script

bool vtReloadController::ReloadScript() {
  const auto deliver = OnScopeEnd([this] { Deliver(); });
  vtDemoSystem fresh;
  fresh.ApplyRequests = false;  // neither the log nor the music opens twice
  vtText::CutWatch cuts;
  const bool read = fresh.LoadScript(scriptPath_);
  if (read && !cuts.Cuts.empty())
    return Fail(-1, scriptPath_, cuts.Cuts.front().Message() + "\rThe demo plays on as it was.");
  if (!read) {
    // A malformed script has shown its message; a missing one says so here.
    if (fresh.ScriptError.empty())
      return Fail(-1, scriptPath_,
                  "The demo script cannot be read; the demo plays on as it was.\rFile: " + DemoPath(scriptPath_));
    Notify(vtReloadEvent::Status::Failed, -1, scriptPath_, fresh.ScriptError);
    return false;
  }
  const bool wasStarted = demo_.TimelineList != 0;
  std::vector<vtItemChange> changes;
  const bool resized = demo_.AdoptScript(fresh, [this](vtRenderItem& item) { return LoadFresh(item); }, changes);
  for (const vtItemChange& change : changes) {
    using Status = vtReloadEvent::Status;
    const Status status = change.What == vtItemChange::Kind::Added     ? Status::Loaded
                          : change.What == vtItemChange::Kind::Removed ? Status::Removed
                                                                       : Status::Failed;
    Notify(status, change.Index, change.File, change.Message);
  }
  if (resized && resizeWindow_) resizeWindow_(demo_.Config->Width, demo_.Config->Height);
  // The time now, after loading, on the clock that drove it so far.
  demo_.UpdateClock();
  const float time = demo_.CurrentTime;
  const vtClockSource source = demo_.ClockSource();
  const bool musicReplaced = ApplyMusic(fresh);
  if (wasStarted) {
    const GLuint old = demo_.TimelineList;
    demo_.BuildTimelineList();  // its rows follow the new items and lines
    glDeleteLists(old, 1);
    if (musicReplaced || demo_.ClockSource() != source) KeepClock(time);  // the new music follows when open
  } else {
    FinishStart();
  }
  ReleaseUnusedTextures();
  SyncWatch();
  Notify(vtReloadEvent::Status::Reloaded, -1, scriptPath_);
  return true;
}

// ---------------------------------------------------------------- music

// Another music file is opened off the main thread and then replaces the
// stream at the demo time; the same one keeps playing untouched. No music
// is a demo without music, not a failure.
bool vtReloadController::ApplyMusic(vtDemoSystem& fresh) {
  const bool replace = fresh.Requests.MusicName != demo_.Requests.MusicName;
  demo_.Requests = fresh.Requests;
  if (replace && demo_.Requests.MusicName.empty()) {
    if (musicOpening_) superseded_.push_back(std::move(musicOpening_));
    demo_.Music->Close();
  } else if (replace) {
    OpenMusic(demo_.Requests.MusicName, false);
  }
  demo_.Music->Timer = demo_.Requests.MusicTimer && demo_.Music->Stream != 0;
  return replace;
}

// The file changed: it is opened again off the main thread; a stream that
// opens replaces the old one, one that does not (a file still being
// written) leaves the old one playing. The event comes once it is known.
bool vtReloadController::ReloadMusic() {
  if (demo_.Requests.MusicName.empty()) return false;
  OpenMusic(demo_.Requests.MusicName, true);
  return true;
}

void vtReloadController::OpenMusic(const std::string& name, bool keepOnFailure) {
  if (musicOpening_) superseded_.push_back(std::move(musicOpening_));
  auto opening = std::make_unique<MusicOpening>();
  opening->Name = name;
  opening->KeepOnFailure = keepOnFailure;
  MusicOpening& shared = *opening;
  opening->Worker = std::thread([&shared, file = WorkDir() + "\\" + name] {
    shared.Decoder = platform::OpenAudioFile(file, &shared.WhyNot);
    shared.Done = true;
  });
  musicOpening_ = std::move(opening);
}

// Openings that ended are joined (at once: their workers are done); the
// current one's music goes in. True when it did, or failed.
bool vtReloadController::TakeOpenedMusic() {
  superseded_.erase(std::remove_if(superseded_.begin(), superseded_.end(),
                                   [](const std::unique_ptr<MusicOpening>& opening) {
                                     if (!opening->Done) return false;
                                     opening->Worker.join();
                                     return true;
                                   }),
                    superseded_.end());
  if (!musicOpening_ || !musicOpening_->Done) return false;
  std::unique_ptr<MusicOpening> opened = std::move(musicOpening_);
  opened->Worker.join();
  const auto deliver = OnScopeEnd([this] { Deliver(); });
  PlaceMusic(*opened);
  return true;
}

// The opened music replaces the stream, at the demo time, playing when the
// old one played (or, without music so far, when the clock runs). A file
// that does not decode is reported; the old music stays when KeepOnFailure,
// otherwise the demo goes silent as it would have started.
void vtReloadController::PlaceMusic(MusicOpening& opened) {
  const std::string file = WorkDir() + "\\" + opened.Name;
  const std::string failure = "The music cannot be played.\rFile: " + DemoPath(file);
  if (!opened.Decoder && opened.KeepOnFailure) {
    Fail(-1, file, failure);
    return;
  }
  // Music is heard while the demo plays, at the normal speed, once started.
  const bool play = !demo_.Paused() && demo_.Speed() == 1 && demo_.TimelineList != 0;
  demo_.UpdateClock();
  const float time = demo_.CurrentTime;
  demo_.Music->LoadMusic(opened.Name, std::move(opened.Decoder), opened.WhyNot);
  demo_.Music->Timer = demo_.Requests.MusicTimer && demo_.Music->Stream != 0;
  if (demo_.Music->Stream == 0) {
    Fail(-1, file, failure);
    return;
  }
  KeepClock(time);  // the music placed at the demo time, on whatever clock runs now
  if (play) demo_.Music->Play();
  Notify(vtReloadEvent::Status::Reloaded, -1, file);
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
