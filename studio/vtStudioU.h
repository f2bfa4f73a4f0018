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
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "edit/vtEditorU.h"
#include "live/vtConsoleU.h"
#include "live/vtReloadU.h"
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
  // The demo's state for the page (time, end, pause, speed, loop) once
  // a frame is drawn.
  void AfterFrame();

  // A message of the player for the page's console.
  void PostMessage(vtConsoleKind kind, const std::string& caption, const std::string& text, float demoTimeMs);
  // A reload happened (its status, item index, file and message). The
  // timeline is built again, and the waveform read again when the music
  // may have changed.
  void Reloaded(const vtReloadEvent& event);

  vtStudioExchange& Exchange() { return exchange_; }
  const vtStudioServer& Server() const { return server_; }

  // Builds the timeline the page shows from the demo's items (type, file
  // as the script wrote it, status and message, lines). Main thread.
  vtTimeline BuildTimeline() const;
  // Where the rows' findings come from (live mode's); none: rows have none.
  void SetFindings(const vtLiveFindings* findings) { findings_ = findings; }

 private:
  struct ItemNote {
    vtReloadEvent::Status Status;
    std::string Message;
  };

  void PublishTimeline();
  void PublishState();
  vtStudioReply ApplyEdit(const vtStudioEdit& edit);
  vtEditResult RunEdit(const vtStudioEdit& edit);
  vtEditResult RunKeyEdit(const vtStudioEdit& edit);
  vtStudioReply ReadLayers(int item);
  std::string LayerFile(int item, vtEditResult& refusal) const;
  void ReloadOwnWrite(const vtEditResult& written);
  bool SkipOwnWrite(const std::string& enginePath);
  std::string FileVersion(const std::string& enginePath) const;
  // A waveform being read: the worker and the flags it shares with us.
  struct WaveformReading {
    std::thread Worker;
    std::atomic<bool> Stop{false};
    std::atomic<bool> Done{false};
  };

  void StartWaveform();
  void StopWaveform();
  std::string ShortPath(const std::string& enginePath) const;
  std::string PageText(const std::string& text) const;

  vtDemoSystem& demo_;
  vtStudioExchange exchange_;
  vtStudioServer server_;
  std::vector<vtStudioCommand> commands_;  // reused every frame
  std::uint64_t frames_ = 0;               // drawn since the start
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
  // What reloads said about items, by the Serial of the item they left in place.
  std::unordered_map<std::uint64_t, ItemNote> notes_;
  const vtLiveFindings* findings_ = nullptr;
  // The current reading last; earlier ones, told to stop, are joined once
  // done (never waited for while the demo plays) or by Stop.
  std::vector<std::unique_ptr<WaveformReading>> readings_;
  std::string waveformMusic_;  // the music file the waveform is read from
};
