// vortane-render's framebuffer step, its PNG writer, its progress line and
// the refusals of its command line.
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <string>
#include <vector>

#include "platform/PngWriter.h"
#include "support/TestGlobals.h"
#include "tools/render/Framing.h"
#include "tools/render/Progress.h"
#include "tools/render/RenderOptions.h"

namespace {

TEST(RenderFraming, TheDemoKeepsItsAspectBetweenEqualBars) {
  struct Case {
    int width, height, x, y, w, h;
  } cases[] = {
      {800, 600, 0, 0, 800, 600},       {1920, 1080, 240, 0, 1440, 1080}, {1280, 720, 160, 0, 960, 720},
      {1000, 1000, 0, 125, 1000, 750}, {642, 480, 1, 0, 640, 480},       {100, 74, 1, 0, 98, 74},
      {1, 100, 0, 49, 1, 1},
  };
  for (const Case& c : cases) {
    const FrameRect r = FitAspect(c.width, c.height, 4.0 / 3.0);
    EXPECT_EQ((std::vector<int>{r.X, r.Y, r.Width, r.Height}), (std::vector<int>{c.x, c.y, c.w, c.h}))
        << c.width << "x" << c.height;
  }
}

TEST(RenderFraming, SupersampledBlocksAreAveragedIntoTheFrameBetweenBlackBars) {
  // An 8x3 frame holds a 4x3 picture at x 2; drawn at twice the size.
  const Framer framer(8, 3, 4.0 / 3.0, 2);
  ASSERT_EQ(framer.DrawWidth(), 8);
  ASSERT_EQ(framer.DrawHeight(), 6);
  std::vector<std::uint8_t> drawn(8 * 6 * 4, 0);
  for (int i : {0, 1, 8, 9}) drawn[i * 4] = 200;  // the whole bottom-left block red
  drawn[2 * 4 + 1] = 100;                         // one of four samples of the next block: green 25
  const Picture out = framer.Compose(drawn);
  ASSERT_EQ(out.Rgba.size(), 8u * 3 * 4);
  auto at = [&](int x, int y, int c) { return out.Rgba[(y * 8 + x) * 4 + c]; };
  EXPECT_EQ(at(2, 0, 0), 200);
  EXPECT_EQ(at(3, 0, 1), 25);
  for (int y = 0; y < 3; ++y)
    for (int x : {0, 1, 6, 7}) EXPECT_EQ(at(x, y, 0) + at(x, y, 1) + at(x, y, 2), 0) << x << "," << y;
  for (size_t i = 3; i < out.Rgba.size(); i += 4) ASSERT_EQ(out.Rgba[i], 255);
}

// Pixels read back as BGRA come out RGBA, and a picture of an earlier
// frame composed into again keeps nothing of it, bars included.
TEST(RenderFraming, BgraPixelsComposeIntoAReusedPictureAsRgba) {
  for (int factor : {1, 2}) {
    SCOPED_TRACE(factor);
    const Framer framer(6, 3, 4.0 / 3.0, factor);  // a 4x3 picture at x 1
    std::vector<std::uint8_t> drawn;
    for (int i = 0; i < framer.DrawWidth() * framer.DrawHeight(); ++i) drawn.insert(drawn.end(), {30, 20, 10, 0});
    Picture picture;
    picture.Rgba.assign(6 * 3 * 4, 77);
    framer.Compose(drawn, PixelOrder::Bgra, picture);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 6; ++x) {
        const bool bar = x == 0 || x == 5;
        const std::vector<int> want = bar ? std::vector<int>{0, 0, 0, 255} : std::vector<int>{10, 20, 30, 255};
        const std::uint8_t* p = &picture.Rgba[(y * 6 + x) * 4];
        EXPECT_EQ(std::vector<int>(p, p + 4), want) << x << "," << y;
      }
    }
  }
}

TEST(RenderPng, RowsAreWrittenTopDownWithoutAlphaAndFailuresLeaveNoFile) {
  testsupport::TempDir dir;
  const std::vector<std::uint8_t> bottomUp = {10, 20, 30, 0, 40, 50, 60, 7};  // 1x2: bottom row first
  std::string error;
  ASSERT_TRUE(platform::WritePngBottomUp(dir.File("p.png"), 1, 2, bottomUp.data(), error)) << error;
  int w = 0, h = 0, channels = 0;
  stbi_uc* read = stbi_load(dir.File("p.png").c_str(), &w, &h, &channels, 0);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(std::vector<int>({w, h, channels}), std::vector<int>({1, 2, 3}));
  EXPECT_EQ(std::vector<int>(read, read + 6), std::vector<int>({40, 50, 60, 10, 20, 30}));
  stbi_image_free(read);
  EXPECT_FALSE(platform::WritePngBottomUp(dir.File("none/p.png"), 1, 2, bottomUp.data(), error));
  EXPECT_NE(error.find("none/p.png"), std::string::npos) << error;
}

TEST(RenderProgress, TheLineCountsRateAndTimeLeft) {
  EXPECT_EQ(ProgressLine(120, 600, 4.0), "frame 120/600 (20%), 30.0 fps, 0:16 left");
  EXPECT_EQ(ProgressLine(0, 600, 0.0), "frame 0/600 (0%)");
  EXPECT_EQ(ProgressLine(10, 4000, 10.0), "frame 10/4000 (0%), 1.0 fps, 66:30 left");
}

bool Parse(std::vector<const char*> args, std::string& error) {
  args.insert(args.begin(), "vortane-render");
  RenderOptions options;
  return ParseRenderOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), options, error);
}

TEST(RenderOptions, WrongValuesAreRefusedByName) {
  struct Case {
    std::vector<const char*> args;
    const char* named;  // in the message
  } cases[] = {
      {{"--at", "-5"}, "--at -5"},
      {{"--fps", "10", "--from", "-1"}, "--from -1"},
      {{"--at", "0", "--supersample", "5"}, "--supersample 5"},
      {{"--at", "0", "--supersample", "0"}, "--supersample 0"},
      {{"--at", "0", "--force"}, "--force needs --fps"},
      {{"--video", "v.avi"}, "--video v.avi"},
      {{"--video", "v.mp4", "--quality", "52"}, "--quality 52"},
      {{"--fps", "10", "--quality", "20"}, "--quality needs --video"},
      {{"--video", "v.mp4", "--size", "65x48"}, "must be even"},
      {{"--video", "v.mp4", "--at", "0"}, "either --at or --video"},
      {{"--video", "v.mp4", "--audio", "a.wav"}, "--audio is for --fps"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, error)) << c.named;
    EXPECT_NE(error.find(c.named), std::string::npos) << error;
  }
  std::string error;
  EXPECT_TRUE(Parse({"--fps", "30", "--from", "0", "--supersample", "4", "--force"}, error)) << error;
  EXPECT_TRUE(Parse({"--video", "V.WebM", "--quality", "1", "--size", "64x48", "--force"}, error)) << error;
}

}  // namespace
