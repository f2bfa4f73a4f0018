#include "app/vtMainU.h"

#include "app/vtWindowU.h"
#include "platform/Clock.h"
#include "platform/Present.h"
#include "runtime/vtDSysU.h"

namespace {

// Keeps a minimised window from spinning a whole core.
constexpr std::uint32_t kMinimisedNapMs = 10;

// The demo system as the idle pass drives it.
class vtDemoLoopTarget : public vtLoopTarget {
 public:
  explicit vtDemoLoopTarget(vtDemoSystem& demo) : demo_(demo) {}
  bool DrawFrame() override { return demo_.DrawFrame(); }
  bool CursorMode() const override { return demo_.CursorMode; }
  bool SpaceStop() const override { return demo_.SpaceStop; }
  void SeekBackward(int step) override { demo_.SeekBackward(step); }
  void SeekForward(int step) override { demo_.SeekForward(step); }
  void ToggleTimeline() override { demo_.ShowTimeline = !demo_.ShowTimeline; }
  void Pause() override { demo_.Pause(); }
  void Resume() override { demo_.Resume(); }
  void SwapBuffers() override { platform::SwapWindowBuffers(); }

 private:
  vtDemoSystem& demo_;
};

}  // namespace

void RunMessageLoop(vtLoopTarget& target) {
  bool paused = false;
  bool done = false;
  while (!done) {
    platform::WindowEvent event;
    if (platform::PollWindowEvent(event)) {
      if (event.Kind == platform::WindowEventKind::Quit)
        done = true;
      else
        WindowProc(event);
      continue;
    }
    done = IdlePass(target, Keys, KeyPresses, Active, paused);
    if (!done && !Active) platform::SleepMilliseconds(kMinimisedNapMs);
  }
}

int RunProgram() {
  DemoSystem = std::make_unique<vtDemoSystem>();
  DemoSystem->LoadScript(kDemoScript);
  // The demo system has reported a malformed script; a half-read demo is
  // not worth a window.
  if (!DemoSystem->ScriptError.empty()) return 1;
  if (!OpenGlWindow(*DemoSystem->Config)) return FullScreenDeclined ? 0 : 1;
  ActivateGlWindow(*DemoSystem->Config);
  DemoSystem->Init();
  vtDemoLoopTarget target(*DemoSystem);
  RunMessageLoop(target);
  CloseGlWindow();
  return 0;
}
