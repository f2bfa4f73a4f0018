// The sample demo in data/: its script sets up the player as intended,
// every file it names exists, and every picture decodes through the
// engine's texture loader (one of each image format at least).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/TextureLoader.h"
#include "runtime/vtDSysU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

const std::string kScript = "data\\tunnel_test.vds";

// The text between the first and the last double quote of every line of
// the file that contains key, as the engine's readers take it.
std::vector<std::string> QuotedValues(const std::string& enginePath, const std::string& key) {
  std::vector<std::string> values;
  std::ifstream in(platform::ResolvePath(enginePath));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.find(key) == std::string::npos) continue;
    size_t first = line.find('"'), last = line.rfind('"');
    if (first != std::string::npos && last > first) values.push_back(line.substr(first + 1, last - first - 1));
  }
  return values;
}

std::string Extension(const std::string& path) { return path.substr(path.rfind('.') + 1); }

// Every picture the demo's items name, relative to the working directory.
std::set<std::string> DemoPictures() {
  std::set<std::string> pictures;
  for (const std::string& item : QuotedValues(kScript, "VT_RENDER_ITEMS_FILE")) {
    std::string ext = Extension(item);
    const char* key = ext == "vtl" || ext == "vtk" ? "VT_TEXT_SOURCE"
                      : ext == "vts"               ? "VT_DIFFUSE_MAP"
                      : ext == "ase"               ? "*BITMAP"
                                                   : nullptr;
    if (!key) continue;
    for (const std::string& picture : QuotedValues(item, key))
      if (picture != "no.image") pictures.insert(picture);
  }
  return pictures;
}

class DemoData : public ::testing::Test {
 protected:
  DemoData() : cd_(testsupport::SourceDir()) { testsupport::ResetGlobals(); }
  testsupport::ChangeDir cd_;
};

TEST_F(DemoData, ScriptSetsUpAWindowedMinuteOnTheMusicClock) {
  vtDemoSystem demo;
  ASSERT_TRUE(demo.LoadScript(kScript));
  EXPECT_TRUE(demo.ScriptError.empty()) << demo.ScriptError;
  EXPECT_EQ(demo.Config->Title, "Vortane Engine 1.0 : Deep Orbit");
  EXPECT_EQ(demo.Config->Width, 800);
  EXPECT_EQ(demo.Config->Height, 600);
  EXPECT_FALSE(demo.Config->FullScreen);
  EXPECT_FLOAT_EQ(demo.DemoEndTime, 60000.0f);
  EXPECT_TRUE(demo.CursorMode);
  EXPECT_TRUE(demo.SpaceStop);
  EXPECT_FALSE(demo.DebugMode);
  for (const auto& item : demo.Items)
    for (const auto& line : item->Lines) {
      EXPECT_TRUE(line->PlayType == vt_PLAY || line->PlayType == vt_UNPLAY) << item->FileName;
      EXPECT_LE(line->EndTime, demo.DemoEndTime) << item->FileName;
    }
}

TEST_F(DemoData, EveryFileTheDemoNamesExists) {
  std::vector<std::string> files = QuotedValues(kScript, "VT_RENDER_ITEMS_FILE");
  ASSERT_GE(files.size(), 17u);
  for (const std::string& music : QuotedValues(kScript, "VT_BASS_MUSIC")) files.push_back(music);
  for (const std::string& picture : DemoPictures()) files.push_back(picture);
  for (const std::string& file : files) EXPECT_TRUE(platform::IsRegularFile(file)) << file;
}

class DemoPictureFiles : public testsupport::GlTest {
 protected:
  DemoPictureFiles() : cd_(testsupport::SourceDir()) {}
  testsupport::ChangeDir cd_;
};

TEST_F(DemoPictureFiles, EveryPictureDecodesAndEveryFormatIsUsed) {
  std::set<std::string> formats;
  for (const std::string& picture : DemoPictures()) {
    std::uint32_t id = 0;
    ASSERT_TRUE(platform::LoadTextureFile(picture, id)) << picture;
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_GE(width, 16) << picture;
    EXPECT_LE(width, 512) << picture;
    EXPECT_LE(height, 256) << picture;
    formats.insert(Extension(picture));
    glDeleteTextures(1, &id);
  }
  EXPECT_EQ(formats, (std::set<std::string>{"bmp", "jpg", "png", "tga"}));
}

}  // namespace

// The whole demo, loaded and drawn offscreen by the demo system: every
// item kind loads, and every scene shows a picture (state one item leaves
// for the next, such as the material that lights the tunnel, can turn a
// scene black without any error).
class DemoPlays : public testsupport::DemoGlTest {
 protected:
  int Width() const override { return 160; }
  int Height() const override { return 120; }
  void SetUp() override {
    DemoGlTest::SetUp();
    ASSERT_TRUE(demo_.LoadScript(kScript));
    demo_.SetManualTime(0);
    demo_.Init();
  }

  // Mean brightness (0..255) and the share of black pixels of a frame.
  void DrawAt(float ms, float& mean, float& blackShare) {
    demo_.SetManualTime(ms);
    ASSERT_TRUE(demo_.DrawFrame());
    std::vector<std::uint8_t> pixels = Pixels();
    double sum = 0;
    size_t black = 0, count = pixels.size() / 4;
    for (size_t i = 0; i < count; ++i) {
      int v = (pixels[4 * i] + pixels[4 * i + 1] + pixels[4 * i + 2]) / 3;
      sum += v;
      if (v < 4) ++black;
    }
    mean = static_cast<float>(sum / count);
    blackShare = static_cast<float>(black) / count;
  }

  testsupport::ChangeDir cd_{testsupport::SourceDir()};
  platform::MessageBoxRecorder boxes_;
  vtDemoSystem demo_;
};

TEST_F(DemoPlays, EveryItemKindLoadsWithoutAMessage) {
  std::set<vtType> kinds;
  for (const auto& item : demo_.Items) {
    EXPECT_FALSE(item->LoadFailed) << item->FileName;
    kinds.insert(item->ItemType);
  }
  EXPECT_EQ(demo_.Items.size(), 17u);
  EXPECT_EQ(kinds, (std::set<vtType>{vt_2D_VTL, vt_3D_ASE, vt_SKY, vt_TRANS, vt_MESH, vt_TUNNEL}));
  EXPECT_TRUE(boxes_.Calls().empty());
}

TEST_F(DemoPlays, EverySceneShowsAPicture) {
  // Ship with titles, panelled tunnel, ring tunnel with the torus, ship
  // with the ring and credits.
  for (float ms : {7000.0f, 24000.0f, 38000.0f, 50000.0f, 56000.0f}) {
    float mean = 0, blackShare = 0;
    DrawAt(ms, mean, blackShare);
    EXPECT_GT(mean, 20.0f) << ms << " ms";
    EXPECT_LT(blackShare, 0.3f) << ms << " ms";
  }
  // The scene gaps and the end are black, with the fade's help.
  for (float ms : {0.0f, 16000.0f, 60000.0f}) {
    float mean = 0, blackShare = 0;
    DrawAt(ms, mean, blackShare);
    EXPECT_LT(mean, 1.0f) << ms << " ms";
  }
}
