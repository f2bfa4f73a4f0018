#include "runtime/vtBassU.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "platform/AudioDecoder.h"
#include "platform/MessageBox.h"
#include "support/AudioMedia.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::TempDir;

class vtBassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testsupport::ResetGlobals();  // WorkDir: the scratch folder
  }
  void TearDown() override { ::setenv("SDL_AUDIODRIVER", "dummy", 1); }

  void WriteTones(const std::string& name, int format, int rate, int channels, int frames) {
    ASSERT_TRUE(testsupport::WriteSound(dir_.File(name), format, rate, channels,
                                        testsupport::TestTones(frames, channels, rate)));
  }
  void WriteWav(const std::string& name, int frames = 44100 * 20) {
    WriteTones(name, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, frames);
  }
  static std::uint64_t WaitPast(const vtBass& music, std::uint64_t from) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::uint64_t pos = music.GetPosition();
    while (pos <= from && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      pos = music.GetPosition();
    }
    return pos;
  }

  TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
};

TEST_F(vtBassTest, LoadsMusicNamedRelativeToTheWorkingDirectory) {
  std::filesystem::create_directories(dir_.File("data"));
  WriteWav("data/My Song.wav");
  vtBass music;
  EXPECT_FALSE(music.Loaded);
  EXPECT_EQ(music.Stream, 0u);
  music.LoadMusic("DATA\\my song.WAV");  // blanks kept, letter case resolved
  EXPECT_TRUE(music.Loaded);
  EXPECT_NE(music.Stream, 0u);
  EXPECT_EQ(music.FileName, GlobalFunc->WorkDir + "\\DATA\\my song.WAV");
  EXPECT_FALSE(music.Timer);
  EXPECT_EQ(music.GetPosition(), 0u);
  EXPECT_DOUBLE_EQ(music.Bytes2Seconds(176400), 1.0);
  EXPECT_EQ(music.Seconds2Bytes(0.5), 88200u);
}

