// Start-up pieces shared by the player and the offscreen renderer: the
// program-wide objects in their start-up order, and the GL state a demo
// window has once it is activated.
#pragma once

// GlobalFunc (captures the working directory), GlobalFont, GlobalLog,
// GlobalStore, in this order.
void CreateProgramObjects();

// The viewport follows the client size (a height of 0 counts as 1); the
// projection stays the start-up one, so a resized window still shows the
// picture the demo was made for. The model-view matrix is reset.
void ResizeViewport(int width, int height);
// Smooth shading, clear colour and depth, depth test, the start-up
// projection (aspect 4/3, far plane 10000), model-view mode, light 0 on.
bool InitGlState();
// What activating the window does to GL: ResizeViewport, then InitGlState.
void ActivateGlState(int width, int height);
