#include "app/vtMainU.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/vtWindowU.h"
#include "live/vtLiveU.h"
#include "platform/Clock.h"
#include "platform/DisplayLoss.h"
#include "platform/Present.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtOverlayU.h"
#include "studio/vtStudioU.h"

namespace {

// Keeps a minimised window from spinning a whole core.
constexpr std::uint32_t kMinimisedNapMs = 10;

// The demo system as the idle pass drives it, with the time overlay drawn
// over its frames. In live mode the session reloads what changed before
// the frame and draws its console over everything. The studio (when there
// is one) steers the demo before each frame and is told its state after it.
class vtDemoLoopTarget : public vtLoopTarget {
 public:
  vtDemoLoopTarget(vtDemoSystem& demo, vtLiveSession* session, vtStudio* studio)
      : demo_(demo), session_(session), studio_(studio) {}
  bool DrawFrame() override {
    RecordFrameTime();
    const std::uint32_t now = platform::TimeGetTime();
    if (studio_) studio_->BeforeFrame();
    if (session_) session_->BeforeFrame(now);
    if (!demo_.DrawFrame()) return false;
    if (overlayShown_) overlay_.Draw({demo_.CurrentTime, demo_.Speed(), demo_.Loop(), demo_.Paused()});
    if (session_) {
      session_->Console().SetBottom(overlayShown_ ? vtTimeOverlay::TopInPixels() : 0);  // one corner, both
      session_->AfterFrame(now);
    }
    if (studio_) studio_->AfterFrame();
    return true;
  }
  bool CursorMode() const override { return demo_.CursorMode; }
  bool SpaceStop() const override { return demo_.SpaceStop; }
  void SeekBackward(int step) override { demo_.SeekBackward(step); }
  void SeekForward(int step) override { demo_.SeekForward(step); }
  void ToggleTimeline() override { demo_.ShowTimeline = !demo_.ShowTimeline; }
  void Pause() override { demo_.Pause(); }
  void Resume() override { demo_.Resume(); }
  void SwapBuffers() override { platform::SwapWindowBuffers(); }

  bool LiveMode() const override { return session_ != nullptr; }
  float Time() const override { return demo_.CurrentTime; }
  float EndTime() const override { return demo_.DemoEndTime; }
  void SeekTo(float ms) override { demo_.SeekTo(ms); }
  float Speed() const override { return demo_.Speed(); }
  void SetSpeed(float rate) override { demo_.SetSpeed(rate); }
  void SetLoopStart() override { demo_.SetLoopStart(demo_.CurrentTime); }
  void SetLoopEnd() override { demo_.SetLoopEnd(demo_.CurrentTime); }
  void ClearLoop() override { demo_.ClearLoop(); }
  void ToggleOverlay() override { overlayShown_ = !overlayShown_; }
  bool TimelineShown() const override { return demo_.ShowTimeline; }
  bool ChartTimeAt(float fx, float fy, float& ms) const override { return demo_.ChartTimeAt(fx, fy, ms); }
  void SyncPaused(bool& paused) const override { paused = demo_.Paused(); }

 private:
  // The time from the previous frame's start to this one's: drawing, the
  // overlay and the swap (with its wait for the display).
  void RecordFrameTime() {
    const auto now = std::chrono::steady_clock::now();
    if (haveLastFrame_)
      overlay_.RecordFrameTime(std::chrono::duration<float, std::milli>(now - lastFrame_).count());
    lastFrame_ = now;
    haveLastFrame_ = true;
  }

  vtDemoSystem& demo_;
  vtLiveSession* session_;
  vtStudio* studio_;
  bool overlayShown_ = false;
  vtTimeOverlay overlay_;
  std::chrono::steady_clock::time_point lastFrame_;
  bool haveLastFrame_ = false;
};

// The player's messages go to the studio from the script on, also those
// of loading; a reload reaches it once the studio serves.
void FollowMessages(vtLiveSession& live, vtStudio& studio) {
  studio.SetFindings(&live.Findings());
  live.Console().SetObserver([&studio](const vtConsoleMessage& message) {
    studio.PostMessage(message.Kind, message.Caption, message.Text, message.DemoTime);
  });
}

// The studio on the options' port, its address on standard output. A port
// that cannot be bound is a message; the demo plays on without the studio.
bool StartStudio(vtStudio& studio, int port) {
  std::string error;
  if (!studio.Start(port, error)) {
    if (GlobalFunc) GlobalFunc->ShowWarning(error + "; the demo plays without it.");
    return false;
  }
  std::printf("studio: %s\n", studio.Url().c_str());
  std::fflush(stdout);
  return true;
}

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
    done = IdlePass(target, Keys, KeyPresses, Active, paused, &Mouse);
    if (!done && !Active) platform::SleepMilliseconds(kMinimisedNapMs);
  }
}

int RunProgram(const vtPlayerOptions& options) {
  DemoSystem = std::make_unique<vtDemoSystem>();
  DemoSystem->Music->SetMuted(options.Mute);
  // Live, messages become lines on the picture from the script on.
  std::unique_ptr<vtLiveSession> live;
  if (options.Live) live = std::make_unique<vtLiveSession>(*DemoSystem, kDemoScript);
  std::unique_ptr<vtStudio> studio;  // --studio implies --live
  if (options.Studio && live) {
    studio = std::make_unique<vtStudio>(*DemoSystem);
    FollowMessages(*live, *studio);
  }
  DemoSystem->LoadScript(kDemoScript);
  // The demo system has reported a malformed script; a half-read demo is
  // not worth a window (live, the window waits for the script's repair).
  if (!DemoSystem->ScriptError.empty() && !live) return 1;
  ApplyWindowOptions(options, *DemoSystem);
  DemoSystem->LoopDemo = options.Loop;
  if (!OpenGlWindow(*DemoSystem->Config)) return FullScreenDeclined ? 0 : 1;
  if (!options.VerticalSync) platform::RequestVerticalSync(false);
  ActivateGlWindow(*DemoSystem->Config);
  DemoSystem->Init();
  if (options.StartMs > 0) DemoSystem->SeekTo(options.StartMs);
  if (live) {
    live->Reloads().SetResizeWindow(ResizeGlWindow);
    live->Start();
  }
  if (studio && StartStudio(*studio, options.Port)) {
    live->Reloads().SetObserver([s = studio.get()](const vtReloadEvent& event) { s->Reloaded(event); });
    studio->SetReloads(&live->Reloads());
  } else if (studio) {
    live->Console().SetObserver(nullptr);
    studio.reset();
  }
  vtDemoLoopTarget target(*DemoSystem, live.get(), studio.get());
  RunMessageLoop(target);
  platform::MarkEnding();  // the display may go away meanwhile (a session ending)
  if (studio) studio->SetReloads(nullptr);
  live.reset();  // its font lists go while the context is there (before the studio it tells)
  if (studio) studio->Stop();  // its streams end, its threads are joined, the port closes
  // The demo's display lists and textures go while the context is there.
  DemoSystem.reset();
  CloseGlWindow();
  return 0;
}
