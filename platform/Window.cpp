#include "platform/Window.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/DisplayLoss.h"
#include "platform/Keys.h"

namespace platform {
namespace {

SDL_Window* AsWindow(void* window) { return static_cast<SDL_Window*>(window); }

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Drivers that draw nowhere a person could see.
bool IsInvisibleDriver(const char* driver) {
  return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                    std::strcmp(driver, "evdev") == 0);
}

int BitsOf(const SDL_DisplayMode& mode) {
  return static_cast<int>(SDL_BITSPERPIXEL(mode.format));
}

// X servers report 24-bit depth for 32-bit pixels; both count as 24 or 32.
bool DepthMatches(const SDL_DisplayMode& mode, int bits) {
  return BitsOf(mode) == bits || static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8 == bits;
}

bool FindFullScreenMode(int width, int height, int bits, SDL_DisplayMode& found) {
  int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    if (mode.w == width && mode.h == height && DepthMatches(mode, bits)) {
      found = mode;
      return true;
    }
  }
  return false;
}

// Colour channel sizes for a colour depth: 16 bits are 5-6-5, 15 are 5-5-5.
void ChannelSizes(int bits, int& red, int& green, int& blue) {
  if (bits >= 24) {
    red = green = blue = 8;
  } else if (bits == 16) {
    red = blue = 5;
    green = 6;
  } else if (bits >= 15) {
    red = green = blue = 5;
  } else {
    red = green = blue = 0;  // whatever the display has
  }
}

bool RequestPixelFormat(int bits) {
  int red, green, blue;
  ChannelSizes(bits, red, green, blue);
  bool ok = SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red) == 0 &&
            SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green) == 0 &&
            SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue) == 0 &&
            SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0 &&
            SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24) == 0 &&
            SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0 &&
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0;
  return ok && SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK,
                                   SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) == 0;
}

Uint32 WindowFlags(bool fullScreen) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  return fullScreen ? flags | SDL_WINDOW_FULLSCREEN : flags | SDL_WINDOW_RESIZABLE;
}

void DrawableSizeOf(Uint32 windowId, int& width, int& height) {
  SDL_Window* window = SDL_GetWindowFromID(windowId);
  if (window) SDL_GL_GetDrawableSize(window, &width, &height);
}

bool TranslateWindowEvent(const SDL_WindowEvent& in, WindowEvent& out) {
  switch (in.event) {
    case SDL_WINDOWEVENT_CLOSE: out.Kind = WindowEventKind::Close; return true;
    case SDL_WINDOWEVENT_MINIMIZED: out.Kind = WindowEventKind::Minimised; return true;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: out.Kind = WindowEventKind::Restored; return true;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      out.Kind = WindowEventKind::Resized;
      out.Width = in.data1;
      out.Height = in.data2;
      DrawableSizeOf(in.windowID, out.Width, out.Height);
      return true;
    default: return false;
  }
}

MouseButton ButtonOf(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return MouseButton::Left;
    case SDL_BUTTON_MIDDLE: return MouseButton::Middle;
    case SDL_BUTTON_RIGHT: return MouseButton::Right;
    default: return MouseButton::Other;
  }
}

void TranslateMouse(WindowEventKind kind, Uint32 windowId, int x, int y, WindowEvent& out) {
  out.Kind = kind;
  out.X = x;
  out.Y = y;
  SDL_Window* window = SDL_GetWindowFromID(windowId);
  if (window) SDL_GetWindowSize(window, &out.Width, &out.Height);
}

void Translate(const SDL_Event& in, WindowEvent& out) {
  out = WindowEvent{};
  switch (in.type) {
    case SDL_QUIT: out.Kind = WindowEventKind::Quit; break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.Kind = in.type == SDL_KEYDOWN ? WindowEventKind::KeyDown : WindowEventKind::KeyUp;
      out.Key = VirtualKeyFromSdl(in.key.keysym.sym, in.key.keysym.scancode);
      break;
    case SDL_WINDOWEVENT: TranslateWindowEvent(in.window, out); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateMouse(in.type == SDL_MOUSEBUTTONDOWN ? WindowEventKind::MouseDown : WindowEventKind::MouseUp,
                     in.button.windowID, in.button.x, in.button.y, out);
      out.Button = ButtonOf(in.button.button);
      break;
    case SDL_MOUSEMOTION:
      TranslateMouse(WindowEventKind::MouseMove, in.motion.windowID, in.motion.x, in.motion.y, out);
      break;
    default: break;
  }
}

}  // namespace

