#include "runtime/vtLoadBarU.h"

#include <gtest/gtest.h>

#include <string>

#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "platform/Clock.h"
#include "platform/Present.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::GlTest;

class LoadBarTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    platform::SetTimeSource([this] { return now_; });
    platform::SetActiveWindow(nullptr, [this] { ++swaps_; });
    GlobalFunc->Begin2D(800, 600);
  }
  void TearDown() override {
    GlobalFunc->End2D();
    platform::SetActiveWindow(nullptr, nullptr);
    platform::SetTimeSource(nullptr);
  }
  std::uint32_t now_ = 1000;
  int swaps_ = 0;
};

TEST_F(LoadBarTest, ProgressCountsItemsAndTheShareOfTheFileRead) {
  vtLoadingBar bar;
  bar.Begin(4);
  EXPECT_FLOAT_EQ(bar.Progress(), 0.0f);
  bar.StartItem(2);
  bar.SetFileProgress(0.5);
  EXPECT_FLOAT_EQ(bar.Progress(), 2.5f / 4);
  bar.SetFileProgress(3.0);  // never past the item
  EXPECT_FLOAT_EQ(bar.Progress(), 3.0f / 4);
  bar.End();
}

TEST_F(LoadBarTest, PicturesAreShownAtMostTwentyTimesASecond) {
  vtLoadingBar bar;
  bar.Begin(100);  // the first picture at once
  EXPECT_EQ(swaps_, 1);
  for (int i = 1; i < 100; ++i) bar.StartItem(i);  // all within the same millisecond
  EXPECT_EQ(swaps_, 1);
  now_ += vtLoadingBar::kMinInterval;
  bar.StartItem(50);
  EXPECT_EQ(swaps_, 2);
  EXPECT_EQ(bar.Pictures(), 2u);
  bar.End();
}

TEST_F(LoadBarTest, DrawsTheShareDoneAndLeavesTheStateAsItWas) {
  glEnable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glColor4f(0.25f, 0.5f, 0.75f, 1);
  vtLoadingBar bar;
  bar.Begin(2);
  now_ += 100;
  bar.StartItem(1);  // half done: the bar is filled from x 200 to 400 of 800
  auto inside = Pixel(256 * 300 / 800, 256 * 300 / 600);
  auto outside = Pixel(256 * 500 / 800, 256 * 300 / 600);
  EXPECT_GT(inside[0], 150);
  EXPECT_EQ(outside[0], 0);
  bar.End();
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_FLOAT_EQ(GetFloat4(GL_CURRENT_COLOR)[2], 0.75f);
}

TEST_F(LoadBarTest, NothingIsDrawnIntoADisplayListBeingCompiled) {
  vtLoadingBar bar;
  bar.Begin(2);
  GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  now_ += 100;
  bar.StartItem(1);
  glEndList();
  EXPECT_EQ(swaps_, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glCallList(list);
  EXPECT_EQ(Pixel(128, 128)[0], 0);
  bar.End();
}

TEST_F(LoadBarTest, LongFilesReportProgressWhileTheyAreRead) {
  testsupport::TempDir dir;
  std::string line(99, 'x');
  std::string text;
  for (int i = 0; i < 30000; ++i) text += line + "\n";  // 3 MB: several blocks
  std::string path = dir.Write("big.vtt", text);
  vtLoadingBar bar;
  bar.Begin(1);
  vtText reader("vtt");
  ASSERT_TRUE(reader.Open(path));
  float seen = 0;
  while (!reader.Eof()) {
    reader.ReadLine();
    if (bar.Progress() > seen) {
      seen = bar.Progress();
      now_ += 100;
    }
  }
  EXPECT_FLOAT_EQ(bar.Progress(), 1.0f);
  EXPECT_GE(bar.Pictures(), 3u);
  bar.End();
  // Disconnected: reading no longer moves a bar.
  vtText again("vtt");
  ASSERT_TRUE(again.Open(path));
  while (!again.Eof()) again.ReadLine();
  EXPECT_FLOAT_EQ(bar.Progress(), 1.0f);
}

}  // namespace
