#include "platform/Keys.h"

#include <SDL2/SDL_keyboard.h>

namespace platform {
namespace {

int KeypadKey(int scancode) {
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
    return vk::Numpad0 + 1 + (scancode - SDL_SCANCODE_KP_1);
  switch (scancode) {
    case SDL_SCANCODE_KP_0: return vk::Numpad0;
    case SDL_SCANCODE_KP_MULTIPLY: return vk::Multiply;
    case SDL_SCANCODE_KP_PLUS: return vk::Add;
    case SDL_SCANCODE_KP_MINUS: return vk::Subtract;
    case SDL_SCANCODE_KP_PERIOD: return vk::Decimal;
    case SDL_SCANCODE_KP_DIVIDE: return vk::Divide;
    case SDL_SCANCODE_KP_ENTER: return vk::Return;
    default: return 0;
  }
}

int FunctionKey(std::int32_t key) {
  if (key >= SDLK_F1 && key <= SDLK_F12) return vk::F1 + (key - SDLK_F1);
  if (key >= SDLK_F13 && key <= SDLK_F24) return vk::F1 + 12 + (key - SDLK_F13);
  return 0;
}

int NamedKey(std::int32_t key) {
  switch (key) {
    case SDLK_BACKSPACE: return vk::Back;
    case SDLK_TAB: return vk::Tab;
    case SDLK_RETURN: return vk::Return;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return vk::Shift;
    case SDLK_LCTRL: case SDLK_RCTRL: return vk::Control;
    case SDLK_LALT: case SDLK_RALT: return vk::Menu;
    case SDLK_PAUSE: return vk::Pause;
    case SDLK_CAPSLOCK: return vk::Capital;
    case SDLK_ESCAPE: return vk::Escape;
    case SDLK_SPACE: return vk::Space;
    case SDLK_PAGEUP: return vk::Prior;
    case SDLK_PAGEDOWN: return vk::Next;
    case SDLK_END: return vk::End;
    case SDLK_HOME: return vk::Home;
    case SDLK_LEFT: return vk::Left;
    case SDLK_UP: return vk::Up;
    case SDLK_RIGHT: return vk::Right;
    case SDLK_DOWN: return vk::Down;
    case SDLK_PRINTSCREEN: return vk::Snapshot;
    case SDLK_INSERT: return vk::Insert;
    case SDLK_DELETE: return vk::Delete;
    case SDLK_NUMLOCKCLEAR: return vk::NumLock;
    case SDLK_SCROLLLOCK: return vk::Scroll;
    case SDLK_EQUALS: return vk::OemPlus;  // the key with = and +
    case SDLK_COMMA: return vk::OemComma;
    case SDLK_MINUS: return vk::OemMinus;
    case SDLK_PERIOD: return vk::OemPeriod;
    case SDLK_LEFTBRACKET: return vk::Oem4;
    case SDLK_RIGHTBRACKET: return vk::Oem6;
    default: return FunctionKey(key);
  }
}

}  // namespace

int VirtualKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode) {
  if (int keypad = KeypadKey(sdlScancode)) return keypad;
  if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) return 'A' + (sdlKeycode - SDLK_a);
  if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9) return '0' + (sdlKeycode - SDLK_0);
  return NamedKey(sdlKeycode);
}

}  // namespace platform
