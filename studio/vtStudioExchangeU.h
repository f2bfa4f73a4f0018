// What the player's main loop and the studio server's threads share: the
// state the main loop publishes once per frame, the commands and edits the
// page sends (taken by the main loop at the next frame; an edit's answer
// comes back through here too), the timeline and the
// waveform the page draws, and the events its streams carry (the player's
// messages, the reloads).
//
// Threads: the functions under "main loop" are called by the player's main
// thread only (PublishWaveform by any thread); the rest by any thread,
// usually the server's. One mutex (mutex_) guards every member; it is held
// only to copy plain data in or out, never during I/O, so neither side can
// stall the other. Nothing here touches GL or the demo system.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "studio/vtWaveformU.h"

struct vtStudioState {
  float TimeMs = 0;
  float EndMs = 0;
  bool Paused = false;
  float Speed = 1;
  bool Loop = false;  // a loop span is active: LoopFrom < LoopTo
  float LoopFrom = 0, LoopTo = 0;
  // Frames drawn so far: an edit answered before a frame shows in it.
  std::uint64_t Frames = 0;
};

enum class vtStudioCommandKind { Seek, Pause, Resume, Speed, Loop, ClearLoop };

struct vtStudioCommand {
  vtStudioCommandKind Kind = vtStudioCommandKind::Pause;
  float Value = 0;  // Seek: the time, Speed: the rate, Loop: from
  float To = 0;     // Loop: to
};

// An answer of the interface: a status and a JSON object ({"error": "why"}
// with a status of 400 or more).
struct vtStudioReply {
  int Status = 200;
  nlohmann::json Body;
};

// An edit of the demo's files, its values checked by the server; the main
// loop applies it between frames (vtStudio).
enum class vtStudioEditKind {
  Line, LineAdd, LineDelete, ItemAdd, ItemDelete, ItemMove, Layers, Key, KeyAdd, KeyDelete, Undo, Redo
};
// A key's values by name, in the order of the key line.
inline constexpr const char* kKeyValueNames[11] = {"time",   "x",     "y", "interpolation", "angle", "width",
                                                   "height", "r",     "g", "b",             "a"};
struct vtStudioEdit {
  vtStudioEditKind Kind = vtStudioEditKind::Line;
  int Item = -1, Line = -1;
  int To = -1;        // ItemMove: the new place; ItemAdd: the place
  std::string Type;   // ItemAdd: the kind
  std::string File;   // ItemAdd: as the script will name it
  std::int32_t Begin = 0, End = 0;  // whole ms
  std::optional<std::int32_t> Mode;  // unset: as it is (a new line: 0)
  std::optional<std::string> Play;   // unset: as it is (a new line: "vt_PLAY")
  std::string Version;               // of the file the edit was made on
  int Layer = -1, Key = -1;          // Layers (read), Key...
  std::optional<double> KeyValues[11];  // by kKeyValueNames; unset: as it is
};

// The timeline as the page shows it, built by the main loop when the items
// change (at the start and after reloads).
struct vtTimelineLine {
  float Begin = 0, End = 0;  // ms of demo time
  int Mode = 0;              // the time mode
  std::string Play;          // "vt_PLAY", "vt_UNPLAY", or the tag as written
};
struct vtTimelineFinding {
  int Line = 0;          // 0: the whole file
  std::string Severity;  // "error" or "warning"
  std::string Code;
  std::string Text;
};
struct vtTimelineItem {
  std::string Type;     // "vt_2D_VTL", ...
  std::string File;     // as written in the script
  std::string Version;  // of the file (DocumentVersion); "" when it does not exist
  std::string Status;   // "loaded", "failed", "reloaded" or "missing" (no such file)
  std::string Message;  // why it failed; "" otherwise
  std::vector<vtTimelineLine> Lines;
  std::vector<vtTimelineFinding> Findings;  // what was found in its file when last read
};
struct vtTimeline {
  float EndMs = 0;
  std::string ScriptFile;     // as the player names it
  std::string ScriptVersion;  // "" when it does not exist
  std::vector<vtTimelineItem> Items;  // in drawing order
};

// One event for the streams: its name ("message", "reload") and its data
// (one line of JSON). Ids count from 1 in posting order.
struct vtStudioEvent {
  std::uint64_t Id = 0;
  std::string Name;
  std::string Data;
};

