// The time overlay for demo authors (F2): the demo time as m:ss.mmm, the
// speed, the loop span, "paused", and a graph of the last frames' times
// against the 16.7 ms (60 per second) and 33.3 ms (30 per second) lines.
//
// Drawn over everything else in the chart's 1024 x 768 units, bottom left.
// Draw pushes every GL state it touches (attributes, both matrices, the
// matrix mode) and pops it again, so the next frame starts as it would
// without the overlay; it allocates nothing. Main thread; Draw needs the
// window's GL context and GlobalFunc (GlobalFont for the text).
#pragma once

#include <array>
#include <cstddef>

#include "runtime/vtDSysU.h"

// What the overlay shows besides the frame times.
struct vtOverlayInfo {
  float TimeMs = 0;
  float Speed = 1;
  vtLoopSpan Loop;
  bool Paused = false;
};

class vtTimeOverlay {
 public:
  static constexpr std::size_t kFrames = 240;  // frames in the graph
  static constexpr float kGraphMs = 50;        // the graph's height in ms

  // One frame's time (ms), the newest; the oldest drops out after kFrames.
  void RecordFrameTime(float ms);
  std::size_t FrameCount() const { return count_; }
  float FrameTime(std::size_t age) const;  // 0: the newest; age < FrameCount()

  // The two text lines, e.g. "1:02.345  0.5x  paused" and
  // "loop 0:10.000 - 0:15.000" ("" without a loop point). Valid until the
  // next call; no allocation.
  const char* StatusLine(const vtOverlayInfo& info);
  const char* LoopLine(const vtOverlayInfo& info);

  void Draw(const vtOverlayInfo& info);
  // How far up from the bottom the overlay reaches, in pixels of the
  // current viewport (both text lines counted), so that other corner
  // texts can keep clear of it. Main thread, GL current.
  static float TopInPixels();

 private:
  void DrawGraph() const;
  void DrawText(const vtOverlayInfo& info);

  std::array<float, kFrames> times_{};
  std::size_t next_ = 0;
  std::size_t count_ = 0;
  char status_[64] = {};
  char loop_[64] = {};
};

// Writes ms as "m:ss.mmm" ("-" before it when negative; whole minutes
// beyond 59 stay minutes: "75:00.000") into out and returns out.
char* FormatDemoTime(float ms, char* out, std::size_t size);
