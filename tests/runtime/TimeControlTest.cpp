// The authors' time control on the demo system: the absolute seek, the loop
// span, the whole-demo loop, speeds, the chart's time under the pointer,
// and music shorter than the demo.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdint>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "support/AudioMedia.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

class RecordingItem : public vtRenderItem {
 public:
  std::vector<float> Rendered;
  void Render(float time) override { Rendered.push_back(time); }
  void LoadFromFile() override {}
};

class FakeTimer {
 public:
  FakeTimer() {
    platform::SetTimeSource([this] { return now; });
  }
  ~FakeTimer() { platform::SetTimeSource({}); }
  std::uint32_t now = 4294960000u;  // the timer wraps during the tests
};

class TimeControlTest : public testsupport::DemoGlTest {
 protected:
  void SetUp() override {
    DemoGlTest::SetUp();
    demo.Loaded = true;
    demo.DemoEndTime = 10000;
    auto recorded = std::make_unique<RecordingItem>();
    vtItemLine line;
    line.BeginTime = 0;
    line.EndTime = 10000;
    line.PlayType = vt_PLAY;
    recorded->Lines.push_back(std::make_unique<vtItemLine>(line));
    item = recorded.get();
    demo.AddItem(std::move(recorded));
  }
  float Frame() {
    EXPECT_TRUE(demo.DrawFrame());
    return demo.CurrentTime;
  }

  FakeTimer timer;
  platform::MessageBoxRecorder boxes;
  vtDemoSystem demo;
  RecordingItem* item = nullptr;
};

TEST_F(TimeControlTest, SeekToClampsToTheDemoAndTheClockRunsOnFromThere) {
  demo.Init();
  timer.now += 1000;
  EXPECT_EQ(Frame(), 1000.0f);
  demo.SeekTo(4000);
  EXPECT_EQ(demo.CurrentTime, 4000.0f);
  EXPECT_EQ(Frame(), 4000.0f);
  EXPECT_EQ(item->Rendered.back(), 4000.0f);
  timer.now += 250;
  EXPECT_EQ(Frame(), 4250.0f);
  demo.SeekTo(-500);
  EXPECT_EQ(Frame(), 0.0f);
  demo.SeekTo(20000);
  EXPECT_EQ(Frame(), 10000.0f);  // the end time is still drawn
  timer.now += 1;
  EXPECT_FALSE(demo.DrawFrame());
}

TEST_F(TimeControlTest, SeekToWhilePausedMovesThePausedTime) {
  demo.Init();
  timer.now += 5000;
  Frame();
  demo.Pause();
  demo.SeekTo(2000);
  demo.SeekTo(2000 + 1000.0f / 60);  // a frame step
  timer.now += 3000;
  EXPECT_FLOAT_EQ(Frame(), 2016.6667f);
  demo.Resume();
  timer.now += 100;
  EXPECT_NEAR(Frame(), 2116.6667f, 1);
}

TEST_F(TimeControlTest, LoopSpanWrapsPlaybackButNotASeek) {
  demo.Init();
  demo.SetLoopStart(2000);
  demo.SetLoopEnd(3000);
  ASSERT_TRUE(demo.Loop().Active());
  demo.SeekTo(2900);
  Frame();
  timer.now += 200;
  EXPECT_EQ(Frame(), 2000.0f);
  EXPECT_EQ(item->Rendered.back(), 2000.0f);
  timer.now += 100;
  EXPECT_EQ(Frame(), 2100.0f);
  demo.SeekTo(5000);  // a seek past the span plays on
  EXPECT_EQ(Frame(), 5000.0f);
  timer.now += 100;
  EXPECT_EQ(Frame(), 5100.0f);

  demo.SetLoopStart(6000);  // an end before the start is no loop
  ASSERT_FALSE(demo.Loop().Active());
  demo.SeekTo(2900);
  timer.now += 200;
  EXPECT_EQ(Frame(), 3100.0f);
  demo.ClearLoop();
  EXPECT_FALSE(demo.Loop().HasStart || demo.Loop().HasEnd);
}

