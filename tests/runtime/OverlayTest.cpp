// The time overlay: its texts, its frame-time ring, what it draws, the GL
// state it leaves and that it allocates nothing.
#include "runtime/vtOverlayU.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/vtFontU.h"
#include "support/AllocCounter.h"
#include "support/GlTest.h"

namespace {

TEST(FormatDemoTime, MinutesSecondsAndMilliseconds) {
  const struct {
    float ms;
    const char* text;
  } cases[] = {{0, "0:00.000"},        {1234.4f, "0:01.234"},    {59999.6f, "1:00.000"},
               {62345, "1:02.345"},    {4500000, "75:00.000"},   {-300, "-0:00.300"}};
  for (const auto& c : cases) {
    char out[24];
    EXPECT_STREQ(FormatDemoTime(c.ms, out, sizeof out), c.text) << c.ms;
  }
}

TEST(TimeOverlayText, StatusAndLoopLines) {
  vtTimeOverlay overlay;
  vtOverlayInfo info;
  info.TimeMs = 62345;
  EXPECT_STREQ(overlay.StatusLine(info), "1:02.345  1x");
  info.Speed = 0.25f;
  info.Paused = true;
  EXPECT_STREQ(overlay.StatusLine(info), "1:02.345  0.25x  paused");
  EXPECT_STREQ(overlay.LoopLine(info), "");
  info.Loop.HasStart = true;
  info.Loop.Start = 10000;
  EXPECT_STREQ(overlay.LoopLine(info), "loop 0:10.000 - -");
  info.Loop.HasEnd = true;
  info.Loop.End = 15000;
  EXPECT_STREQ(overlay.LoopLine(info), "loop 0:10.000 - 0:15.000");
  info.Loop.End = 5000;
  EXPECT_STREQ(overlay.LoopLine(info), "loop 0:10.000 - 0:05.000 (off: end before start)");
}

TEST(TimeOverlayText, KeepsTheLastFramesNewestFirst) {
  vtTimeOverlay overlay;
  for (int i = 0; i < 300; ++i) overlay.RecordFrameTime(static_cast<float>(i));
  EXPECT_EQ(overlay.FrameCount(), vtTimeOverlay::kFrames);
  EXPECT_EQ(overlay.FrameTime(0), 299.0f);
  EXPECT_EQ(overlay.FrameTime(vtTimeOverlay::kFrames - 1), 60.0f);
}

// On a 1024 x 768 buffer one overlay unit is one pixel.
class TimeOverlayDraw : public testsupport::DemoGlTest {
 protected:
  int Width() const override { return 1024; }
  int Height() const override { return 768; }
  void SetUp() override {
    DemoGlTest::SetUp();
    GlobalFont->Build(nullptr);
  }
};

TEST_F(TimeOverlayDraw, GraphBarsAndTextLeaveTheStateAsFound) {
  vtTimeOverlay overlay;
  for (int i = 0; i < 240; ++i) overlay.RecordFrameTime(i < 200 ? 10.0f : 40.0f);
  // Whatever the items left: lighting, texturing, depth test, blending, a colour.
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor3f(0.1f, 0.2f, 0.3f);
  glMatrixMode(GL_PROJECTION);
  vtOverlayInfo info;
  info.TimeMs = 1500;
  info.Paused = true;
  overlay.Draw(info);
  // Old frames (10 ms) are green bars 20 units high at the left; the newest
  // (40 ms) red ones 80 high at the right, both from y = 12.
  auto green = Pixel(20, 20);
  EXPECT_GT(green[1], 150);
  EXPECT_LT(green[0], 100);
  auto red = Pixel(12 + 360 - 5, 80);
  EXPECT_GT(red[0], 200);
  EXPECT_LT(red[1], 100);
  EXPECT_EQ(Pixel(20, 40)[1], 0) << "above a 10 ms bar: the dark backdrop";
  int white = 0;  // the text above the graph
  for (int y = 118; y < 190; ++y)
    for (int x = 12; x < 300; ++x)
      if (Pixel(x, y)[0] == 255 && Pixel(x, y)[1] == 255) ++white;
  EXPECT_GT(white, 100);

  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_TRUE(Enabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_BLEND_SRC), GL_ONE);
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
  auto colour = GetFloat4(GL_CURRENT_COLOR);
  EXPECT_FLOAT_EQ(colour[2], 0.3f);
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_PROJECTION);
  EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 1);
  EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 1);
  EXPECT_EQ(GetInt(GL_LIST_BASE), 0);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TimeOverlayDraw, DrawsWithoutAllocating) {
  vtTimeOverlay overlay;
  vtOverlayInfo info;
  info.Loop.HasStart = info.Loop.HasEnd = true;
  info.Loop.End = 65000;
  overlay.Draw(info);  // the driver builds what it caches
  testsupport::NewCallCounter counter;
  for (int i = 0; i < 50; ++i) {
    overlay.RecordFrameTime(16.0f + static_cast<float>(i));
    info.TimeMs = static_cast<float>(i) * 1234.5f;
    overlay.Draw(info);
  }
  EXPECT_EQ(counter.OwnCalls(), 0u);
}

}  // namespace