class vtStudioExchange {
 public:
  static constexpr std::size_t kMaxQueuedCommands = 256;  // Push refuses more
  static constexpr std::size_t kKeptEvents = 200;         // the newest; older ones are dropped

  vtStudioExchange();
  vtStudioExchange(const vtStudioExchange&) = delete;
  vtStudioExchange& operator=(const vtStudioExchange&) = delete;

  // ---- main loop
  // Moves the queued commands into out (cleared first; its capacity is
  // reused, so a frame without commands allocates nothing). The commands
  // count as applied with the next PublishState.
  void TakeCommands(std::vector<vtStudioCommand>& out);
  // Moves the queued edits, with their tickets, into out (cleared first);
  // each is answered with FinishEdit.
  void TakeEdits(std::vector<std::pair<std::uint64_t, vtStudioEdit>>& out);
  void FinishEdit(std::uint64_t ticket, vtStudioReply reply);
  void PublishState(const vtStudioState& state);
  void PublishTimeline(std::shared_ptr<const vtTimeline> timeline);
  void PostEvent(const std::string& name, const std::string& data);
  // The work folder (item files are named relative to it) and the demo's
  // folder (the script's), both canonical disk paths.
  void PublishFolders(const std::string& workDir, const std::string& demoFolder);
  // The waveform is being read again: Waveform() is null until published.
  void WaveformPending();
  void PublishWaveform(std::shared_ptr<const vtWaveform> waveform);  // any thread

  // ---- server threads
  vtStudioState State() const;
  // Queues a command; its ticket for WaitApplied, or 0 when the queue is
  // full (the main loop is not taking commands) or the exchange stopped.
  std::uint64_t Push(const vtStudioCommand& command);
  // Waits until a state published after the command's frame, or limit.
  // True with that state; false on timeout or stop (state: the latest).
  bool WaitApplied(std::uint64_t ticket, std::chrono::milliseconds limit, vtStudioState& state) const;
  std::shared_ptr<const vtTimeline> Timeline() const;
  std::string WorkFolder() const;
  std::string DemoFolder() const;
  // Queues an edit; its ticket for WaitEdit, or 0 when the queue is full
  // or the exchange stopped.
  std::uint64_t PushEdit(const vtStudioEdit& edit);
  // The edit's answer. An edit the main loop has not taken within limit is
  // withdrawn (false: nothing was done); one it took is waited for to its
  // end (false only when the exchange stops).
  bool WaitEdit(std::uint64_t ticket, std::chrono::milliseconds limit, vtStudioReply& reply);
  // The waveform, waiting up to limit while it is being read; null when
  // it is still not read then. An empty waveform means no music.
  std::shared_ptr<const vtWaveform> Waveform(std::chrono::milliseconds limit) const;
  // Copies the kept events with an id above after into out (cleared
  // first), oldest first; waits up to limit when there is none. True
  // when out holds any.
  bool EventsAfter(std::uint64_t after, std::chrono::milliseconds limit, std::vector<vtStudioEvent>& out) const;
  std::uint64_t LastEventId() const;

  // Wakes every waiter and refuses new commands until Reopen; any thread.
  void Stop();
  void Reopen();
  bool Stopped() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;  // applied_, answers_, events_, waveform_ or stopped_
  vtStudioState state_;
  std::vector<vtStudioCommand> queue_;
  std::uint64_t pushed_ = 0;   // tickets given
  std::uint64_t taken_ = 0;    // tickets the main loop has taken
  std::uint64_t applied_ = 0;  // tickets a published state includes
  std::shared_ptr<const vtTimeline> timeline_;
  std::string workFolder_, demoFolder_;
  std::deque<std::pair<std::uint64_t, vtStudioEdit>> edits_;  // not yet taken
  std::uint64_t editTickets_ = 0;
  std::map<std::uint64_t, vtStudioReply> answers_;  // finished, not yet fetched
  std::shared_ptr<const vtWaveform> waveform_;
  bool waveformPending_ = false;
  std::deque<vtStudioEvent> events_;
  std::uint64_t lastEventId_ = 0;
  bool stopped_ = false;
};