TEST_F(TimeControlTest, LoopDemoStartsAgainAtZeroInsteadOfEnding) {
  demo.LoopDemo = true;
  demo.Init();
  timer.now += 10001;
  EXPECT_EQ(Frame(), 0.0f);
  timer.now += 500;
  EXPECT_EQ(Frame(), 500.0f);
  demo.SeekTo(9900);
  timer.now += 150;
  EXPECT_EQ(Frame(), 0.0f);
}

TEST_F(TimeControlTest, SpeedRunsTheTimerAtItsRate) {
  demo.Init();
  demo.SeekTo(1000);
  demo.SetSpeed(2);
  EXPECT_EQ(demo.Speed(), 2.0f);
  timer.now += 1000;
  EXPECT_EQ(Frame(), 3000.0f);
  demo.SetSpeed(0.25f);
  timer.now += 1000;
  EXPECT_EQ(Frame(), 3250.0f);
  demo.SetSpeed(0);  // ignored
  demo.SetSpeed(-1);
  EXPECT_EQ(demo.Speed(), 0.25f);
  demo.SetSpeed(1);
  timer.now += 100;
  EXPECT_EQ(Frame(), 3350.0f);
  demo.SeekBackward(100);  // the relative seeks keep working at 1x
  EXPECT_EQ(Frame(), 3250.0f);
  demo.Pause();
  demo.SetSpeed(0.5f);
  timer.now += 1000;
  EXPECT_EQ(Frame(), 3250.0f);
  demo.SeekForward(500);  // and at other speeds
  demo.Resume();
  timer.now += 1000;
  EXPECT_EQ(Frame(), 4250.0f);
}

TEST_F(TimeControlTest, ManualClockSeeksAndIgnoresTheSpeed) {
  demo.Init();
  demo.SetManualTime(100);
  demo.SetSpeed(2);
  demo.SeekTo(3000);
  EXPECT_EQ(Frame(), 3000.0f);
  timer.now += 1000;
  EXPECT_EQ(Frame(), 3000.0f);
}

TEST_F(TimeControlTest, ChartTimeUnderThePointer) {
  demo.AddItem(std::make_unique<RecordingItem>());
  demo.AddItem(std::make_unique<RecordingItem>());  // rows from 756 down to 726
  const struct {
    float x, y;  // chart units, origin bottom left
    bool onChart;
    float ms;
  } cases[] = {
      {262, 750, true, 2500}, {12, 756, true, 0},      {1012, 727, true, 10000},
      {262, 720, false, 2500}, {262, 760, false, 2500}, {5, 750, false, 0},
      {1020, 750, false, 10000},
  };
  for (const auto& c : cases) {
    float ms = -1;
    EXPECT_EQ(demo.ChartTimeAt(c.x / 1024, 1 - c.y / 768, ms), c.onChart) << c.x << "," << c.y;
    EXPECT_NEAR(ms, c.ms, 0.5) << c.x << "," << c.y;
  }
}

// The demo with music, held still (stopped) after Init so that only the
// controls move it.
class MusicTimeControlTest : public TimeControlTest {
 protected:
  void Load(int seconds, bool musicClock) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(testsupport::WriteSound(dir_.File("song.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1,
                                        testsupport::TestTones(22050 * seconds, 1, 22050)));
    demo.Music->LoadMusic("song.wav");
    ASSERT_TRUE(demo.Music->Loaded);
    demo.Music->Timer = musicClock;
    demo.Init();
    demo.Music->Stop();
  }
  float MusicMs() const { return static_cast<float>(demo.Music->Bytes2Seconds(demo.Music->GetPosition()) * 1000); }
  // Stops music the control started and says where it stands.
  float StopMusic() {
    EXPECT_TRUE(demo.Music->Playing());
    demo.Music->Stop();
    return MusicMs();
  }
  void SpeedRoundTrip(bool musicClock);

  testsupport::TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
};

