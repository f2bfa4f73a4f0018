// The one on-screen window with its OpenGL context, and its events.
//
// Each operation is one step of opening or closing the window, so the
// application can tell the user exactly which step failed. The window is a
// double-buffered RGBA surface with a 24-bit depth buffer and an OpenGL
// compatibility context.
#pragma once

#include <string>

namespace platform {

// Why no window can be shown on this machine, or "" when a display is
// there. Without an X server or a Wayland compositor SDL would quietly
// fall back to drawing nowhere; this names the problem instead.
std::string DisplayProblem();

// Starts the video subsystem (and keeps the screen saver away while it
// runs); false with VideoError() telling why. From then on a broken display
// connection or a quit signal ends the program as platform/DisplayLoss.h
// says.
bool StartVideo();
void StopVideo();
std::string VideoError();

// True when the display offers an exclusive full-screen mode of exactly
// this size and colour depth.
bool FullScreenModeAvailable(int width, int height, int bits);

struct GlWindowRequest {
  std::string Title;
  int Width = 640;   // client size
  int Height = 480;
  int Bits = 32;     // colour depth
  bool FullScreen = false;
};

enum class GlWindowFailure {
  None,
  DeviceContext,       // the OpenGL library cannot be loaded for the display
  PixelFormatRequest,  // the frame-buffer attributes were refused
  PixelFormatChoice,   // no frame-buffer configuration fits them
  WindowCreation,
  ContextCreation,
  ContextActivation,
};

class GlWindow {
 public:
  GlWindow() = default;
  // Leaves the display alone: a static window is destroyed by exit(),
  // which may run inside an Xlib error handler (where talking to the
  // display is not allowed) or after the connection broke. The owner
  // closes the window with the steps below on its normal way out.
  ~GlWindow() = default;
  GlWindow(const GlWindow&) = delete;
  GlWindow& operator=(const GlWindow&) = delete;

  // Creates the (hidden) window and its context and makes it current. On
  // failure whatever was made stays held, for the Close steps to release.
  GlWindowFailure Open(const GlWindowRequest& request);

  // Closing, step by step.
  bool ReleaseContext();  // no context current any more; false on failure
  void DeleteContext();
  void Destroy();         // also leaves full-screen mode and shows the cursor

  bool HasWindow() const { return window_ != nullptr; }
  bool HasContext() const { return context_ != nullptr; }
  void* Handle() const { return window_; }

  void Show();  // shows, raises and focuses the window
  void SetTitle(const std::string& title);
  // Asks for another size of the drawable area (a windowed window only); a
  // Resized event follows once the display has made the change.
  void SetClientSize(int width, int height);
  void SwapBuffers();
  // The size of the drawable area in pixels.
  void ClientSize(int& width, int& height) const;

 private:
  void* window_ = nullptr;   // SDL_Window
  void* context_ = nullptr;  // SDL_GLContext
  bool libraryLoaded_ = false;
  bool fullScreen_ = false;
};

// Asks for vertical sync; false when the driver refuses it (buffer swaps
// then do not wait for the display). With on false, asks for swaps that
// never wait (for measuring); false when the driver refuses that.
bool RequestVerticalSync(bool on = true);

enum class WindowEventKind {
  Other, Quit, Close, KeyDown, KeyUp, Minimised, Restored, Resized, MouseDown, MouseUp, MouseMove
};

enum class MouseButton { None, Left, Middle, Right, Other };

struct WindowEvent {
  WindowEventKind Kind = WindowEventKind::Other;
  int Key = 0;  // KeyDown/KeyUp: the virtual-key code (platform/Keys.h), 0 if none
  // Resized: the new drawable size in pixels. Mouse events: the window's
  // size in the units of X and Y (which may differ from drawable pixels).
  int Width = 0, Height = 0;
  MouseButton Button = MouseButton::None;  // MouseDown/MouseUp
  int X = 0, Y = 0;  // mouse events: the pointer, from the window's top left
};

// Takes one pending event without waiting; false when none is pending.
// Every key-down is reported, auto-repeats included. A quit signal (SIGINT,
// SIGTERM, SIGHUP) comes as a Quit event, before any other pending event.
bool PollWindowEvent(WindowEvent& event);
// Queues a Quit event (the window's close request ends the loop this way).
void PostQuit();

}  // namespace platform
