// The video sink's encoder thread: frames queued from the main thread all
// reach the file, and a sink dropped unfinished leaves none.
#include "tools/render/VideoSink.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TestGlobals.h"

namespace {

// The video stream's frame count as the container states it; -1 when unreadable.
std::int64_t VideoFrames(const std::string& path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
  std::int64_t frames = -1;
  if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams > 0) frames = format->streams[0]->nb_frames;
  avformat_close_input(&format);
  return frames;
}

TEST(VideoSink, FramesQueuedFasterThanEncodedAllReachTheFileUnlessItIsAbandoned) {
  testsupport::TempDir dir;
  for (const bool finish : {true, false}) {
    const std::string path = dir.File(finish ? "whole.mp4" : "abandoned.mp4");
    {
      VideoSink sink(path, {32, 24, 10, 18, 0, 0}, nullptr);
      ASSERT_EQ(sink.Error(), "");
      for (int i = 0; i < 12; ++i) {
        Picture picture = sink.Spare();  // storage an encoded frame gave back, if any
        picture.Width = 32;
        picture.Height = 24;
        picture.Rgba.assign(32 * 24 * 4, static_cast<std::uint8_t>(20 * i));
        ASSERT_TRUE(sink.Take(std::move(picture))) << sink.Error();
      }
      if (finish) {
        ASSERT_TRUE(sink.Finish()) << sink.Error();
      }
    }
    EXPECT_EQ(VideoFrames(path), finish ? 12 : -1) << path;
    EXPECT_FALSE(std::filesystem::exists(path + ".part")) << path;
  }
}

}  // namespace
