// The player's main body: start-up, the message loop and shutdown.
#pragma once

#include "app/vtLoopU.h"
#include "app/vtOptionsU.h"

// The demo script, relative to the working directory.
inline constexpr const char* kDemoScript = "data\\tunnel_test.vds";

// Plays the demo of the working directory as the options say (the
// defaults play it as the script alone says); returns the process exit
// status: 0 after a normal end (demo over, Escape, window closed, full
// screen declined), non-zero when the script has a conversion error or
// the window cannot be opened.
int RunProgram(const vtPlayerOptions& options = vtPlayerOptions());

// Dispatches window events and runs an idle pass whenever none is
// pending, until the quit event or the idle pass ends it.
void RunMessageLoop(vtLoopTarget& target);
