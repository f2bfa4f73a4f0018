#include "app/vtLoopU.h"
#include "platform/Keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what an idle pass asks of the demo system, in order.
class RecordingTarget : public vtLoopTarget {
 public:
  bool cursorMode = false;
  bool spaceStop = false;
  bool demoOver = false;
  std::vector<std::string> calls;

  bool DrawFrame() override {
    calls.push_back("draw");
    return !demoOver;
  }
  bool CursorMode() const override { return cursorMode; }
  bool SpaceStop() const override { return spaceStop; }
  void SeekBackward(int step) override { calls.push_back("back " + std::to_string(step)); }
  void SeekForward(int step) override { calls.push_back("forward " + std::to_string(step)); }
  void ToggleTimeline() override { calls.push_back("timeline"); }
  void Pause() override { calls.push_back("pause"); }
  void Resume() override { calls.push_back("resume"); }
  void SwapBuffers() override { calls.push_back("swap"); }

  bool live = false;
  bool timelineShown = false;
  float time = 0;
  float speed = 1;
  bool LiveMode() const override { return live; }
  float Time() const override { return time; }
  float EndTime() const override { return 60000; }
  void SeekTo(float ms) override { calls.push_back("seek " + std::to_string(ms)); }
  float Speed() const override { return speed; }
  void SetSpeed(float rate) override { calls.push_back("speed " + std::to_string(rate)); }
  void SetLoopStart() override { calls.push_back("loop start"); }
  void SetLoopEnd() override { calls.push_back("loop end"); }
  void ClearLoop() override { calls.push_back("loop clear"); }
  void ToggleOverlay() override { calls.push_back("overlay"); }
  bool TimelineShown() const override { return timelineShown; }
  // The chart: x is the time (0..1 over 10 s), its rows are y < 0.5.
  bool ChartTimeAt(float fx, float fy, float& ms) const override {
    ms = fx * 10000;
    return fy < 0.5f;
  }
  // The demo's own pause when the test sets it (the studio page paused it).
  const bool* demoPaused = nullptr;
  void SyncPaused(bool& paused) const override {
    if (demoPaused) paused = *demoPaused;
  }
};

std::string Seek(float ms) { return "seek " + std::to_string(ms); }

using Calls = std::vector<std::string>;

class IdlePassTest : public ::testing::Test {
 protected:
  bool Pass(bool active = true) { return IdlePass(target, down, presses, active, paused, &mouse); }

  RecordingTarget target;
  vtKeyState down = {};
  vtKeyState presses = {};  // key-downs not acted on yet
  bool paused = false;
  vtMouseState mouse;
};

TEST_F(IdlePassTest, DrawsAndSwapsWhileTheDemoRuns) {
  EXPECT_FALSE(Pass());
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
}

TEST_F(IdlePassTest, EndsWithoutSwappingOnceTheDemoIsOver) {
  target.demoOver = true;
  EXPECT_TRUE(Pass());
  EXPECT_EQ(target.calls, (Calls{"draw"}));
}

TEST_F(IdlePassTest, MinimisedWindowDrawsNothingButStillSwaps) {
  target.demoOver = true;  // not even asked
  EXPECT_FALSE(Pass(false));
  EXPECT_EQ(target.calls, (Calls{"swap"}));
}

TEST_F(IdlePassTest, EscapeEndsTheLoopAlsoWhileMinimised) {
  down[0x1B] = true;
  EXPECT_TRUE(Pass(false));
  EXPECT_TRUE(target.calls.empty());
}

TEST_F(IdlePassTest, EscapeTappedBetweenTwoPassesEndsTheLoop) {
  presses[0x1B] = true;  // pressed and already released
  EXPECT_TRUE(Pass());
  EXPECT_EQ(target.calls, (Calls{"draw"}));
}

TEST_F(IdlePassTest, HeldKeysAloneDoNotStep) {
  target.cursorMode = target.spaceStop = true;
  down[0x25] = down[0x20] = down['I'] = true;  // their presses were acted on
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
}

TEST_F(IdlePassTest, CursorKeysSeekInTheirOrderOneStepPerKeyDown) {
  target.cursorMode = true;
  presses[0x25] = presses[0x26] = presses[0x27] = presses[0x28] = true;
  Pass();
  EXPECT_EQ(target.calls,
            (Calls{"draw", "back 100", "back 500", "forward 100", "forward 500", "swap"}));
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"})) << "flags are cleared after one step";
  presses[0x25] = true;  // an auto-repeated key-down sets the flag again
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "back 100", "swap"}));
}

TEST_F(IdlePassTest, TimelineKeysToggleOnceEvenWhenBothArePressed) {
  target.cursorMode = true;
  presses['I'] = presses[0x69] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "timeline", "swap"}));
  EXPECT_FALSE(presses['I']);
  EXPECT_FALSE(presses[0x69]);
  presses[0x69] = true;
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "timeline", "swap"}));
}

