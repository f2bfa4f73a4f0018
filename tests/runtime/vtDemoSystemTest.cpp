// The demo system's frames: line selection, local times, the clock with
// seeking and pausing, loading failures, the frame counter and the chart.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Title.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtFontU.h"
#include "support/AudioMedia.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

// Records every Render call; can fail its load like a malformed file.
class RecordingItem : public vtRenderItem {
 public:
  explicit RecordingItem(bool failLoad = false) : failLoad_(failLoad) { FileName = "/demo/item.vtt"; }
  std::vector<float> Rendered;
  int Loads = 0;
  void Render(float time) override { Rendered.push_back(time); }
  void LoadFromFile() override {
    ++Loads;
    if (failLoad_) throw vtConvertError("\"x\" is an invalid integer", "/demo/bad.vtt", 7);
  }

 private:
  bool failLoad_;
};

vtItemLine Line(float b, float e, vtType play, int mode = 0) {
  vtItemLine line;
  line.BeginTime = b;
  line.EndTime = e;
  line.PlayType = play;
  line.TimeMode = mode;
  return line;
}

TEST(LineLocalTimeTest, SpanEndsAreIncludedAndDirectionsCount) {
  float local = -1;
  EXPECT_TRUE(LineLocalTime(Line(1000, 3000, vt_PLAY), 1000, local));
  EXPECT_EQ(local, 0.0f);
  EXPECT_TRUE(LineLocalTime(Line(1000, 3000, vt_PLAY), 3000, local));
  EXPECT_EQ(local, 2000.0f);
  EXPECT_FALSE(LineLocalTime(Line(1000, 3000, vt_PLAY), 3000.5f, local));
  EXPECT_FALSE(LineLocalTime(Line(1000, 3000, vt_PLAY), 999.5f, local));
  EXPECT_TRUE(LineLocalTime(Line(1000, 3000, vt_UNPLAY), 1000, local));
  EXPECT_EQ(local, 2000.0f);
  EXPECT_TRUE(LineLocalTime(Line(1000, 3000, vt_UNPLAY), 3000, local));
  EXPECT_EQ(local, 0.0f);
  EXPECT_TRUE(LineLocalTime(Line(500, 500, vt_PLAY), 500, local));
  EXPECT_FALSE(LineLocalTime(Line(0, 0, vt_NONE), 0, local));
  EXPECT_FALSE(LineLocalTime(vtItemLine(), 0, local));
}

TEST(LineLocalTimeTest, TimeModeOneScalesByDemoTime) {
  float local = 0;
  EXPECT_TRUE(LineLocalTime(Line(10000, 30000, vt_PLAY, 1), 20000, local));
  EXPECT_FLOAT_EQ(local, 10000.0f);
  EXPECT_TRUE(LineLocalTime(Line(0, 30000, vt_PLAY, 1), 10000, local));
  EXPECT_FLOAT_EQ(local, 5000.0f);
  EXPECT_TRUE(LineLocalTime(Line(0, 30000, vt_PLAY, 2), 10000, local));
  EXPECT_FLOAT_EQ(local, 10000.0f);
}

// A fake system timer the test moves by hand.
class FakeTimer {
 public:
  FakeTimer() {
    platform::SetTimeSource([this] { return now; });
  }
  ~FakeTimer() { platform::SetTimeSource({}); }
  std::uint32_t now = 4000000000u;  // close to the wrap-around
};

class DemoSystemTest : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    testsupport::ResetGlobals();
    GlobalFont = std::make_unique<vtFont>();
    demo.Loaded = true;
    demo.DemoEndTime = 10000;
  }
  void TearDown() override { platform::SetTitleSink({}); }

  RecordingItem& Add(std::initializer_list<vtItemLine> lines, bool failLoad = false) {
    auto item = std::make_unique<RecordingItem>(failLoad);
    for (const auto& l : lines) item->Lines.push_back(std::make_unique<vtItemLine>(l));
    auto& ref = *item;
    demo.AddItem(std::move(item));
    return ref;
  }

  FakeTimer timer;
  platform::MessageBoxRecorder boxes;
  vtDemoSystem demo;
};

