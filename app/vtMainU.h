// The player's main body: start-up, the message loop and shutdown.
#pragma once

#include "app/vtLoopU.h"

// The demo script, relative to the working directory.
inline constexpr const char* kDemoScript = "data\\tunnel_test.vds";

// Plays the demo; returns the process exit status: 0 after a normal end
// (demo over, Escape, window closed, full screen declined), non-zero when
// the script has a conversion error or the window cannot be opened.
int RunProgram();

// Dispatches window events and runs an idle pass whenever none is
// pending, until the quit event or the idle pass ends it.
void RunMessageLoop(vtLoopTarget& target);
