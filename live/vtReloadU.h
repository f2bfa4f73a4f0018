// The reload controller of live authoring: watches every file the demo has
// read (the script, the version file, each item's file, each picture, the
// music) and, between two frames, brings the playing demo in step with
// what changed on disk.
//
// - An item file: the item is loaded again into a fresh object through
//   vtDemoSystem::LoadItem. Only a fresh item that loaded cleanly (its file
//   read, LoadFailed false) takes the old one's place and render lines; the
//   old one is then destroyed, its display lists and the textures no other
//   item uses released. Otherwise the old item stays and the message shows.
// - A picture: decoded again and uploaded into the texture name every item
//   already binds. A picture that failed before gets a new name and the
//   items that named it are reloaded.
// - The script or the version file: read into a fresh demo system, which
//   the demo adopts (vtDemoSystem::AdoptScript: items of unchanged kind and
//   file kept with the new lines, new ones loaded, removed ones released;
//   end time, title, switches and window size follow the script); time,
//   pause and the music position are kept, the music follows the script.
//   A script that does not read, or is cut short, changes nothing.
// - The music file: opened again on a worker (no frame waits for it), then
//   continuing at the current demo time.
//
// Threads: main thread only, with the demo's GL context current; a music
// file is opened on a worker of its own, which touches nothing else. A reload
// invalidates every pointer or reference to the items it replaced or
// removed (Items keeps its order; indices of kept items may move on a
// script reload).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileWatch.h"

class vtDemoSystem;
class vtRenderItem;

// What one reload did, for observers such as a browser front end.
struct vtReloadEvent {
  enum class Status { Loaded, Reloaded, Failed, Removed };
  Status What = Status::Reloaded;
  // The item's position in Items (after the change; before it for
  // Removed), or -1 for the script, a picture or the music.
  int ItemIndex = -1;
  std::string File;  // the engine path of the file concerned
  std::string Message;  // with Failed: what went wrong, as the player showed it
};

const char* StatusName(vtReloadEvent::Status status);  // "loaded", "reloaded", ...

class vtReloadController {
 public:
  // scriptPath: the script as the player names it (also when it could not
  // be read at start-up, so that its later creation or repair is seen).
  vtReloadController(vtDemoSystem& demo, std::string scriptPath);
  ~vtReloadController();
  vtReloadController(const vtReloadController&) = delete;
  vtReloadController& operator=(const vtReloadController&) = delete;

  // Starts watching what the demo has read; call once after Init. False
  // (with a message) when the system offers no file watching.
  bool Start();
  // Takes the watch's news and applies the changes that have been quiet
  // long enough; nowMs is any millisecond clock. True when anything was
  // reloaded. Cheap when nothing changed: no allocation, one system call.
  bool Poll(std::uint32_t nowMs);
  // One changed file, as Poll applies it.
  void FileChanged(const std::string& enginePath);

  bool ReloadItem(std::size_t index);
  bool ReloadPicture(const std::string& enginePath);
  bool ReloadScript();
  // Starts opening the music file again off the main thread; a later Poll
  // puts it in place (or reports it) once open.
  bool ReloadMusic();
  bool MusicPending() const { return musicOpening_ != nullptr; }

  // Called with what happened, on the main thread, before Poll (or the
  // Reload call) returns and once the whole change is in place (after a
  // script's merge, never in its middle): a front end may read the demo's
  // Items there. nullptr: none.
  void SetObserver(std::function<void(const vtReloadEvent&)> observer) { observer_ = std::move(observer); }
  // Asked for each changed file before it is reloaded: true drops the
  // change (the player wrote the file itself and has reloaded it already).
  void SetSkipChange(std::function<bool(const std::string& enginePath)> skip) { skip_ = std::move(skip); }
  // Called when a reloaded script asks for another window size.
  void SetResizeWindow(std::function<void(int width, int height)> resize) { resizeWindow_ = std::move(resize); }

  // How many reloads were tried so far (each item, picture, script, music).
  std::uint32_t Reloads() const { return reloads_; }

  const platform::FileWatch& Watch() const { return watch_; }
  // Every engine path being watched.
  std::vector<std::string> WatchedFiles() const;

 private:
  bool LoadFresh(vtRenderItem& item);
  void ReleaseUnusedTextures();
  void SyncWatch();
  // Queues an event; Deliver hands the queue to the observer.
  void Notify(vtReloadEvent::Status status, int index, const std::string& file, const std::string& message = "");
  void Deliver();
  template <class Reload>
  void Guarded(const std::string& file, Reload reload);
  bool Fail(int index, const std::string& file, const std::string& message);
  struct MusicOpening;
  bool ApplyMusic(vtDemoSystem& fresh);  // true when the music changes
  void OpenMusic(const std::string& name, bool keepOnFailure);
  bool TakeOpenedMusic();
  void PlaceMusic(MusicOpening& opened);
  void KeepClock(float time);
  void FinishStart();
  std::string VersionFile() const;
  std::string MusicFile() const;
  std::vector<std::size_t> ItemsNaming(const std::string& picture) const;

  vtDemoSystem& demo_;
  std::string scriptPath_;
  platform::FileWatch watch_;
  std::vector<std::string> ready_;  // Poll's list of changed files
  std::vector<vtReloadEvent> pending_;  // not yet delivered
  std::function<void(const vtReloadEvent&)> observer_;
  std::function<void(int, int)> resizeWindow_;
  std::function<bool(const std::string&)> skip_;
  std::uint32_t reloads_ = 0;
  std::unique_ptr<MusicOpening> musicOpening_;  // the music file being opened
  std::vector<std::unique_ptr<MusicOpening>> superseded_;  // their workers still ending
};