TEST_F(DemoSystemTest, FrameRendersEveryCoveringLineInOrder) {
  auto& a = Add({Line(0, 2000, vt_PLAY), Line(1000, 1500, vt_UNPLAY), Line(0, 5000, vt_NONE)});
  auto& b = Add({Line(1500, 1500, vt_PLAY)});
  demo.Init();
  timer.now += 1500;
  EXPECT_TRUE(demo.DrawFrame());
  EXPECT_EQ(demo.CurrentTime, 1500.0f);
  EXPECT_EQ(a.Rendered, (std::vector<float>{1500, 0}));
  EXPECT_EQ(b.Rendered, (std::vector<float>{0}));
}

TEST_F(DemoSystemTest, EndTimeIsStillDrawnAndThePassedOneEndsTheDemo) {
  auto& a = Add({Line(0, 20000, vt_PLAY)});
  demo.Init();
  demo.SetManualTime(10000);
  EXPECT_TRUE(demo.DrawFrame());
  demo.SetManualTime(10000.5f);
  EXPECT_FALSE(demo.DrawFrame());
  EXPECT_EQ(a.Rendered.size(), 1u);
}

TEST_F(DemoSystemTest, EmptyDemoDrawsNothingAndNeverEnds) {
  glClearColor(0, 0, 1, 1);  // the start-up clear colour still clears the black frame
  demo.Loaded = false;
  std::string title;
  platform::SetTitleSink([&](const std::string& t) { title = t; });
  demo.DebugMode = true;
  demo.Init();
  EXPECT_EQ(title, "no *.ds File");
  EXPECT_EQ(Pixel(5, 5)[2], 255);
  auto clear = GetFloat4(GL_COLOR_CLEAR_VALUE);
  EXPECT_EQ(clear[3], 0.0f);
  EXPECT_TRUE(demo.DrawFrame());
  EXPECT_EQ(demo.TimelineList, 0u);

  vtDemoSystem noItems;
  noItems.Loaded = true;
  noItems.DebugMode = true;
  noItems.Init();
  EXPECT_EQ(title, "not render items");
  noItems.Config->FullScreen = true;
  title.clear();
  noItems.Init();
  EXPECT_EQ(title, "");
}

TEST_F(DemoSystemTest, ItemWithMalformedFileIsReportedOnceAndNeverDrawn) {
  auto& good1 = Add({Line(0, 100, vt_PLAY)});
  auto& bad = Add({Line(0, 100, vt_PLAY)}, true);
  auto& good2 = Add({Line(0, 100, vt_PLAY)});
  demo.Init();
  EXPECT_EQ(good1.Loads + bad.Loads + good2.Loads, 3);
  EXPECT_TRUE(bad.LoadFailed);
  EXPECT_FALSE(good2.LoadFailed);
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, "VortaneF Panic");
  EXPECT_EQ(boxes.Calls()[0].Text, "\"x\" is an invalid integer\rFile: /demo/bad.vtt\rLINE: 7");
  demo.SetManualTime(50);
  demo.DrawFrame();
  EXPECT_TRUE(bad.Rendered.empty());
  EXPECT_EQ(good1.Rendered.size(), 1u);
  EXPECT_EQ(good2.Rendered.size(), 1u);
}

TEST_F(DemoSystemTest, LoadingTimeIsNoDemoTime) {
  Add({Line(0, 100, vt_PLAY)});
  timer.now = 123;
  demo.Init();
  EXPECT_EQ(demo.StartTick, 123u);
}

TEST_F(DemoSystemTest, SystemClockBackwardSeekStopsAtZero) {
  auto& a = Add({Line(0, 5000, vt_PLAY)});
  demo.Init();
  timer.now += 200;
  demo.DrawFrame();
  demo.SeekBackward(500);
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, -300.0f);
  EXPECT_EQ(a.Rendered.size(), 1u);  // lines beginning at 0 are not drawn at -300
  demo.SeekBackward(500);            // refused: the time is not above 0
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, -300.0f);
  timer.now += 1000;
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 700.0f);
}

