// The measured work the ASE benchmarks run in child processes of their own.
#pragma once

#include <string>

namespace bench {

// Engine globals as the player has them, message boxes answered silently.
void StartEngine();

// Reads the ASE file (ReadFile; with GL the whole LoadFromFile with its
// display lists on an offscreen context, through the load pipeline with
// the configured threads, as the player loads) and prints "seconds objects
// cpu-seconds" (user and system time of every thread during the work).
// Returns the process exit status: 0 when the scene was read.
int TimeAseRead(const std::string& path, bool withGl);

}  // namespace bench
