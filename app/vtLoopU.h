// One idle pass of the player's loop: draw a frame, then turn the key flags
// the window events left into the player's commands (quit, seek, timeline
// chart, pause), then show the frame.
#pragma once

#include <cstddef>

inline constexpr std::size_t kKeyCount = 256;
using vtKeyState = bool[kKeyCount];  // indexed by virtual-key code

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
};

// Seek steps in milliseconds of demo time.
inline constexpr int kShortSeek = 100;  // Left, Right
inline constexpr int kLongSeek = 500;   // Down, Up

// Runs one idle pass; true when the loop is to end (demo over, or Escape
// held or pressed). No frame is drawn while the window is not active, but
// keys and the buffer swap are still handled. down holds the keys that are
// down now; presses the key-downs (auto-repeats included) not acted on yet,
// so a key tapped quicker than a frame still counts. Each press acted on is
// cleared: one key-down gives one step. paused is the space bar's toggle.
bool IdlePass(vtLoopTarget& target, const vtKeyState& down, vtKeyState& presses, bool active,
              bool& paused);
