#include "app/vtLoopU.h"

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
};

using Calls = std::vector<std::string>;

class IdlePassTest : public ::testing::Test {
 protected:
  bool Pass(bool active = true) { return IdlePass(target, down, presses, active, paused); }

  RecordingTarget target;
  vtKeyState down = {};
  vtKeyState presses = {};  // key-downs not acted on yet
  bool paused = false;
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

}  // namespace
