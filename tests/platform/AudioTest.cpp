#include "platform/Audio.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "support/AudioMedia.h"
#include "support/TestGlobals.h"

namespace {

using platform::AudioDecoder;
using platform::AudioDevice;
using platform::AudioPlayhead;
using platform::AudioStream;
using testsupport::TempDir;

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrames = kRate / 2;

std::vector<std::int16_t> ReadFrames(AudioDecoder& decoder, std::int64_t frames) {
  std::vector<std::int16_t> out(static_cast<size_t>(frames) * decoder.Channels());
  out.resize(decoder.Read(out.data(), static_cast<size_t>(frames)) * decoder.Channels());
  return out;
}

std::vector<std::int16_t> Slice(const std::vector<std::int16_t>& all, std::int64_t frame,
                                std::int64_t frames, int channels) {
  auto begin = all.begin() + frame * channels;
  return {begin, begin + frames * channels};
}

// --- The playhead, on a clock the test drives ----------------------------

using Clock = AudioPlayhead::Clock;
constexpr std::int64_t kBuffer = 1024;

Clock::time_point At(double seconds) {
  return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}
double Buffers(double n) { return n * kBuffer / kRate; }

TEST(AudioPlayhead, RunsOnTheClockBehindTheDeliveredBuffer) {
  AudioPlayhead head(kRate, kBuffer);
  head.Restart(5000, At(0));
  EXPECT_EQ(head.Estimate(At(1)), 5000);  // nothing delivered yet: stands at the start
  head.Delivered(5000 + kBuffer, At(1));  // the first buffer is ahead of the speaker
  EXPECT_EQ(head.Estimate(At(1)), 5000);
  EXPECT_NEAR(head.Estimate(At(1 + Buffers(0.5))), 5000 + kBuffer / 2, 1);
  // A late callback: the estimate waits at what was delivered.
  EXPECT_EQ(head.Estimate(At(1 + Buffers(3))), 5000 + kBuffer);
  head.Delivered(5000 + 2 * kBuffer, At(1 + Buffers(3)));
  EXPECT_EQ(head.Estimate(At(1 + Buffers(3))), 5000 + kBuffer);
  EXPECT_NEAR(head.Estimate(At(1 + Buffers(3.25))), 5000 + kBuffer * 5 / 4, 1);
}

TEST(AudioPlayhead, NeverStepsBackBetweenRestarts) {
  AudioPlayhead head(kRate, kBuffer);
  head.Restart(0, At(0));
  head.Delivered(kBuffer, At(0));
  EXPECT_EQ(head.Estimate(At(Buffers(1.5))), kBuffer);  // waits at the delivered end
  // A short delivery anchors behind what was already reported.
  head.Delivered(kBuffer + 300, At(Buffers(1.5)));
  EXPECT_EQ(head.Estimate(At(Buffers(1.5))), kBuffer);
  EXPECT_EQ(head.Estimate(At(Buffers(0.5))), kBuffer);  // an older reading of the clock
  EXPECT_EQ(head.Estimate(At(Buffers(3))), kBuffer + 300);
  // A seek may go back.
  head.Restart(100, At(Buffers(3)));
  EXPECT_EQ(head.Estimate(At(Buffers(3))), 100);
}

TEST(AudioPlayhead, RunsOutToTheEndWhenNothingNewArrives) {
  AudioPlayhead head(kRate, kBuffer);
  head.Restart(0, At(0));
  head.Delivered(600, At(0));  // the last frames, then silence
  for (int i = 1; i < 5; ++i) head.Delivered(600, At(Buffers(i)));
  EXPECT_EQ(head.Estimate(At(Buffers(5))), 600);
}

// --- Decoders -----------------------------------------------------------

struct Format {
  const char* name;
  int format;
  bool lossless;
};
void PrintTo(const Format& format, std::ostream* os) { *os << format.name; }

class AudioDecoderFormats : public ::testing::TestWithParam<Format> {
 protected:
  std::unique_ptr<AudioDecoder> Open() {
    std::string path = dir_.File(std::string("music.") + GetParam().name);
    EXPECT_TRUE(testsupport::WriteSound(path, GetParam().format, kRate, kChannels, tones_));
    return platform::OpenAudioFile(path);
  }
  TempDir dir_;
  std::vector<std::int16_t> tones_ = testsupport::TestTones(kFrames, kChannels, kRate);
};

TEST_P(AudioDecoderFormats, OpensAndSeeksToTheExactFrame) {
  if (!testsupport::CanWriteSound(GetParam().format, kRate, kChannels))
    GTEST_SKIP() << "this libsndfile cannot write " << GetParam().name;
  auto decoder = Open();
  ASSERT_TRUE(decoder);
  EXPECT_EQ(decoder->Rate(), kRate);
  EXPECT_EQ(decoder->Channels(), kChannels);
  std::vector<std::int16_t> all = ReadFrames(*decoder, decoder->Frames());
  ASSERT_GE(all.size(), size_t(kFrames) * kChannels / 2);
  if (GetParam().lossless) {
    EXPECT_EQ(decoder->Frames(), kFrames);
    EXPECT_EQ(all, tones_);
  }
  // Backward, forward and near seeks.
  for (std::int64_t frame : {12345, 1, 9000, 9100, 20000, 4096}) {
    ASSERT_TRUE(decoder->Seek(frame)) << frame;
    EXPECT_EQ(ReadFrames(*decoder, 64), Slice(all, frame, 64, kChannels)) << "frame " << frame;
  }
  EXPECT_TRUE(decoder->Seek(decoder->Frames()));
  EXPECT_EQ(ReadFrames(*decoder, 64).size(), 0u);
  EXPECT_FALSE(decoder->Seek(decoder->Frames() + 1));
  EXPECT_FALSE(decoder->Seek(-1));
}

INSTANTIATE_TEST_SUITE_P(
    Sampled, AudioDecoderFormats,
    ::testing::Values(Format{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
                      Format{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
                      Format{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
                      Format{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AudioDecoder, RendersTrackerModulesInStereo) {
  std::string mod = testsupport::TinyModule();
  auto decoder = platform::OpenAudioDecoder({mod.begin(), mod.end()});
  ASSERT_TRUE(decoder);
  EXPECT_EQ(decoder->Rate(), platform::kModuleRate);
  EXPECT_EQ(decoder->Channels(), 2);
  EXPECT_GT(decoder->Frames(), platform::kModuleRate);  // 64 rows at the default speed
  std::vector<std::int16_t> all = ReadFrames(*decoder, decoder->Frames() + 1000);
  EXPECT_NEAR(double(all.size()) / 2, double(decoder->Frames()), 0.01 * decoder->Frames());
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](std::int16_t s) { return s != 0; }));

  // After the end, a seek back plays again, from the wanted frame.
  const std::int64_t frame = 30000;
  ASSERT_TRUE(decoder->Seek(frame));
  std::vector<std::int16_t> afterSeek = ReadFrames(*decoder, 256);
  ASSERT_EQ(afterSeek.size(), 512u);
  std::vector<std::int16_t> expected = Slice(all, frame, 256, 2);
  int close = 0;
  for (size_t i = 0; i < afterSeek.size(); ++i) close += std::abs(afterSeek[i] - expected[i]) <= 64;
  EXPECT_GT(close, 500) << "the seek lands on the frame, not on its row";
  EXPECT_FALSE(decoder->Seek(decoder->Frames() + 1));
}

TEST(AudioDecoder, RefusesWhatItCannotDecodeAndSaysWhy) {
  TempDir dir;
  std::string garbage;
  for (int i = 0; i < 200; ++i) garbage += "this is no music, just words; ";
  ASSERT_TRUE(testsupport::WriteSound(dir.File("silent.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, {}));
  const std::pair<std::string, std::string> cases[] = {
      {dir.File("missing.ogg"), "there is no such file"},
      {dir.Path(), "it is a folder"},
      {dir.Write("empty.wav", ""), "the file is empty"},
      {dir.Write("garbage.mp3", garbage), "not a sound file or tracker module that plays (libsndfile: "},
      {dir.File("silent.wav"), "the file holds no sound"},
  };
  for (const auto& [path, why] : cases) {
    SCOPED_TRACE(path);
    std::string whyNot;
    EXPECT_FALSE(platform::OpenAudioFile(path, &whyNot));
    EXPECT_EQ(whyNot.rfind(why, 0), 0u) << whyNot;
    EXPECT_FALSE(platform::OpenAudioFile(path));
  }
  // A file cut short after its header still decodes what it has.
  std::string wav = dir.File("cut.wav");
  ASSERT_TRUE(testsupport::WriteSound(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1,
                                      testsupport::TestTones(1000, 1, kRate)));
  std::string bytes = testsupport::ReadFileText(wav);
  auto cut = platform::OpenAudioFile(dir.Write("cut2.wav", bytes.substr(0, 44 + 200)));
  ASSERT_TRUE(cut);
  EXPECT_EQ(ReadFrames(*cut, 1000).size(), 100u);
}

// Every sample format at its true level: a sine written in each format,
// rate and channel count decodes to the same sine in 16 bits, frame for frame.
TEST(AudioDecoder, EverySampleFormatPlaysAtItsLevel) {
  struct SampleFormat {
    const char* Name;
    int Format;
    double Tolerance;  // in 16-bit units
  };
  const SampleFormat formats[] = {
      {"PCM 8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 400},
      {"PCM 16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.5},
      {"PCM 24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.5},
      {"PCM 32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1.5},
      {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1},
      {"double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1},
      {"big-endian float", SF_FORMAT_WAV | SF_FORMAT_FLOAT | SF_ENDIAN_BIG, 1},
      {"AIFF double", SF_FORMAT_AIFF | SF_FORMAT_DOUBLE, 1},
  };
  TempDir dir;
  for (const SampleFormat& format : formats)
    for (int rate : {22050, 44100, 48000})
      for (int channels : {1, 2}) {
        SCOPED_TRACE(std::string(format.Name) + ", " + std::to_string(rate) + " Hz, " + std::to_string(channels) +
                     " channels");
        const int frames = rate / 10;
        const std::string path = dir.File("sine");
        ASSERT_TRUE(testsupport::WriteSine(path, format.Format, rate, channels, frames, 0.5));
        auto decoder = platform::OpenAudioFile(path);
        ASSERT_TRUE(decoder);
        EXPECT_EQ(decoder->Rate(), rate);
        EXPECT_EQ(decoder->Channels(), channels);
        EXPECT_EQ(decoder->Frames(), frames);
        const std::vector<std::int16_t> samples = ReadFrames(*decoder, frames + 100);
        ASSERT_EQ(samples.size(), static_cast<size_t>(frames) * channels);
        double worst = 0, peak = 0, expectedPeak = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
          const double expected = testsupport::SineSample(static_cast<int>(i) / channels, rate, 0.5);
          worst = std::max(worst, std::abs(samples[i] - expected));
          peak = std::max(peak, std::abs(static_cast<double>(samples[i])));
          expectedPeak = std::max(expectedPeak, std::abs(expected));
        }
        EXPECT_LE(worst, format.Tolerance);
        EXPECT_NEAR(peak, expectedPeak, format.Tolerance);  // half of full scale
      }
}

// Floating-point samples beyond full scale are clipped and NaN is silence,
// never a burst of noise.
TEST(AudioDecoder, FloatSamplesBeyondFullScaleClipAndNaNIsSilence) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> stored = {std::nanf(""), inf, -inf, 1e30f, -1e30f, 2.0f, 1.0f, -1.0f, 0.5f, -0.25f, 0};
  const std::vector<std::int16_t> played = {0, 32767, -32768, 32767, -32768, 32767, 32767, -32768, 16384, -8192, 0};
  TempDir dir;
  for (int format : {SF_FORMAT_WAV | SF_FORMAT_FLOAT, SF_FORMAT_WAV | SF_FORMAT_DOUBLE}) {
    SCOPED_TRACE(format);
    const std::string path = dir.File("odd.wav");
    ASSERT_TRUE(testsupport::WriteFloats(path, format, 8000, 1, stored));
    auto decoder = platform::OpenAudioFile(path);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(ReadFrames(*decoder, 100), played);
  }
}

// A header that claims more sound than the file holds: the music is as
// long as what is there, and seeks stay inside it.
TEST(AudioDecoder, AWavClaimingMoreFramesThanItHoldsEndsWhereItsDataEnds) {
  TempDir dir;
  for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_FLOAT}) {
    SCOPED_TRACE(format);
    ASSERT_TRUE(testsupport::WriteSine(dir.File("true.wav"), format, 8000, 1, 1000, 0.5));
    std::string bytes = testsupport::ReadFileText(dir.File("true.wav"));
    const size_t data = bytes.rfind("data");
    ASSERT_NE(data, std::string::npos);
    bytes.replace(data + 4, 4, std::string("\xf0\xff\xff\x7f", 4));  // two gigabytes
    auto decoder = platform::OpenAudioFile(dir.Write("claims.wav", bytes));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->Frames(), 1000);
    EXPECT_EQ(ReadFrames(*decoder, 5000).size(), 1000u);
    EXPECT_TRUE(decoder->Seek(900));
    EXPECT_EQ(ReadFrames(*decoder, 5000).size(), 100u);
    EXPECT_FALSE(decoder->Seek(1001));
  }
}

// --- Streams on SDL's dummy driver ---------------------------------------

class AudioStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    device_ = AudioDevice::Open();
    ASSERT_TRUE(device_);
  }
  std::unique_ptr<AudioStream> OpenTones(int frames, int channels = kChannels, int rate = kRate) {
    tones_ = testsupport::TestTones(frames, channels, rate);
    std::string path = dir_.File("tones.wav");
    EXPECT_TRUE(testsupport::WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, channels, tones_));
    return AudioStream::Open(*device_, path);
  }
  // Waits (bounded) until the playing stream has moved past `from`.
  static std::uint64_t WaitPast(const AudioStream& stream, std::uint64_t from) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::uint64_t pos = stream.Position();
    while (pos <= from && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      pos = stream.Position();
    }
    return pos;
  }

  TempDir dir_;
  std::unique_ptr<AudioDevice> device_;
  std::vector<std::int16_t> tones_;
};

TEST_F(AudioStreamTest, ConvertsBytesOfTheDecodedStream) {
  auto stereo = OpenTones(kFrames);
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->LengthBytes(), std::uint64_t(kFrames) * 4);
  EXPECT_DOUBLE_EQ(stereo->Bytes2Seconds(176400), 1.0);
  EXPECT_EQ(stereo->Seconds2Bytes(1.0), 176400u);
  EXPECT_EQ(stereo->Seconds2Bytes(0.1), 17640u);
  EXPECT_EQ(stereo->Seconds2Bytes(1.5 / kRate) % 4, 0u);  // whole frames
  EXPECT_EQ(stereo->Seconds2Bytes(-1), 0u);
  // The clock lags by one device buffer: it must stay short.
  EXPECT_GT(stereo->Bytes2Seconds(stereo->DeviceBufferBytes()), 0.015);
  EXPECT_LT(stereo->Bytes2Seconds(stereo->DeviceBufferBytes()), 0.05);
  stereo.reset();

  auto mono = OpenTones(1000, 1, 22050);
  ASSERT_TRUE(mono);
  EXPECT_DOUBLE_EQ(mono->Bytes2Seconds(44100), 1.0);
  EXPECT_EQ(mono->Seconds2Bytes(0.5), 22050u);
}

TEST_F(AudioStreamTest, SeeksToTheFrameHoldingTheByte) {
  auto stream = OpenTones(kFrames);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Position(), 0u);
  ASSERT_TRUE(stream->SetPosition(1000 * 4 + 3));  // inside frame 1000
  EXPECT_EQ(stream->Position(), 1000u * 4);
  std::vector<std::int16_t> out(64 * kChannels);
  stream->Render(out.data(), 64);
  EXPECT_EQ(out, Slice(tones_, 1000, 64, kChannels));
  EXPECT_EQ(stream->Position(), 1064u * 4);

