#include "app/vtWindowU.h"

#include <cstdio>

#include "platform/MessageBox.h"
#include "platform/Present.h"
#include "platform/Title.h"
#include "runtime/vtDSysU.h"

vtKeyState Keys = {};
vtKeyState KeyPresses = {};
vtMouseState Mouse;
bool Active = true;
bool FullScreen = false;
bool FullScreenDeclined = false;
std::string WindowCaption;

namespace {

platform::GlWindow& TheWindow() {
  static platform::GlWindow window;
  return window;
}

void ShowWindowBox(const std::string& text, platform::MsgIcon icon) {
  platform::ShowMessageBox(WindowCaption, text, icon);
}

// Without any display there is nobody to show a box to: say so plainly.
bool ReportMissingDisplay() {
  std::string problem = platform::DisplayProblem();
  if (problem.empty()) return false;
  std::fprintf(stderr, "vortane: cannot show the demo window: %s\n", problem.c_str());
  return true;
}

// Full screen at the configured mode, or windowed if the user agrees.
bool ChooseFullScreenMode(const vtConfigData& config) {
  if (platform::FullScreenModeAvailable(config.Width, config.Height, config.Bits)) return true;
  platform::MsgAnswer answer =
      platform::ShowMessageBox(WindowCaption, kMsgFullScreenQuestion, platform::MsgIcon::Warning,
                               platform::MsgButtons::YesNo);
  if (answer != platform::MsgAnswer::Yes) {
    FullScreenDeclined = true;
    return false;
  }
  FullScreen = false;
  return true;
}

void ConnectWindow() {
  platform::GlWindow& window = TheWindow();
  platform::SetTitleSink([&window](const std::string& title) { window.SetTitle(title); });
  platform::SetActiveWindow(window.Handle(), [&window] { window.SwapBuffers(); });
}

void DisconnectWindow() {
  platform::SetTitleSink(nullptr);
  platform::SetActiveWindow(nullptr, nullptr);
}

}  // namespace

std::string WindowFailureText(platform::GlWindowFailure failure) {
  using platform::GlWindowFailure;
  switch (failure) {
    case GlWindowFailure::None: return "";
    case GlWindowFailure::DeviceContext: return kMsgDeviceContext;
    case GlWindowFailure::PixelFormatRequest: return kMsgSetPixelFormat;
    case GlWindowFailure::PixelFormatChoice: return kMsgChoosePixelFormat;
    case GlWindowFailure::WindowCreation: return kMsgWindowCreation;
    case GlWindowFailure::ContextCreation: return kMsgCreateContext;
    case GlWindowFailure::ContextActivation: return kMsgActivateContext;
  }
  return "";
}

bool OpenGlWindow(const vtConfigData& config) {
  WindowCaption = config.Title;
  FullScreen = config.FullScreen;
  FullScreenDeclined = false;
  if (ReportMissingDisplay()) return false;
  if (!platform::StartVideo()) {
    ShowWindowBox(kMsgRegisterClass, platform::MsgIcon::Error);
    return false;
  }
  if (ReportMissingDisplay()) {
    platform::StopVideo();
    return false;
  }
  if (FullScreen && !ChooseFullScreenMode(config)) {
    platform::StopVideo();
    return false;
  }

  platform::GlWindowRequest request{config.Title, config.Width, config.Height, config.Bits,
                                    FullScreen};
  platform::GlWindowFailure failure = TheWindow().Open(request);
  if (failure != platform::GlWindowFailure::None) {
    CloseGlWindow();
    ShowWindowBox(WindowFailureText(failure), platform::MsgIcon::Warning);
    return false;
  }
  platform::RequestVerticalSync();
  ConnectWindow();
  return true;
}

bool ActivateGlWindow(const vtConfigData& config) {
  TheWindow().Show();
  ActivateGlState(config.Width, config.Height);
  return true;
}

void CloseGlWindow() {
  platform::GlWindow& window = TheWindow();
  DisconnectWindow();
  if (window.HasContext()) {
    if (!window.ReleaseContext()) ShowWindowBox(kMsgReleaseDcRc, platform::MsgIcon::Error);
    window.DeleteContext();
  }
  window.Destroy();  // also restores the display mode and the cursor
  // The display connection stays until the process ends: closing it
  // unloads the GL driver, whose remaining allocations would then show up
  // as leaks nobody can trace.
}

namespace {

void TrackMouse(const platform::WindowEvent& event) {
  using platform::WindowEventKind;
  if (event.Width > 0 && event.Height > 0) {
    Mouse.X = static_cast<float>(event.X) / static_cast<float>(event.Width);
    Mouse.Y = static_cast<float>(event.Y) / static_cast<float>(event.Height);
  }
  const bool left = event.Button == platform::MouseButton::Left;
  if (event.Kind == WindowEventKind::MouseDown && left) Mouse.LeftDown = Mouse.LeftPressed = true;
  if (event.Kind == WindowEventKind::MouseUp && left) Mouse.LeftDown = false;
  if (event.Kind == WindowEventKind::MouseMove) Mouse.Moved = true;
}

}  // namespace

void ResizeGlWindow(int width, int height) { TheWindow().SetClientSize(width, height); }

void WindowProc(const platform::WindowEvent& event) {
  using platform::WindowEventKind;
  bool validKey = event.Key > 0 && event.Key < static_cast<int>(kKeyCount);
  switch (event.Kind) {
    case WindowEventKind::KeyDown:
      if (validKey) Keys[event.Key] = KeyPresses[event.Key] = true;
      break;
    case WindowEventKind::KeyUp: if (validKey) Keys[event.Key] = false; break;
    case WindowEventKind::Minimised: Active = false; break;
    case WindowEventKind::Restored: Active = true; break;
    case WindowEventKind::Resized: ResizeViewport(event.Width, event.Height); break;
    case WindowEventKind::Close: platform::PostQuit(); break;
    case WindowEventKind::MouseDown:
    case WindowEventKind::MouseUp:
    case WindowEventKind::MouseMove: TrackMouse(event); break;
    default: break;
  }
}