TEST_F(MusicTimeControlTest, SeekToMovesTheMusicWithEitherClock) {
  Load(10, false);
  timer.now += 5000;
  Frame();
  demo.SeekTo(2000);
  EXPECT_NEAR(MusicMs(), 2000, 0.1);
  EXPECT_EQ(Frame(), 2000.0f);
  demo.Music->Timer = true;  // the music clock
  demo.SeekTo(7000);
  EXPECT_NEAR(Frame(), 7000, 0.1);
  demo.SeekTo(-1);
  EXPECT_NEAR(Frame(), 0, 0.1);
  demo.Pause();
  demo.SeekTo(3000 + 1000.0f / 60);
  EXPECT_NEAR(Frame(), 3016.667, 0.1);
  EXPECT_FALSE(demo.Music->Playing());
}

TEST_F(MusicTimeControlTest, LoopWrapMovesTheMusic) {
  Load(10, false);
  demo.SetLoopStart(2000);
  demo.SetLoopEnd(3000);
  demo.SeekTo(2900);
  Frame();
  timer.now += 200;
  EXPECT_EQ(Frame(), 2000.0f);
  EXPECT_NEAR(MusicMs(), 2000, 0.1);
}

// At 2x the music is silent and the timer runs the time; back at 1x the
// music plays from the demo time (and is the clock again on the music clock).
void MusicTimeControlTest::SpeedRoundTrip(bool musicClock) {
  Load(10, musicClock);
  demo.SeekTo(2000);
  EXPECT_NEAR(Frame(), 2000, 0.1);
  demo.Music->Play();
  demo.SetSpeed(2);
  EXPECT_FALSE(demo.Music->Playing());
  timer.now += 1000;
  EXPECT_NEAR(Frame(), 4000, 0.1);
  demo.SetSpeed(1);
  const float music = StopMusic();
  EXPECT_GE(music, 3999.9f);
  EXPECT_LT(music, 6000.0f);
  if (musicClock) {
    EXPECT_NEAR(Frame(), music, 0.1) << "the music is the clock again";
  } else {
    EXPECT_NEAR(Frame(), 4000, 0.1);
  }
}

TEST_F(MusicTimeControlTest, OtherSpeedsSilenceTheMusicWhichResumesAtOne) { SpeedRoundTrip(false); }
TEST_F(MusicTimeControlTest, OtherSpeedsLeaveTheMusicClockWhichResumesAtOne) { SpeedRoundTrip(true); }

TEST_F(MusicTimeControlTest, MusicShorterThanTheDemoGoesOnOnTheTimerAndEnds) {
  Load(4, true);
  demo.Music->SetPosition(demo.Music->LengthBytes());  // heard to its end
  EXPECT_NEAR(Frame(), 4000, 0.1);
  timer.now += 3000;
  EXPECT_NEAR(Frame(), 7000, 0.1);
  demo.SeekBackward(500);
  EXPECT_NEAR(Frame(), 6500, 0.1);
  demo.Pause();
  timer.now += 2000;
  EXPECT_NEAR(Frame(), 6500, 0.1);
  demo.Resume();
  timer.now += 3500;
  EXPECT_NEAR(Frame(), 10000, 0.1);
  timer.now += 1;
  EXPECT_FALSE(demo.DrawFrame()) << "the player ends at its end time";
}

TEST_F(MusicTimeControlTest, ABackwardSeekFromPastTheMusicReturnsToTheMusicClock) {
  Load(4, true);
  demo.SeekForward(500);
  demo.SeekTo(3800);
  demo.SeekForward(500);  // past the music's end: the demo goes on
  EXPECT_NEAR(Frame(), 4300, 0.1);
  timer.now += 1700;
  EXPECT_NEAR(Frame(), 6000, 0.1);
  demo.SeekBackward(2500);
  const float music = StopMusic();
  EXPECT_GE(music, 3499.9f);
  EXPECT_LT(music, 4000.0f);
  EXPECT_NEAR(Frame(), music, 0.1);
  timer.now += 1000;  // the timer no longer moves the time
  EXPECT_NEAR(Frame(), music, 0.1);

  // Paused past the end, a seek back stays paused on the music clock.
  demo.SeekTo(8000);
  demo.Pause();
  demo.SeekTo(1000);
  EXPECT_FALSE(demo.Music->Playing());
  timer.now += 1000;
  EXPECT_NEAR(Frame(), 1000, 0.1);
  demo.Resume();
  EXPECT_TRUE(demo.Music->Playing());
  demo.Music->Stop();
}

}  // namespace
