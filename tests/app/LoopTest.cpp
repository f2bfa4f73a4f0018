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
  bool Pass(bool active = true) { return IdlePass(target, keys, active, paused); }

  RecordingTarget target;
  vtKeyState keys = {};
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
  keys[0x1B] = true;
  EXPECT_TRUE(Pass(false));
  EXPECT_TRUE(target.calls.empty());
  EXPECT_TRUE(keys[0x1B]) << "Escape is held, not consumed";
}

TEST_F(IdlePassTest, CursorKeysSeekInTheirOrderOneStepPerKeyDown) {
  target.cursorMode = true;
  keys[0x25] = keys[0x26] = keys[0x27] = keys[0x28] = true;
  Pass();
  EXPECT_EQ(target.calls,
            (Calls{"draw", "back 100", "back 500", "forward 100", "forward 500", "swap"}));
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"})) << "flags are cleared after one step";
  keys[0x25] = true;  // an auto-repeated key-down sets the flag again
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "back 100", "swap"}));
}

TEST_F(IdlePassTest, TimelineKeysToggleOnceEvenWhenBothArePressed) {
  target.cursorMode = true;
  keys['I'] = keys[0x69] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "timeline", "swap"}));
  EXPECT_FALSE(keys['I']);
  EXPECT_FALSE(keys[0x69]);
  keys[0x69] = true;
  target.calls.clear();
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "timeline", "swap"}));
}

TEST_F(IdlePassTest, CursorKeysDoNothingWithoutCursorMode) {
  keys[0x25] = keys[0x26] = keys[0x27] = keys[0x28] = keys['I'] = true;
  Pass();
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
  EXPECT_TRUE(keys[0x25] && keys['I']) << "flags are left alone";
}

TEST_F(IdlePassTest, SpaceBarPausesThenResumes) {
  target.spaceStop = true;
  keys[0x20] = true;
  Pass();
  EXPECT_TRUE(paused);
  EXPECT_FALSE(keys[0x20]);
  keys[0x20] = true;
  Pass();
  EXPECT_FALSE(paused);
  EXPECT_EQ(target.calls, (Calls{"draw", "pause", "swap", "draw", "resume", "swap"}));
}

TEST_F(IdlePassTest, SpaceBarDoesNothingWithoutSpaceStop) {
  target.cursorMode = true;
  keys[0x20] = true;
  Pass();
  EXPECT_FALSE(paused);
  EXPECT_EQ(target.calls, (Calls{"draw", "swap"}));
}

TEST_F(IdlePassTest, KeysAreHandledWhileMinimised) {
  target.cursorMode = target.spaceStop = true;
  keys[0x27] = keys[0x20] = true;
  Pass(false);
  EXPECT_EQ(target.calls, (Calls{"forward 100", "pause", "swap"}));
}

}  // namespace
