// The demo window: opening, activating and closing it with its OpenGL
// context, its initial GL state, and the handling of its events (key
// flags, minimised state, resizing, the close request).
#pragma once

#include <string>

#include "app/vtLoopU.h"
#include "platform/Window.h"
#include "runtime/vtStartU.h"  // ResizeViewport, InitGlState

class vtConfigData;

extern vtKeyState Keys;  // true while a key is down (virtual-key codes)
extern vtKeyState KeyPresses;  // key-downs the loop has not acted on yet
extern vtMouseState Mouse;     // the left button and the pointer
extern bool Active;      // false while the window is minimised
extern bool FullScreen;  // the configured choice, cleared when refused
extern bool FullScreenDeclined;  // the user chose to end rather than go windowed
extern std::string WindowCaption;  // window title and caption of this unit's boxes

// Opens the window and its current GL context as the configuration asks;
// every failure has told the user (or, without any display, standard
// error) and released what was made.
bool OpenGlWindow(const vtConfigData& config);
// Shows and focuses the window, sets viewport, projection and GL state.
bool ActivateGlWindow(const vtConfigData& config);
// Undoes OpenGlWindow, reporting each failed release.
void CloseGlWindow();
// Gives the window another client size (live authoring, after the script
// changed it); the viewport follows with the Resized event.
void ResizeGlWindow(int width, int height);
// Handles one window event (everything but the quit event). A resize
// follows the client size with the viewport only (ResizeViewport); mouse
// events update Mouse.
void WindowProc(const platform::WindowEvent& event);

// The message texts of the window's failures.
inline constexpr const char* kMsgRegisterClass = "Failed To Register The Window Class.";
inline constexpr const char* kMsgFullScreenQuestion =
    "This FullScreen Mode Is Not Supported. Use Windowed Mode Instead?";
inline constexpr const char* kMsgWindowCreation = "Window creation error.";
inline constexpr const char* kMsgDeviceContext = "Cant't create a GL device context.";
inline constexpr const char* kMsgChoosePixelFormat = "Cant't Find A Suitable PixelFormat.";
inline constexpr const char* kMsgSetPixelFormat = "Cant't set PixelFormat.";
inline constexpr const char* kMsgCreateContext = "Cant't create a GL rendering context.";
inline constexpr const char* kMsgActivateContext = "Cant't activate the GL rendering context.";
inline constexpr const char* kMsgReleaseDcRc = "Release of DC and RC failed.";

// The text shown when opening fails at that step ("" for None).
std::string WindowFailureText(platform::GlWindowFailure failure);