TEST_F(DemoSystemTest, SystemClockForwardSeekStopsAtTheEnd) {
  Add({Line(0, 5000, vt_PLAY)});
  demo.Init();
  timer.now += 9800;
  demo.DrawFrame();
  demo.SeekForward(100);
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 9900.0f);
  demo.SeekForward(100);
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 10000.0f);
  demo.SeekForward(500);  // refused: the end is reached
  EXPECT_TRUE(demo.DrawFrame());
  EXPECT_EQ(demo.CurrentTime, 10000.0f);
}

TEST_F(DemoSystemTest, PauseHoldsTheTimeAndResumeContinues) {
  Add({Line(0, 10000, vt_PLAY)});
  demo.Init();
  timer.now += 5000;
  demo.DrawFrame();
  demo.Pause();
  EXPECT_FALSE(demo.Running);
  EXPECT_EQ(demo.PausedAt, 5000.0f);
  timer.now += 3000;
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5000.0f);
  demo.Pause();  // a second pause does not move the paused time
  EXPECT_EQ(demo.PausedAt, 5000.0f);
  demo.Resume();
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5000.0f);
  timer.now += 40;
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5040.0f);
}

TEST_F(DemoSystemTest, SeekWhilePausedMovesThePausedTime) {
  Add({Line(0, 10000, vt_PLAY)});
  demo.Init();
  timer.now += 5000;
  demo.DrawFrame();
  demo.Pause();
  demo.SeekForward(500);
  demo.SeekBackward(100);
  EXPECT_EQ(demo.CurrentTime, 5400.0f);
  timer.now += 777;
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5400.0f);
  demo.Resume();
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5400.0f);
}

TEST_F(DemoSystemTest, ManualClockSeeksAndPauses) {
  Add({Line(0, 10000, vt_PLAY)});
  demo.Init();
  demo.SetManualTime(2000);
  EXPECT_EQ(demo.ClockSource(), vtClockSource::Manual);
  demo.DrawFrame();
  demo.SeekForward(500);
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 2500.0f);
  demo.Pause();
  demo.SeekBackward(100);
  demo.Resume();
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 2400.0f);
}

TEST_F(DemoSystemTest, FrameCounterInTheTitle) {
  Add({Line(0, 10000, vt_PLAY)});
  demo.DebugMode = true;
  std::string title;
  platform::SetTitleSink([&](const std::string& t) { title = t; });
  demo.Init();
  timer.now += 250;
  demo.DrawFrame();
  EXPECT_EQ(title, "FPS: 0 FRAME: 250.00");  // no completed second yet
  timer.now += 500;
  demo.DrawFrame();
  timer.now += 600;
  demo.DrawFrame();
  EXPECT_EQ(title, "FPS: 2 FRAME: 1350.00");
}

TEST_F(DemoSystemTest, FrameStartsFromIdentityModelView) {
  Add({Line(0, 10000, vt_PLAY)});
  demo.Init();
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  demo.SetManualTime(10);
  demo.DrawFrame();
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX)[12], 0.0f);
}

// The demo with a music stream, held still (stopped) so that only the
// seeks move it.
class MusicClockTest : public DemoSystemTest {
 protected:
  void SetUp() override {
    DemoSystemTest::SetUp();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(testsupport::WriteSound(dir_.File("song.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1,
                                        testsupport::TestTones(22050 * 10, 1, 22050)));
    demo.Music->LoadMusic("song.wav");
    ASSERT_TRUE(demo.Music->Loaded);
    Add({Line(0, 10000, vt_PLAY)});
    demo.Init();
    demo.Music->Stop();
    demo.Music->SetPosition(demo.Music->Seconds2Bytes(5.0));
  }
  float MusicMs() const { return static_cast<float>(demo.Music->Bytes2Seconds(demo.Music->GetPosition()) * 1000); }

  testsupport::TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
};

TEST_F(MusicClockTest, SeeksMoveMusicAndClockTogether) {
  demo.Music->Timer = true;
  demo.DrawFrame();
  EXPECT_NEAR(demo.CurrentTime, 5000, 0.1);
  demo.SeekForward(500);
  demo.DrawFrame();
  EXPECT_NEAR(demo.CurrentTime, 5500, 0.1);
  demo.SeekBackward(100);
  demo.DrawFrame();
  EXPECT_NEAR(demo.CurrentTime, 5400, 0.1);
  demo.SeekBackward(9000);  // stops at the start of the music
  demo.DrawFrame();
  EXPECT_NEAR(demo.CurrentTime, 0, 0.1);
  demo.Pause();  // the music clock keeps running; the position holds it
  EXPECT_TRUE(demo.Running);
}

TEST_F(MusicClockTest, SystemClockSeeksMoveTheMusicByTheSameTime) {
  timer.now += 5000;
  demo.DrawFrame();
  demo.SeekForward(500);
  EXPECT_NEAR(MusicMs(), 5500, 0.1);
  demo.SeekBackward(100);
  EXPECT_NEAR(MusicMs(), 5400, 0.1);
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5400.0f);
  demo.Pause();
  demo.SeekForward(500);  // while paused: picture and music move together
  EXPECT_NEAR(MusicMs(), 5900, 0.1);
  EXPECT_EQ(demo.CurrentTime, 5900.0f);
  demo.Resume();
  demo.Music->Stop();
  demo.DrawFrame();
  EXPECT_EQ(demo.CurrentTime, 5900.0f);
  EXPECT_GE(MusicMs(), 5900.0f);
}

