// Live authoring as the player runs it: the reload controller and the
// on-screen console around one demo system, driven once per frame.
//
//   vtLiveSession live(demo, scriptPath);   // before the script is read:
//                                           // its messages become lines
//   ... open the window, demo.Init() ...
//   live.Start();                           // watching begins
//   each idle pass: live.BeforeFrame(); demo.DrawFrame(); live.AfterFrame(); swap
//
// Threads: main thread only; BeforeFrame and AfterFrame need the demo's GL
// context. Neither allocates when nothing changed and no line is shown.
#pragma once

#include <cstdint>
#include <string>

#include "live/vtConsoleU.h"
#include "live/vtLiveFindingsU.h"
#include "live/vtReloadU.h"

class vtDemoSystem;

class vtLiveSession {
 public:
  // Attaches the console at once; the demo holds its last frame at the
  // end time instead of ending.
  vtLiveSession(vtDemoSystem& demo, const std::string& scriptPath);
  ~vtLiveSession();  // detaches the console, releases its font lists
  vtLiveSession(const vtLiveSession&) = delete;
  vtLiveSession& operator=(const vtLiveSession&) = delete;

  bool Start();  // after the demo's Init
  // Applies the file changes that are due (before DrawFrame). After a pass
  // that reloaded anything (once its frame is shown) the memory the old
  // objects held goes back to the system first.
  bool BeforeFrame(std::uint32_t nowMs);
  // Draws the console over the frame DrawFrame drew (after DrawFrame,
  // before the buffers are swapped). A demo without items draws nothing, so
  // the console then clears the picture itself.
  void AfterFrame(std::uint32_t nowMs);

  vtConsole& Console() { return console_; }
  vtReloadController& Reloads() { return reloads_; }
  const vtLiveFindings& Findings() const { return findings_; }

 private:
  void ShowNewFindings(std::uint32_t nowMs);

  vtDemoSystem& demo_;
  // What the readers find, from the script on; before the console, which
  // must not outlive the scope feeding it.
  vtLiveFindings findings_;
  vtFindingsScope findingsScope_{findings_};
  vtConsole console_;
  vtReloadController reloads_;
  std::uint32_t reloadsSeen_ = 0;  // reloads_.Reloads() when last looked at
};