  // Past the end or "negative" (wrapped): refused, the position stays.
  EXPECT_FALSE(stream->SetPosition(stream->LengthBytes() + 4));
  EXPECT_FALSE(stream->SetPosition(std::uint64_t(0) - 4000));
  EXPECT_EQ(stream->Position(), 1064u * 4);
  // The very end is a position: silence follows.
  ASSERT_TRUE(stream->SetPosition(stream->LengthBytes()));
  stream->Render(out.data(), 64);
  EXPECT_EQ(out, std::vector<std::int16_t>(64 * kChannels, 0));
  EXPECT_EQ(stream->Position(), stream->LengthBytes());
}

TEST_F(AudioStreamTest, PlaysMonotonicallyAndStopKeepsThePosition) {
  auto stream = OpenTones(kRate * 20);  // long enough not to end during the test
  ASSERT_TRUE(stream);
  ASSERT_TRUE(stream->SetPosition(stream->Seconds2Bytes(1.0)));
  stream->Play();
  EXPECT_TRUE(stream->Playing());
  std::uint64_t last = stream->Position();
  EXPECT_EQ(last, 176400u);
  for (int i = 0; i < 300; ++i) {
    std::uint64_t pos = stream->Position();
    ASSERT_GE(pos, last) << "sample " << i;
    ASSERT_EQ(pos % 4, 0u);
    last = pos;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  last = WaitPast(*stream, last);
  ASSERT_GT(last, 176400u) << "the dummy device never played";

  stream->Stop();
  EXPECT_FALSE(stream->Playing());
  std::uint64_t stopped = stream->Position();
  EXPECT_GE(stopped, last);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(stream->Position(), stopped);
  // The next frame decoded is the one the position names.
  std::vector<std::int16_t> out(16 * kChannels);
  stream->Render(out.data(), 16);
  EXPECT_EQ(out, Slice(tones_, std::int64_t(stopped / 4), 16, kChannels));
  ASSERT_TRUE(stream->SetPosition(stopped));

  stream->Play();
  EXPECT_EQ(stream->Position(), stopped);  // continues where it stopped
  EXPECT_GT(WaitPast(*stream, stopped), stopped);
}

TEST_F(AudioStreamTest, StaysAtTheEndWithoutLooping) {
  auto stream = OpenTones(3000);
  ASSERT_TRUE(stream);
  stream->Play();
  std::uint64_t end = stream->LengthBytes();
  std::uint64_t pos = WaitPast(*stream, end - 4);
  EXPECT_EQ(pos, end);
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(stream->Position(), end);
  }
}