// The chart on a 1024 x 768 buffer, where one chart unit is one pixel.
class TimelineTest : public DemoSystemTest {
 protected:
  int Width() const override { return 1024; }
  int Height() const override { return 768; }
  bool IsRed(const testsupport::Rgba& p) const { return p[0] == 255 && p[1] == 0 && p[2] == 0; }
  bool RedInColumns(int x0, int x1, int y) const {
    for (int x = x0; x <= x1; ++x)
      if (IsRed(Pixel(x, y))) return true;
    return false;
  }
};

TEST_F(TimelineTest, ChartRowsMarkersCursorAndStateLeftBehind) {
  Add({Line(0, 5000, vt_PLAY)});                                // row 0: x 12..512, y 746..756
  Add({});                                                      // row 1: empty
  Add({Line(2500, 7500, vt_UNPLAY), Line(8000, 9000, vt_NONE)});  // row 2: y 726..736
  demo.ShowTimeline = true;
  demo.Init();
  ASSERT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  demo.SetManualTime(2500);  // cursor at x = 262
  glBlendFunc(GL_ONE, GL_ZERO);
  demo.DrawFrame();
  auto gray = Pixel(300, 750);
  EXPECT_EQ(gray[0], 128);
  EXPECT_EQ(gray[1], 128);
  EXPECT_EQ(Pixel(300, 740)[0], 0);   // the empty row
  EXPECT_EQ(Pixel(600, 730)[0], 128); // row 2
  EXPECT_EQ(Pixel(600, 750)[0], 0);
  auto green = Pixel(15, 752);  // marker at (x1 + 3, y2 + 6)
  EXPECT_EQ(green[1], 255);
  EXPECT_EQ(green[0], 0);
  EXPECT_TRUE(IsRed(Pixel(265, 732)));  // vt_UNPLAY marker at (265, 732)
  auto none = Pixel(815, 732);  // vt_NONE marker keeps black
  EXPECT_EQ(none[0] + none[1] + none[2], 0);
  EXPECT_TRUE(RedInColumns(261, 262, 740));  // the cursor spans the rows
  EXPECT_TRUE(RedInColumns(261, 262, 728));
  EXPECT_FALSE(RedInColumns(261, 262, 722));  // but not below the third row
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_FALSE(Enabled(GL_BLEND));
  EXPECT_EQ(GetFloat(GL_POINT_SIZE), 1.0f);
  auto colour = GetFloat4(GL_CURRENT_COLOR);
  EXPECT_EQ(colour[0], 1.0f);
  EXPECT_EQ(colour[1], 0.0f);
  EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 1);
  EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 1);
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TimelineTest, NonPositiveEndTimeScalesTheChartToTheLatestLine) {
  Add({Line(0, 2000, vt_PLAY)});
  demo.DemoEndTime = 0;
  demo.ShowTimeline = true;
  demo.Init();
  demo.SetManualTime(0);
  EXPECT_TRUE(demo.DrawFrame());
  EXPECT_EQ(Pixel(1000, 750)[0], 128);  // the line spans the whole chart
  EXPECT_TRUE(RedInColumns(11, 12, 750));
}

}  // namespace
