#include "platform/MessageBox.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

MessageBoxHandler& CurrentHandler() {
  static MessageBoxHandler handler;
  return handler;
}

// Windows texts use a lone carriage return as line break.
std::string WithNewlines(std::string text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') continue;
    if (i + 1 < text.size() && text[i + 1] == '\n')
      text.erase(i, 1);
    else
      text[i] = '\n';
  }
  return text;
}

bool HasDisplay() {
  const char* forced = std::getenv("VORTANE_MESSAGES");
  if (forced && std::strcmp(forced, "stderr") == 0) return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!x11 || !*x11) && (!wayland || !*wayland)) return false;
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
    return false;
  return true;
}

MsgAnswer ShowOnStderr(const MessageBoxCall& call) {
  std::fprintf(stderr, "[%s] %s\n", call.Caption.c_str(), WithNewlines(call.Text).c_str());
  std::fflush(stderr);
  return call.Buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}

Uint32 SdlFlags(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Error: return SDL_MESSAGEBOX_ERROR;
    case MsgIcon::Warning: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
  }
}

MsgAnswer ShowWithSdl(const MessageBoxCall& call) {
  std::string text = WithNewlines(call.Text);
  SDL_MessageBoxButtonData okButton[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"}};
  SDL_MessageBoxButtonData yesNoButtons[] = {
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "No"},
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"}};
  bool yesNo = call.Buttons == MsgButtons::YesNo;
  SDL_MessageBoxData data{};
  data.flags = SdlFlags(call.Icon);
  data.window = nullptr;
  data.title = call.Caption.c_str();
  data.message = text.c_str();
  data.numbuttons = yesNo ? 2 : 1;
  data.buttons = yesNo ? yesNoButtons : okButton;
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return ShowOnStderr(call);
  if (!yesNo) return MsgAnswer::Ok;
  return pressed == 1 ? MsgAnswer::Yes : MsgAnswer::No;
}

}  // namespace

MsgAnswer ShowMessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) {
  MessageBoxCall call{caption, text, icon, buttons};
  if (CurrentHandler()) return CurrentHandler()(call);
  return ShowDefaultMessageBox(call);
}

MsgAnswer ShowDefaultMessageBox(const MessageBoxCall& call) {
  return HasDisplay() ? ShowWithSdl(call) : ShowOnStderr(call);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { CurrentHandler() = std::move(handler); }

MessageBoxRecorder::MessageBoxRecorder(MsgAnswer answerForYesNo) : answer_(answerForYesNo) {
  SetMessageBoxHandler([this](const MessageBoxCall& call) {
    calls_.push_back(call);
    return call.Buttons == MsgButtons::YesNo ? answer_ : MsgAnswer::Ok;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHandler(nullptr); }

}  // namespace platform