// Music of the output's format goes into it without closing the output
// (which waits for the audio thread); any other is left to the caller.
TEST_F(AudioStreamTest, ReplaceTakesOnlyMusicOfTheOutputsFormat) {
  auto stream = OpenTones(kRate * 20);
  ASSERT_TRUE(stream);
  const std::vector<std::int16_t> first = tones_;
  auto decoderOf = [&](const std::string& name, int rate, int channels, std::vector<std::int16_t> samples) {
    EXPECT_TRUE(testsupport::WriteSound(dir_.File(name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, channels, samples));
    return platform::OpenAudioFile(dir_.File(name));
  };
  const struct {
    const char* name;
    int rate, channels;
  } others[] = {{"rate.wav", 22050, kChannels}, {"mono.wav", kRate, 1}};
  for (const auto& other : others) {
    SCOPED_TRACE(other.name);
    auto decoder = decoderOf(other.name, other.rate, other.channels,
                             testsupport::TestTones(1000, other.channels, other.rate));
    EXPECT_FALSE(stream->Replace(decoder));
    EXPECT_TRUE(decoder);
  }
  std::unique_ptr<AudioDecoder> none;
  EXPECT_FALSE(stream->Replace(none));

  stream->Play();
  ASSERT_GT(WaitPast(*stream, 0), 0u);
  std::vector<std::int16_t> second(first.begin(), first.begin() + 3000 * kChannels);
  std::reverse(second.begin(), second.end());
  auto decoder = decoderOf("second.wav", kRate, kChannels, second);
  ASSERT_TRUE(stream->Replace(decoder));
  EXPECT_FALSE(decoder);
  EXPECT_FALSE(stream->Playing());
  EXPECT_FALSE(stream->AtEnd());
  EXPECT_EQ(stream->Position(), 0u);
  EXPECT_EQ(stream->LengthBytes(), 3000u * 4);
  std::vector<std::int16_t> out(64 * kChannels);
  stream->Render(out.data(), 64);
  EXPECT_EQ(out, Slice(second, 0, 64, kChannels));
  ASSERT_TRUE(stream->SetPosition(0));
  stream->Play();  // the same output plays on, to the new music's end
  EXPECT_EQ(WaitPast(*stream, stream->LengthBytes() - 4), stream->LengthBytes());
}

// A stream handed over to close is silent at once and closed off the
// caller's thread; the device waits for it before opening another output
// and before it goes.
TEST_F(AudioStreamTest, StreamsCloseOffTheCallersThread) {
  for (int round = 0; round < 3; ++round) {
    auto stream = OpenTones(kRate * 20);
    ASSERT_TRUE(stream);
    stream->Play();
    ASSERT_GT(WaitPast(*stream, 0), 0u);
    device_->CloseLater(std::move(stream));
  }
  device_.reset();
}

TEST(AudioDevice, UnavailableDriverOpensNothing) {
  ::setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  EXPECT_FALSE(AudioDevice::Open());
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_TRUE(AudioDevice::Open());
}

}  // namespace
