// One idle pass of the player's loop: draw a frame, then turn the key flags
// and the mouse the window events left into the player's commands (quit,
// seek, timeline chart, pause, and the authors' time control), then show
// the frame. Main thread.
#pragma once

#include <cstddef>

inline constexpr std::size_t kKeyCount = 256;
using vtKeyState = bool[kKeyCount];  // indexed by virtual-key code

// The left mouse button and the pointer, as the window events left them.
struct vtMouseState {
  bool LeftDown = false;     // held now
  bool LeftPressed = false;  // a press not acted on yet
  bool Moved = false;        // moved since the last pass
  float X = 0, Y = 0;        // the pointer: fractions of the window from its top left
  bool Dragging = false;     // a press on the timeline chart is being dragged
};

// What an idle pass drives: the demo system and the window's buffers.
class vtLoopTarget {
 public:
  virtual ~vtLoopTarget() = default;
  virtual bool DrawFrame() = 0;  // false once the demo is over
  virtual bool CursorMode() const = 0;
  virtual bool SpaceStop() const = 0;
  virtual void SeekBackward(int step) = 0;
  virtual void SeekForward(int step) = 0;
  virtual void ToggleTimeline() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual void SwapBuffers() = 0;

  // The authors' time control (see vtDemoSystem). A target without it
  // keeps these defaults: never live, nothing happens.
  virtual bool LiveMode() const { return false; }
  virtual float Time() const { return 0; }     // the demo time, ms
  virtual float EndTime() const { return 0; }  // ms
  virtual void SeekTo(float) {}
  virtual float Speed() const { return 1; }
  virtual void SetSpeed(float) {}
  virtual void SetLoopStart() {}  // at the current time
  virtual void SetLoopEnd() {}
  virtual void ClearLoop() {}
  virtual void ToggleOverlay() {}
  virtual bool TimelineShown() const { return false; }
  // The time under the pointer (fractions of the window); false off the chart.
  virtual bool ChartTimeAt(float, float, float&) const { return false; }
  // Sets paused to the demo's own pause, which more than the space bar may
  // change (the studio page); a target that cannot tell leaves it.
  virtual void SyncPaused(bool&) const {}
};

// Seek steps in milliseconds of demo time.
inline constexpr int kShortSeek = 100;  // Left, Right
inline constexpr int kLongSeek = 500;   // Down, Up
inline constexpr float kFrameStep = 1000.0f / 60;  // comma, period (while paused)
inline constexpr float kEndLeadIn = 5000;         // End goes this far before the end time

// The speeds '-' and '=' step through; the speed one step from current
// (direction -1 or +1), which stays at the ends.
float NextSpeed(float current, int direction);

// Runs one idle pass; true when the loop is to end (demo over, or Escape
// held or pressed). No frame is drawn while the window is not active, but
// keys and the buffer swap are still handled. down holds the keys that are
// down now; presses the key-downs (auto-repeats included) not acted on yet,
// so a key tapped quicker than a frame still counts. Each press acted on is
// cleared: one key-down gives one step. paused is the space bar's toggle,
// brought in step with the target (SyncPaused) after each frame.
// The seek, timeline and time-control keys and the chart's mouse work with
// VT_CURSOR or in live mode; the space bar with VT_SPACESTOP or in live
// mode. mouse (may be null) is updated: its press and move are taken.
bool IdlePass(vtLoopTarget& target, const vtKeyState& down, vtKeyState& presses, bool active,
              bool& paused, vtMouseState* mouse = nullptr);
