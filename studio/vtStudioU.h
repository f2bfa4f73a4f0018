// The studio as the player runs it: the page in the author's browser that
// shows the demo's timeline and steers the player. It owns the exchange,
// the server and the worker that reads the music's waveform; it applies
// the page's commands to the demo system before each frame and publishes
// the demo's state after it.
//
//   vtStudio studio(demo);                     // after demo.Init
//   studio.Start(port, error);                 // false: the reason, nothing runs
//   each frame: studio.BeforeFrame(); demo.DrawFrame(); studio.AfterFrame();
//   the player's messages: studio.PostMessage(...)
//   each reload:           studio.Reloaded(...)
//   studio.Stop();                             // or the destructor
//
// Threads: main thread only. The server and the waveform's worker run on
// threads of their own and see nothing but the exchange (no GL, no demo
// system). BeforeFrame and AfterFrame allocate nothing when no command
// came. A reload event makes the timeline be built again (items may have
// moved or changed); pointers into the demo's items are never kept.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "edit/vtEditorU.h"
#include "studio/vtStudioExchangeU.h"
#include "studio/vtStudioServerU.h"

class vtDemoSystem;
class vtReloadController;
class vtRenderItem;

class vtLiveFindings;

class vtStudio {
 public:
  explicit vtStudio(vtDemoSystem& demo);
  ~vtStudio();  // Stop
  vtStudio(const vtStudio&) = delete;
  vtStudio& operator=(const vtStudio&) = delete;

  // Publishes the timeline and the state, starts reading the waveform and
  // the server on 127.0.0.1:port (0: a free one). False with the reason
  // when the port cannot be bound; the demo plays on without the studio.
  bool Start(int port, std::string& error);
  // Ends the server (its streams, its threads, the port) and the worker.
  void Stop();
  std::string Url() const { return server_.Url(); }
  int Port() const { return server_.Port(); }

  // The live reloads the page's edits go through: an edited file is
  // reloaded at once, and the watch's later news of the player's own write
  // is dropped (a change made meanwhile by another program is not).
  // nullptr: edits are written but not reloaded.
  void SetReloads(vtReloadController* reloads);

  // The page's commands and edits queued since the last frame, applied in
  // order (edits first).
  void BeforeFrame();
  // The demo's state for the page (time, end, pause, speed, loop).
  void AfterFrame();

  // A message of the player for the page's console. kind: "panic",
  // "warning", "information" or "debug". A panic or warning is also kept
  // as the reason of a failed reload that follows it.
  void PostMessage(const std::string& kind, const std::string& caption, const std::string& text, float demoTimeMs);
  // A reload happened: status "loaded", "reloaded", "failed" or
  // "removed"; index is the item's (-1 for the script, a picture or the
  // music); file its engine path. The timeline is built again, and the
  // waveform read again when the music may have changed.
  void Reloaded(int index, const std::string& status, const std::string& file);

  vtStudioExchange& Exchange() { return exchange_; }
  const vtStudioServer& Server() const { return server_; }

  // Builds the timeline the page shows from the demo's items (type, file
  // as the script wrote it, status and message, lines). Main thread.
  vtTimeline BuildTimeline() const;
  // Where the rows' findings come from (live mode's); none: rows have none.
  void SetFindings(const vtLiveFindings* findings) { findings_ = findings; }

 private:
  struct ItemNote {
    std::string Status;
    std::string Message;
  };

  void PublishTimeline();
  vtStudioReply ApplyEdit(const vtStudioEdit& edit);
  vtEditResult RunEdit(const vtStudioEdit& edit);
  void ReloadOwnWrite(const vtEditResult& written);
  bool SkipOwnWrite(const std::string& enginePath);
  std::string FileVersion(const std::string& enginePath) const;
  void StartWaveform();
  void StopWaveform();
  std::string ShortPath(const std::string& enginePath) const;

  vtDemoSystem& demo_;
  vtStudioExchange exchange_;
  vtStudioServer server_;
  std::vector<vtStudioCommand> commands_;  // reused every frame
  std::vector<std::pair<std::uint64_t, vtStudioEdit>> edits_;
  vtEditor editor_;
  vtReloadController* reloads_ = nullptr;
  // Files the player wrote, by canonical path: the version written last,
  // until another content is seen there.
  std::map<std::string, std::string> ownWrites_;
  std::string reloadingOwn_;  // the canonical path of the file being reloaded after an edit
  // Versions by engine path, with what identified the bytes they were
  // computed from (a file replaced or written gets new values).
  struct KnownVersion {
    std::uint64_t Inode = 0, Size = 0;
    std::int64_t ModifiedNs = 0, ChangedNs = 0;
    std::string Version;
  };
  mutable std::map<std::string, KnownVersion> versions_;
  // What reloads said about items, by the item object they left in place.
  std::unordered_map<const vtRenderItem*, ItemNote> notes_;
  std::string lastAlarm_;  // the text of the last panic or warning
  const vtLiveFindings* findings_ = nullptr;
  std::thread waveformWorker_;
  std::atomic<bool> stopWaveform_{false};
  std::string waveformMusic_;  // the music file the waveform is read from
};
