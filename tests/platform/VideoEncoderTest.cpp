// Video files: the streams each container holds, and that a file is only
// ever there whole.
#include "platform/VideoEncoder.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestGlobals.h"

namespace {

// "h264,aac": the codecs of the file's streams, in order; "" when unreadable.
std::string StreamCodecs(const std::string& path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return "";
  std::string codecs;
  if (avformat_find_stream_info(format, nullptr) >= 0)
    for (unsigned i = 0; i < format->nb_streams; ++i)
      codecs += (i ? "," : "") + std::string(avcodec_get_name(format->streams[i]->codecpar->codec_id));
  avformat_close_input(&format);
  return codecs;
}

platform::VideoSettings Small(int soundRate) {
  platform::VideoSettings settings;
  settings.Width = 32;
  settings.Height = 24;
  settings.Fps = 10;
  settings.SoundRate = soundRate;
  settings.SoundChannels = soundRate ? 2 : 0;
  return settings;
}

// Five grey frames with a tenth of a second of silence after each.
bool EncodeFive(platform::VideoEncoder& encoder, int soundRate) {
  const std::vector<std::uint8_t> frame(32 * 24 * 4, 128);
  const std::vector<std::int16_t> sound(static_cast<size_t>(soundRate / 10) * 2, 0);
  for (int i = 0; i < 5; ++i)
    if (!encoder.AddFrame(frame.data()) || !encoder.AddSound(sound.data(), soundRate / 10)) return false;
  return true;
}

TEST(VideoEncoder, EachContainerHoldsItsCodecsAndSoundOnlyWhenGiven) {
  testsupport::TempDir dir;
  const struct {
    const char* name;
    int soundRate;
    const char* codecs;
  } cases[] = {
      {"a.mp4", 44100, "h264,aac"}, {"b.MP4", 0, "h264"}, {"c.webm", 44100, "vp9,opus"}, {"d.webm", 0, "vp9"}};
  for (const auto& c : cases) {
    platform::VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(dir.File(c.name), Small(c.soundRate))) << encoder.Error();
    ASSERT_TRUE(EncodeFive(encoder, c.soundRate)) << encoder.Error();
    ASSERT_TRUE(encoder.Finish()) << encoder.Error();
    EXPECT_EQ(StreamCodecs(dir.File(c.name)), c.codecs) << c.name;
    EXPECT_FALSE(std::filesystem::exists(dir.File(c.name) + ".part"));
  }
}

TEST(VideoEncoder, AnUnfinishedVideoLeavesNoFileAndTheOldOneUntouched) {
  testsupport::TempDir dir;
  const std::string path = dir.Write("v.mp4", "an older file");
  {
    platform::VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(path, Small(44100))) << encoder.Error();
    ASSERT_TRUE(EncodeFive(encoder, 44100));
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  EXPECT_EQ(std::filesystem::file_size(path), 13u);
  platform::VideoEncoder nowhere;
  EXPECT_FALSE(nowhere.Open(dir.File("none/v.mp4"), Small(0)));
  EXPECT_NE(nowhere.Error().find("none/v.mp4"), std::string::npos) << nowhere.Error();
}

TEST(VideoEncoder, OnlyMp4AndWebmNamesAreVideos) {
  for (const char* name : {"a.mp4", "A.WEBM", "dir.webm/a.Mp4"}) EXPECT_TRUE(platform::IsVideoFileName(name)) << name;
  for (const char* name : {"a.avi", "a.mp4.part", "mp4", ""}) EXPECT_FALSE(platform::IsVideoFileName(name)) << name;
}

}  // namespace