TEST_F(IdlePassTest, CursorKeysDoNothingWithoutCursorMode) {
  presses[0x25] = presses[0x26] = presses[0x27] = presses[0x28] = presses['I'] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
  EXPECT_TRUE(presses[0x25] && presses['I']) << "flags are left alone";
}

TEST_F(IdlePassTest, SpaceBarPausesThenResumes) {
  target.spaceStop = true;
  presses[0x20] = true;
  Pass();
  EXPECT_TRUE(paused);
  EXPECT_FALSE(presses[0x20]);
  presses[0x20] = true;
  Pass();
  EXPECT_FALSE(paused);
  EXPECT_EQ(target.calls, (Calls{"draw", "pause", "swap", "draw", "resume", "swap"}));
}

// Paused from elsewhere (the studio page), the next space resumes, and the
// frame steps work at once.
TEST_F(IdlePassTest, SpaceBarFollowsAPauseMadeElsewhere) {
  target.live = true;
  bool demoPaused = true;
  target.demoPaused = &demoPaused;
  presses[0x20] = true;
  Pass();
  EXPECT_FALSE(paused);
  demoPaused = false;
  presses[0xBE] = true;  // period: a frame step is dropped while playing
  Pass();
  demoPaused = true;
  presses[0xBE] = true;  // and taken while paused elsewhere
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "resume", "swap", "draw", "swap", "draw", Seek(kFrameStep), "swap"}));
}

TEST_F(IdlePassTest, SpaceBarDoesNothingWithoutSpaceStop) {
  target.cursorMode = true;
  presses[0x20] = true;
  Pass();
  EXPECT_FALSE(paused);
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
}

TEST_F(IdlePassTest, KeysAreHandledWhileMinimised) {
  target.cursorMode = target.spaceStop = true;
  presses[0x27] = presses[0x20] = true;
  Pass(false);
  EXPECT_EQ(target.calls, (Calls{"forward 100", "pause", "swap"}));
}

namespace vk = platform::vk;

TEST_F(IdlePassTest, TimeKeysWorkWithCursorModeOrLiveModeOnly) {
  const int keys[] = {vk::Home, vk::End, vk::Oem4, vk::Oem6, vk::Back, vk::OemMinus, vk::OemPlus, vk::F2};
  for (int key : keys) presses[key] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
  for (bool live : {false, true}) {
    target.cursorMode = !live;
    target.live = live;
    for (int key : keys) presses[key] = true;
    target.calls.clear();
    Pass();
    EXPECT_EQ(target.calls, (Calls{"draw", Seek(0), Seek(55000), "loop start", "loop end", "loop clear",
                                   "speed 0.500000", "speed 2.000000", "overlay", "swap"}));
  }
}

TEST_F(IdlePassTest, LiveModeAlsoEnablesThePartsKeys) {
  target.live = true;
  presses[vk::Left] = presses['I'] = presses[vk::Space] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "back 100", "timeline", "pause", "swap"}));
}

TEST_F(IdlePassTest, FrameStepsOnlyWhilePaused) {
  target.cursorMode = target.spaceStop = true;
  target.time = 1000;
  presses[vk::OemComma] = presses[vk::OemPeriod] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"})) << "dropped while playing";
  EXPECT_FALSE(presses[vk::OemComma]);
  presses[vk::Space] = presses[vk::OemComma] = presses[vk::OemPeriod] = true;
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "pause", Seek(1000 - kFrameStep), Seek(1000 + kFrameStep), "swap"}));
}

TEST(NextSpeed, StepsThroughTheListAndStopsAtItsEnds) {
  const struct {
    float from;
    int direction;
    float to;
  } cases[] = {{1, -1, 0.5f}, {0.5f, -1, 0.25f}, {0.25f, -1, 0.25f}, {1, 1, 2},
               {2, 1, 2},     {0.25f, 1, 0.5f}, {3, -1, 1},         {0.3f, 1, 0.5f}};
  for (const auto& c : cases) EXPECT_EQ(NextSpeed(c.from, c.direction), c.to) << c.from << " " << c.direction;
}

TEST_F(IdlePassTest, ClickAndDragOnTheShownChartSeek) {
  target.cursorMode = true;
  mouse.X = 0.25f;
  mouse.Y = 0.1f;
  mouse.LeftDown = mouse.LeftPressed = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"})) << "the chart is not shown";
  target.timelineShown = true;
  mouse.LeftPressed = true;
  target.calls.clear();
  Pass();
  mouse.X = 0.5f;
  mouse.Y = 0.9f;  // a drag follows the pointer off the rows
  mouse.Moved = true;
  Pass();
  Pass();  // no move, no seek
  mouse.LeftDown = false;
  mouse.X = 0.75f;
  mouse.Moved = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", Seek(2500), "swap", "draw", Seek(5000), "swap", "draw", "swap",
                                 "draw", "swap"}));
  mouse.LeftDown = mouse.LeftPressed = true;  // a press off the rows does nothing
  target.calls.clear();
  Pass();
  mouse.Moved = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap", "draw", "swap"}));
}

}  // namespace
