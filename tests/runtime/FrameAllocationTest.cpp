// A frame of the sample demo allocates nothing on the heap once every
// scene has been drawn once: the items draw from what loading built, and
// the debug title reuses its buffer. Allocations the GL driver makes for
// itself (compiling and caching its shaders) are not the engine's.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Title.h"
#include "runtime/vtDSysU.h"
#include "support/AllocCounter.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

// The counter tells the program's own allocations from the others; a
// string grown by the standard library on the program's behalf is its own.
TEST(AllocCounter, CountsTheProgramsOwnAllocations) {
  testsupport::NewCallCounter counter;
  auto number = std::make_unique<int>(7);
  std::string text(100, 'x');
  text.append(200, 'y');
  EXPECT_EQ(counter.OwnCalls(), 3u);
  EXPECT_EQ(counter.Calls(), 3u);
}

class FrameAllocations : public testsupport::DemoGlTest {
 protected:
  int Width() const override { return 160; }
  int Height() const override { return 120; }
  void SetUp() override {
    DemoGlTest::SetUp();
    ASSERT_TRUE(demo_.LoadScript("data\\tunnel_test.vds"));
    demo_.SetManualTime(0);
    demo_.Init();
    demo_.Music->Stop();
  }

  // Times in every scene, in the gaps between them and on the fades.
  static std::vector<float> Times() {
    std::vector<float> times;
    for (float t = 0; t <= 60000; t += 750) times.push_back(t);
    return times;
  }

  // The program's own allocations over frames at all Times(), after a first
  // round that lets the driver build what it caches.
  std::uint64_t AllocationsOverFrames() {
    const std::vector<float> times = Times();
    for (float t : times) DrawAt(t);
    testsupport::NewCallCounter counter;
    for (float t : times) DrawAt(t);
    return counter.OwnCalls();
  }

  void DrawAt(float ms) {
    demo_.SetManualTime(ms);
    demo_.DrawFrame();
  }

  testsupport::ChangeDir cd_{testsupport::SourceDir()};
  platform::MessageBoxRecorder boxes_;
  vtDemoSystem demo_;
};

TEST_F(FrameAllocations, FramesOfTheSampleDemoAllocateNothing) {
  ASSERT_EQ(demo_.Items.size(), 17u);
  EXPECT_EQ(AllocationsOverFrames(), 0u);
}

TEST_F(FrameAllocations, DebugTitleAndTimelineAllocateNothingOnceBuilt) {
  std::string title;
  platform::SetTitleSink([&](const std::string& text) { title = text; });
  demo_.DebugMode = true;
  demo_.ShowTimeline = true;
  title.reserve(96);
  EXPECT_EQ(AllocationsOverFrames(), 0u);
  platform::SetTitleSink(nullptr);
  EXPECT_NE(title.find("FRAME: 60000.00"), std::string::npos) << title;
}

}  // namespace
