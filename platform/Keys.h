// Keyboard codes as the player reads them: the Windows virtual-key codes
// the demo's keys were defined with (VK_ESCAPE 0x1B, VK_SPACE 0x20, the
// arrows 0x25..0x28, 'A'..'Z' 0x41.., the numeric keypad 0x60..0x69, ...).
#pragma once

#include <cstdint>

namespace platform {

namespace vk {
inline constexpr int Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10, Control = 0x11,
                     Menu = 0x12, Pause = 0x13, Capital = 0x14, Escape = 0x1B, Space = 0x20,
                     Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25, Up = 0x26,
                     Right = 0x27, Down = 0x28, Snapshot = 0x2C, Insert = 0x2D, Delete = 0x2E,
                     Numpad0 = 0x60, Numpad9 = 0x69, Multiply = 0x6A, Add = 0x6B, Subtract = 0x6D,
                     Decimal = 0x6E, Divide = 0x6F, F1 = 0x70, F2 = 0x71, F24 = 0x87, NumLock = 0x90,
                     Scroll = 0x91, OemPlus = 0xBB, OemComma = 0xBC, OemMinus = 0xBD,
                     OemPeriod = 0xBE, Oem4 = 0xDB /* [ */, Oem6 = 0xDD /* ] */;
}  // namespace vk

// The virtual-key code of an SDL key event (its SDL_Keycode and
// SDL_Scancode), or 0 for a key the player has no code for. Letters and
// digits follow the keyboard layout (the keycode); keypad keys follow the
// physical key (the scancode), so keypad 9 is VK_NUMPAD9 (0x69).
int VirtualKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode);

}  // namespace platform
