// `vortane --new DIR`: a small demo to start from.
//
// The folder gets a commented script and one item file of each main kind
// (a transformation, a sky box, the generated torus, a layer title fading
// in), with pictures and music made here by the project's own generators:
// nothing is copied from elsewhere or downloaded. The demo plays at once.
//
// Main thread or any other: it writes files only (no GL, no window, no
// audio device, no Global… object).
#pragma once

#include <string>

// The files of the new demo, relative to its folder, in the order they
// are written ('/' between parts, as on this system).
const char* const* NewDemoFiles();

// Writes the demo into dir. A dir that does not exist is made; an empty
// one is used. False with a one-line reason in error, and nothing changed,
// when dir exists and is no folder or is not empty; false too when a file
// cannot be written, after removing what was written.
bool CreateNewDemo(const std::string& dir, std::string& error);
