// The sample demo as the benchmarks run it: the player's start-up order,
// offscreen, on the manual clock.
#pragma once

#include <memory>
#include <string>

#include "platform/OffscreenGL.h"

namespace bench {

// The script of the sample demo, relative to the source tree.
constexpr const char* kSampleScript = "data\\tunnel_test.vds";

// Message boxes would wait for a user: they go to standard error. The
// working directory becomes the source tree (the demo's paths are
// relative to it) and the audio driver the dummy one.
bool PrepareProcess();

// Creates the program objects and DemoSystem, reads the script; false
// (with a message) when it cannot be read.
bool LoadSampleScript();

// An offscreen context of the size with the demo window's GL state.
std::unique_ptr<platform::OffscreenGL> OpenContext(int width, int height);

// The demo system's Init on the manual clock at 0 ms, the music stopped
// afterwards unless keepMusic (so that no audio thread runs beside the frames).
void InitDemo(bool keepMusic);

}  // namespace bench