// Each decoder's formats are covered by the platform tests; here the
// player's conversions follow whichever stream it opened.
TEST_F(vtBassTest, ConvertsInTheFormatOfItsStream) {
  WriteTones("a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 4800);
  dir_.Write("a.mod", testsupport::TinyModule());
  vtBass music;
  music.LoadMusic("a.flac");
  ASSERT_TRUE(music.Loaded);
  EXPECT_DOUBLE_EQ(music.Bytes2Seconds(96000), 1.0);  // 48 kHz mono
  music.LoadMusic("a.mod");
  ASSERT_TRUE(music.Loaded);
  EXPECT_DOUBLE_EQ(music.Bytes2Seconds(176400), 1.0);  // modules render at 44.1 kHz stereo
}

TEST_F(vtBassTest, SeeksRefuseToLeaveTheMusic) {
  WriteWav("song.wav", 44100);  // one second
  vtBass music;
  music.LoadMusic("song.wav");
  ASSERT_TRUE(music.Loaded);
  music.SetPosition(music.Seconds2Bytes(0.25));
  EXPECT_EQ(music.GetPosition(), 44100u);
  // A backward seek before the start wraps around in unsigned bytes.
  music.SetPosition(music.GetPosition() - music.Seconds2Bytes(0.5));
  EXPECT_EQ(music.GetPosition(), 44100u);
  music.SetPosition(music.GetPosition() + music.Seconds2Bytes(1.0));  // past the end
  EXPECT_EQ(music.GetPosition(), 44100u);
  music.SetPosition(music.GetPosition() + music.Seconds2Bytes(0.75));  // exactly the end
  EXPECT_EQ(music.GetPosition(), 176400u);
}

TEST_F(vtBassTest, StopKeepsThePositionAndPlayContinues) {
  WriteWav("song.wav");
  vtBass music;
  music.LoadMusic("song.wav");
  ASSERT_TRUE(music.Loaded);
  music.Play();
  std::uint64_t last = WaitPast(music, 0);
  ASSERT_GT(last, 0u);
  music.Stop();
  std::uint64_t stopped = music.GetPosition();
  EXPECT_GE(stopped, last);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(music.GetPosition(), stopped);
  music.Stop();  // a second stop changes nothing
  EXPECT_EQ(music.GetPosition(), stopped);
  music.Play();
  EXPECT_GE(music.GetPosition(), stopped);
  EXPECT_GT(WaitPast(music, stopped), stopped);
}

// Silent, without a box, but saying why on stderr and in the log.
TEST_F(vtBassTest, MissingOrUndecodableMusicLeavesTheDemoSilent) {
  dir_.Write("noise.mp3", std::string(5000, 'x'));
  WriteWav("silence.wav", 0);
  std::filesystem::create_directories(dir_.File("data"));
  GlobalLog->Open();
  platform::MessageBoxRecorder boxes;
  vtBass music;
  const std::pair<const char*, const char*> cases[] = {
      {"missing.ogg", "there is no such file"},
      {"noise.mp3", "not a sound file or tracker module that plays"},
      {"silence.wav", "the file holds no sound"},
      {"", "it is a folder"},
  };
  for (const auto& [name, why] : cases) {
    SCOPED_TRACE(name);
    testing::internal::CaptureStderr();
    music.LoadMusic(name);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(music.Loaded);
    EXPECT_EQ(music.Stream, 0u);
    EXPECT_EQ(music.Named, name);
    EXPECT_EQ(music.Failure.rfind(why, 0), 0u) << music.Failure;
    const std::string line = std::string("the music \"") + name + "\" cannot be played: " + music.Failure;
    EXPECT_EQ(said, std::string(program_invocation_short_name) + ": " + line + "\n");
    EXPECT_NE(testsupport::ReadFileText(dir_.File("data/Vortane.log")).find("MSG : " + line + " IN : vtBass.LoadMusic"),
              std::string::npos);
  }
  EXPECT_TRUE(boxes.Calls().empty());
  music.Play();
  music.Stop();
  music.SetPosition(1000);
  EXPECT_EQ(music.GetPosition(), 0u);
}

TEST_F(vtBassTest, NoAudioDriverLeavesTheDemoSilent) {
  WriteWav("song.wav", 4410);
  ::setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  vtBass music;
  music.LoadMusic("song.wav");
  EXPECT_FALSE(music.Loaded);
  EXPECT_EQ(music.Stream, 0u);
  EXPECT_EQ(music.Failure.rfind("no audio output: ", 0), 0u) << music.Failure;
  music.Play();
  EXPECT_EQ(music.GetPosition(), 0u);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  music.LoadMusic("song.wav");  // a music that plays clears the failure
  EXPECT_TRUE(music.Loaded);
  EXPECT_EQ(music.Failure, "");
}

// Muted, no audio driver of the machine is needed: the music still runs
// the clock, and nothing is reported.
TEST_F(vtBassTest, MutedMusicPlaysIntoASilentOutput) {
  WriteWav("song.wav");
  ::setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  platform::MessageBoxRecorder boxes;
  vtBass music;
  music.SetMuted(true);
  music.LoadMusic("song.wav");
  ASSERT_TRUE(music.Loaded) << music.Failure;
  EXPECT_EQ(music.Failure, "");
  music.Play();
  EXPECT_GT(WaitPast(music, 0), 0u);
  EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(vtBassTest, SecondMusicReplacesTheFirst) {
  WriteWav("first.wav", 44100);
  WriteTones("second.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 22050);
  vtBass music;
  music.LoadMusic("first.wav");
  ASSERT_TRUE(music.Loaded);
  std::uint32_t first = music.Stream;
  music.SetPosition(4000);
  music.LoadMusic("second.wav");
  ASSERT_TRUE(music.Loaded);
  EXPECT_NE(music.Stream, first);
  EXPECT_EQ(music.FileName, GlobalFunc->WorkDir + "\\second.wav");
  EXPECT_EQ(music.GetPosition(), 0u);
  EXPECT_DOUBLE_EQ(music.Bytes2Seconds(44100), 1.0);

  music.LoadMusic("missing.wav");  // a failed load leaves no music at all
  EXPECT_FALSE(music.Loaded);
  EXPECT_EQ(music.Stream, 0u);
  EXPECT_EQ(music.GetPosition(), 0u);
}

// A decoder opened on another thread (a live reload) replaces the playing
// music whatever its format; the new one waits, stopped, at its start.
TEST_F(vtBassTest, MusicOpenedElsewhereReplacesThePlayingMusic) {
  WriteWav("first.wav");
  WriteWav("same.wav", 44100);
  WriteTones("other.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 22050);
  vtBass music;
  music.LoadMusic("first.wav");
  ASSERT_TRUE(music.Loaded);
  const struct {
    const char* name;
    double bytesPerSecond;
  } cases[] = {{"same.wav", 176400}, {"other.wav", 44100}, {"same.wav", 176400}};
  for (const auto& next : cases) {
    SCOPED_TRACE(next.name);
    music.Play();
    ASSERT_GT(WaitPast(music, 0), 0u);
    const std::uint32_t before = music.Stream;
    music.LoadMusic(next.name, platform::OpenAudioFile(dir_.File(next.name)), "");
    ASSERT_TRUE(music.Loaded) << music.Failure;
    EXPECT_NE(music.Stream, before);
    EXPECT_EQ(music.FileName, GlobalFunc->WorkDir + "\\" + next.name);
    EXPECT_FALSE(music.Playing());
    EXPECT_EQ(music.GetPosition(), 0u);
    EXPECT_EQ(music.LengthBytes(), static_cast<std::uint64_t>(next.bytesPerSecond));
    EXPECT_DOUBLE_EQ(music.Bytes2Seconds(static_cast<std::uint64_t>(next.bytesPerSecond)), 1.0);
  }
  music.LoadMusic("gone.wav", nullptr, "there is no such file");
  EXPECT_FALSE(music.Loaded);
  EXPECT_EQ(music.Failure, "there is no such file");
  EXPECT_EQ(music.GetPosition(), 0u);
}

TEST_F(vtBassTest, IdlePlayerDoesNothingAndDestroysCleanly) {
  auto music = std::make_unique<vtBass>();
  music->Play();
  music->Stop();
  EXPECT_EQ(music->GetPosition(), 0u);
  EXPECT_EQ(music->Bytes2Seconds(176400), 0.0);
  music.reset();

  WriteWav("song.wav", 44100);
  music = std::make_unique<vtBass>();
  music->LoadMusic("song.wav");
  music->Play();
  music.reset();  // while playing: the callback is gone before the stream
}

}  // namespace
