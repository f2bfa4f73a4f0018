#include "app/vtLoopU.h"

#include "platform/Keys.h"

namespace {

// True (and the flag cleared) when the key was pressed since the last test.
bool TakeKey(vtKeyState& keys, int key) {
  if (!keys[key]) return false;
  keys[key] = false;
  return true;
}

void HandleCursorKeys(vtLoopTarget& target, vtKeyState& keys) {
  namespace vk = platform::vk;
  if (TakeKey(keys, vk::Left)) target.SeekBackward(kShortSeek);
  if (TakeKey(keys, vk::Down)) target.SeekBackward(kLongSeek);
  if (TakeKey(keys, vk::Right)) target.SeekForward(kShortSeek);
  if (TakeKey(keys, vk::Up)) target.SeekForward(kLongSeek);
  bool letterI = TakeKey(keys, 'I');
  bool numpad9 = TakeKey(keys, vk::Numpad9);
  if (letterI || numpad9) target.ToggleTimeline();
}

void HandleSpaceKey(vtLoopTarget& target, vtKeyState& keys, bool& paused) {
  if (!TakeKey(keys, platform::vk::Space)) return;
  paused = !paused;
  if (paused)
    target.Pause();
  else
    target.Resume();
}

}  // namespace

bool IdlePass(vtLoopTarget& target, const vtKeyState& down, vtKeyState& presses, bool active,
              bool& paused) {
  bool escape = down[platform::vk::Escape] || presses[platform::vk::Escape];
  if ((active && !target.DrawFrame()) || escape) return true;
  if (target.CursorMode()) HandleCursorKeys(target, presses);
  if (target.SpaceStop()) HandleSpaceKey(target, presses, paused);
  target.SwapBuffers();
  return false;
}
