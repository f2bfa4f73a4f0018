#include "app/vtLoopU.h"

#include <cmath>
#include <iterator>

#include "platform/Keys.h"
#include "runtime/vtSpeedsU.h"

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

void HandleTimeKeys(vtLoopTarget& target, vtKeyState& keys, bool paused) {
  namespace vk = platform::vk;
  if (TakeKey(keys, vk::Home)) target.SeekTo(0);
  if (TakeKey(keys, vk::End)) target.SeekTo(target.EndTime() - kEndLeadIn);
  if (TakeKey(keys, vk::Oem4)) target.SetLoopStart();
  if (TakeKey(keys, vk::Oem6)) target.SetLoopEnd();
  if (TakeKey(keys, vk::Back)) target.ClearLoop();
  if (TakeKey(keys, vk::OemMinus)) target.SetSpeed(NextSpeed(target.Speed(), -1));
  if (TakeKey(keys, vk::OemPlus)) target.SetSpeed(NextSpeed(target.Speed(), +1));
  // Frame steps only while paused; a press while playing is dropped.
  const bool back = TakeKey(keys, vk::OemComma), forward = TakeKey(keys, vk::OemPeriod);
  if (paused && back) target.SeekTo(target.Time() - kFrameStep);
  if (paused && forward) target.SeekTo(target.Time() + kFrameStep);
  if (TakeKey(keys, vk::F2)) target.ToggleOverlay();
}

// A press on the chart seeks there and starts a drag; while the button is
// held the drag follows the pointer, also off the chart's rows.
void HandleChartMouse(vtLoopTarget& target, vtMouseState& mouse) {
  const bool pressed = mouse.LeftPressed, moved = mouse.Moved;
  mouse.LeftPressed = mouse.Moved = false;
  if (!mouse.LeftDown && !pressed) mouse.Dragging = false;
  if (!target.TimelineShown()) {
    mouse.Dragging = false;
    return;
  }
  float ms = 0;
  const bool onChart = target.ChartTimeAt(mouse.X, mouse.Y, ms);
  if (pressed && onChart) {
    mouse.Dragging = mouse.LeftDown;
    target.SeekTo(ms);
  } else if (mouse.Dragging && moved) {
    target.SeekTo(ms);
  }
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

float NextSpeed(float current, int direction) {
  // The listed speed nearest to current, then one step.
  std::size_t at = 0;
  for (std::size_t i = 1; i < std::size(kSpeeds); ++i)
    if (std::abs(kSpeeds[i] - current) < std::abs(kSpeeds[at] - current)) at = i;
  if (direction < 0 && at > 0) --at;
  if (direction > 0 && at + 1 < std::size(kSpeeds)) ++at;
  return kSpeeds[at];
}

bool IdlePass(vtLoopTarget& target, const vtKeyState& down, vtKeyState& presses, bool active,
              bool& paused, vtMouseState* mouse) {
  bool escape = down[platform::vk::Escape] || presses[platform::vk::Escape];
  if ((active && !target.DrawFrame()) || escape) return true;
  target.SyncPaused(paused);
  const bool timeControl = target.CursorMode() || target.LiveMode();
  if (timeControl) HandleCursorKeys(target, presses);
  if (target.SpaceStop() || target.LiveMode()) HandleSpaceKey(target, presses, paused);
  if (timeControl) HandleTimeKeys(target, presses, paused);
  if (timeControl && mouse) HandleChartMouse(target, *mouse);
  target.SwapBuffers();
  return false;
}
