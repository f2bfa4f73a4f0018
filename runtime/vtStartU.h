// Start-up pieces shared by the player and the offscreen renderer: the
// program-wide objects in their start-up order, and the GL state a demo
// window has once it is activated.
#pragma once

#include <string>

// GlobalFunc (captures the working directory), GlobalFont, GlobalLog,
// GlobalStore, in this order.
void CreateProgramObjects();

// Makes dir (a path of this system, not an engine path) the working
// directory, so the program works from it exactly as if started there.
// False, with a one-line message naming the folder and what is missing,
// when dir does not exist, is no folder, cannot be entered or holds no
// readable scriptPath (an engine path relative to dir, letter case resolved
// as for every engine path); the working directory is then unchanged. Call
// before CreateProgramObjects, which captures the working directory. Main
// thread: the working directory is the whole process's.
bool EnterDemoFolder(const std::string& dir, const std::string& scriptPath, std::string& error);

// The aspect of the start-up projection: every demo is drawn for 4:3.
constexpr double kStartupAspect = 4.0 / 3.0;

// The viewport follows the client size (a height of 0 counts as 1); the
// projection stays the start-up one, so a resized window still shows the
// picture the demo was made for. The model-view matrix is reset.
void ResizeViewport(int width, int height);
// Smooth shading, clear colour and depth, depth test, the start-up
// projection (aspect 4/3, far plane 10000), model-view mode, light 0 on.
bool InitGlState();
// What activating the window does to GL: ResizeViewport, then InitGlState.
void ActivateGlState(int width, int height);
