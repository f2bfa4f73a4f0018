// The music stream's end and its mute: what the demo clock relies on when
// music is shorter than the demo, and when no sound is to be heard.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Audio.h"
#include "support/AudioMedia.h"
#include "support/TestGlobals.h"

namespace {

using platform::AudioDevice;
using platform::AudioStream;

// Claims more frames than it gives, like a file cut short.
class ShortDecoder : public platform::AudioDecoder {
 public:
  int Rate() const override { return 8000; }
  int Channels() const override { return 1; }
  std::int64_t Frames() const override { return 1000; }
  std::size_t Read(std::int16_t* out, std::size_t frames) override {
    std::size_t n = std::min<std::size_t>(frames, static_cast<std::size_t>(std::max<std::int64_t>(0, 400 - next_)));
    std::fill(out, out + n, std::int16_t{1000});
    next_ += static_cast<std::int64_t>(n);
    return n;
  }
  bool Seek(std::int64_t frame) override {
    if (frame < 0 || frame > Frames()) return false;
    next_ = frame;
    return true;
  }

 private:
  std::int64_t next_ = 0;
};

class AudioEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    device_ = AudioDevice::Open();
    ASSERT_TRUE(device_);
  }
  std::unique_ptr<AudioStream> OpenTones(int frames) {
    tones_ = testsupport::TestTones(frames, 2, 44100);
    const std::string path = dir_.File("tones.wav");
    EXPECT_TRUE(testsupport::WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, tones_));
    return AudioStream::Open(*device_, path);
  }

  testsupport::TempDir dir_;
  std::unique_ptr<AudioDevice> device_;
  std::vector<std::int16_t> tones_;
};

TEST_F(AudioEndTest, AtTheEndOnceHeardThereUntilASeekBack) {
  auto stream = OpenTones(3000);
  ASSERT_TRUE(stream);
  EXPECT_FALSE(stream->AtEnd());
  stream->Play();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!stream->AtEnd() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_TRUE(stream->AtEnd()) << "the dummy device never played to the end";
  EXPECT_EQ(stream->Position(), stream->LengthBytes());
  stream->Stop();
  EXPECT_TRUE(stream->AtEnd());
  ASSERT_TRUE(stream->SetPosition(4 * 1000));
  EXPECT_FALSE(stream->AtEnd());
  ASSERT_TRUE(stream->SetPosition(stream->LengthBytes()));
  EXPECT_TRUE(stream->AtEnd()) << "stopped at the end, the next Play starts there";
}

TEST_F(AudioEndTest, AFileEndingBeforeItsLengthEndsWhereItRanDry) {
  auto stream = AudioStream::Open(*device_, std::make_unique<ShortDecoder>());
  ASSERT_TRUE(stream);
  std::vector<std::int16_t> out(300);
  stream->Render(out.data(), 300);
  EXPECT_FALSE(stream->AtEnd());
  stream->Render(out.data(), 300);  // 100 frames, then nothing
  EXPECT_EQ(out[99], 1000);
  EXPECT_EQ(out[100], 0);
  EXPECT_TRUE(stream->AtEnd());
  ASSERT_TRUE(stream->SetPosition(2 * 100));
  EXPECT_FALSE(stream->AtEnd());
}

TEST_F(AudioEndTest, MutedStreamIsSilentWhileItsPositionRuns) {
  auto stream = OpenTones(2000);
  ASSERT_TRUE(stream);
  stream->SetMuted(true);
  std::vector<std::int16_t> out(2 * 500, 7);
  stream->Render(out.data(), 500);
  EXPECT_EQ(out, std::vector<std::int16_t>(2 * 500, 0));
  EXPECT_EQ(stream->Position(), 500u * 4);
  stream->SetMuted(false);
  stream->Render(out.data(), 500);
  EXPECT_EQ(out, std::vector<std::int16_t>(tones_.begin() + 2 * 500, tones_.begin() + 2 * 1000));
}

}  // namespace