std::string DisplayProblem() {
  const char* forced = std::getenv("SDL_VIDEODRIVER");
  if (IsInvisibleDriver(forced))
    return std::string("the video driver \"") + forced + "\" shows no window on screen";
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY"))
    return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set "
           "(no X server or Wayland compositor to show the window on)";
  if (SDL_WasInit(SDL_INIT_VIDEO) && IsInvisibleDriver(SDL_GetCurrentVideoDriver()))
    return std::string("no display could be opened (SDL chose its \"") +
           SDL_GetCurrentVideoDriver() + "\" driver)";
  return "";
}

bool StartVideo() {
  WatchDisplay();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_DisableScreenSaver();
  return true;
}

void StopVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::string VideoError() { return SDL_GetError(); }

bool FullScreenModeAvailable(int width, int height, int bits) {
  SDL_DisplayMode mode;
  return FindFullScreenMode(width, height, bits, mode);
}

GlWindowFailure GlWindow::Open(const GlWindowRequest& request) {
  fullScreen_ = request.FullScreen;
  if (SDL_GL_LoadLibrary(nullptr) != 0) return GlWindowFailure::DeviceContext;
  libraryLoaded_ = true;
  if (!RequestPixelFormat(request.Bits)) return GlWindowFailure::PixelFormatRequest;
  Uint32 flags = WindowFlags(request.FullScreen);
  window_ = SDL_CreateWindow(request.Title.c_str(), 0, 0, request.Width, request.Height,
                             flags | SDL_WINDOW_OPENGL);
  if (!window_) {
    // A plain window that opens tells a missing frame-buffer configuration
    // apart from a window that cannot be made at all.
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, request.Width, request.Height, flags);
    if (!probe) return GlWindowFailure::WindowCreation;
    SDL_DestroyWindow(probe);
    return GlWindowFailure::PixelFormatChoice;
  }
  SDL_DisplayMode mode;
  if (request.FullScreen && FindFullScreenMode(request.Width, request.Height, request.Bits, mode))
    SDL_SetWindowDisplayMode(AsWindow(window_), &mode);
  if (request.FullScreen) SDL_ShowCursor(SDL_DISABLE);
  context_ = SDL_GL_CreateContext(AsWindow(window_));
  if (!context_) return GlWindowFailure::ContextCreation;
  if (SDL_GL_MakeCurrent(AsWindow(window_), context_) != 0)
    return GlWindowFailure::ContextActivation;
  return GlWindowFailure::None;
}

bool GlWindow::ReleaseContext() {
  if (!context_) return true;
  return SDL_GL_MakeCurrent(AsWindow(window_), nullptr) == 0;
}

void GlWindow::DeleteContext() {
  if (context_) SDL_GL_DeleteContext(context_);
  context_ = nullptr;
}

void GlWindow::Destroy() {
  if (window_) SDL_DestroyWindow(AsWindow(window_));  // leaves full-screen mode with it
  window_ = nullptr;
  if (fullScreen_) SDL_ShowCursor(SDL_ENABLE);
  fullScreen_ = false;
  if (libraryLoaded_) SDL_GL_UnloadLibrary();
  libraryLoaded_ = false;
}

void GlWindow::Show() {
  if (!window_) return;
  SDL_ShowWindow(AsWindow(window_));
  SDL_RaiseWindow(AsWindow(window_));
}

void GlWindow::SetTitle(const std::string& title) {
  if (window_) SDL_SetWindowTitle(AsWindow(window_), title.c_str());
}

void GlWindow::SetClientSize(int width, int height) {
  if (window_ && !fullScreen_ && width > 0 && height > 0) SDL_SetWindowSize(AsWindow(window_), width, height);
}

void GlWindow::SwapBuffers() {
  if (window_) SDL_GL_SwapWindow(AsWindow(window_));
}

void GlWindow::ClientSize(int& width, int& height) const {
  width = height = 0;
  if (window_) SDL_GL_GetDrawableSize(AsWindow(window_), &width, &height);
}

bool RequestVerticalSync(bool on) {
  if (!on) return SDL_GL_SetSwapInterval(0) == 0;
  if (SDL_GL_SetSwapInterval(1) == 0) return true;
  SDL_GL_SetSwapInterval(0);
  return false;
}

bool PollWindowEvent(WindowEvent& event) {
  if (TakeQuitRequest()) {
    event = WindowEvent{};
    event.Kind = WindowEventKind::Quit;
    return true;
  }
  SDL_Event sdlEvent;
  if (!SDL_PollEvent(&sdlEvent)) return false;
  Translate(sdlEvent, event);
  return true;
}

void PostQuit() {
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}

}  // namespace platform
