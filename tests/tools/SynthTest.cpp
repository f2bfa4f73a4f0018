// The demo's synthesiser: tuning, length and level of the tune, and an Ogg
// Vorbis file the music player's decoder reads back.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>

#include "Synth.h"
#include "support/TestGlobals.h"

namespace {

float Rms(const std::vector<float>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += samples[i] * samples[i];
  return static_cast<float>(std::sqrt(sum / (to - from)));
}

TEST(Synth, NotesAreTunedToA440) {
  EXPECT_DOUBLE_EQ(synth::NoteFrequency(69), 440.0);
  EXPECT_DOUBLE_EQ(synth::NoteFrequency(57), 220.0);
  EXPECT_NEAR(synth::NoteFrequency(60), 261.6256, 1e-3);
}

TEST(Synth, BarsLastTwoSecondsAndTheTuneIsNormalisedBelowFullScale) {
  const int rate = 8000;
  synth::Stereo tune = synth::RenderTune(rate, 10);
  EXPECT_EQ(tune.Frames(), static_cast<size_t>(20 * rate));
  EXPECT_NEAR(synth::Peak(tune), 0.89f, 0.01f);
  // Nothing silent while it plays; the intro builds up.
  for (int second = 0; second < 18; ++second) {
    size_t from = static_cast<size_t>(second) * rate, to = from + rate;
    EXPECT_GT(Rms(tune.left, from, to), 0.01f) << second;
    EXPECT_GT(Rms(tune.right, from, to), 0.01f) << second;
  }
  EXPECT_GT(Rms(tune.left, 16 * rate, 18 * rate), Rms(tune.left, 0, 2 * rate));
}

TEST(Synth, OggVorbisReadsBackWithItsLengthAndChannels) {
  testsupport::TempDir dir;
  const int rate = 44100;
  synth::Stereo tune = synth::RenderTune(rate, 2);
  std::string path = dir.Path() + "/tune.ogg";
  ASSERT_TRUE(synth::WriteOggVorbis(tune, rate, 0.3, path));
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, rate);
  EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_VORBIS);
  EXPECT_EQ(static_cast<size_t>(info.frames), tune.Frames());
  sf_close(file);

  EXPECT_FALSE(synth::WriteOggVorbis(tune, rate, 0.3, dir.Path() + "/missing/dir/tune.ogg"));
}

}  // namespace
