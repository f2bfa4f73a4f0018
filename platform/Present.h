// The window the demo draws into, as the engine sees it: an opaque handle
// and a way to show the finished frame. The window layer connects itself;
// offscreen front ends leave it unconnected (swapping then only finishes
// the frame).
#pragma once

#include <functional>

namespace platform {

// The window that is active now (nullptr when none is connected).
void* ActiveWindow();
// Connects (or, with nullptr and an empty function, disconnects) a window.
void SetActiveWindow(void* window, std::function<void()> swapBuffers);
// Shows the frame drawn so far.
void SwapWindowBuffers();

}  // namespace platform
