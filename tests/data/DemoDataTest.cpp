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
