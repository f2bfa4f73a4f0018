// Start-up: the program-wide objects and the GL state of an activated window.
#include <gtest/gtest.h>

#include <GL/glu.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "resources/vtStoreU.h"
#include "runtime/vtFontU.h"
#include "runtime/vtStartU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

TEST(StartTest, CreatesEveryProgramObject) {
  GlobalFont.reset();
  CreateProgramObjects();
  EXPECT_NE(GlobalFunc, nullptr);
  EXPECT_NE(GlobalFont, nullptr);
  EXPECT_NE(GlobalLog, nullptr);
  EXPECT_NE(GlobalStore, nullptr);
  testsupport::ResetGlobals();
}

class GlStateTest : public testsupport::GlTest {
 protected:
  int Width() const override { return 800; }
  int Height() const override { return 600; }
  std::array<float, 16> Perspective(double aspect, double zNear, double zFar) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(45.0, aspect, zNear, zFar);
    auto m = Matrix(GL_PROJECTION_MATRIX);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return m;
  }
};

TEST_F(GlStateTest, ActivatedWindowHasTheStartUpProjectionAndState) {
  auto expected = Perspective(4.0 / 3.0, 1.0, 10000.0);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 0, 0);
  ActivateGlState(800, 600);
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), expected);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX)[12], 0.0f);  // reset by the viewport step
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(GetInt(GL_SHADE_MODEL), GL_SMOOTH);
  EXPECT_EQ(GetFloat4(GL_COLOR_CLEAR_VALUE)[3], 0.5f);
  EXPECT_EQ(GetFloat(GL_DEPTH_CLEAR_VALUE), 1.0f);
  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_EQ(GetInt(GL_DEPTH_FUNC), GL_LEQUAL);
  EXPECT_EQ(GetInt(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_TRUE(Enabled(GL_LIGHT0));
}

TEST_F(GlStateTest, ResizeKeepsTheStartUpProjectionAndNeverAZeroHeight) {
  auto startUp = Perspective(4.0 / 3.0, 1.0, 10000.0);
  ResizeViewport(800, 600);
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), startUp);
  ResizeViewport(300, 0);
  EXPECT_EQ(GetFloat4(GL_VIEWPORT)[3], 1.0f);
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), startUp);
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

// The demo folder of the command line: entered when its script is there
// (any letter case), refused by name otherwise with the directory kept.
TEST(EnterDemoFolderTest, EntersAFolderWithItsScriptAndRefusesTheOthers) {
  testsupport::TempDir dir;
  dir.Write("good/Data/Tunnel_Test.VDS", "VT_DEMO_ENDTIME 1000\n");
  dir.Write("noscript/data/other.vds", "");
  dir.Write("nodata/readme", "");
  dir.Write("file", "");
  std::filesystem::create_directories(dir.File("dirscript/data/tunnel_test.vds"));
  const std::string before = std::filesystem::current_path().string();
  const struct {
    std::string dir;
    std::string error;  // "" when it is entered
  } cases[] = {
      {dir.File("missing"), "the folder \"" + dir.File("missing") + "\" does not exist"},
      {dir.File("file"), "the folder \"" + dir.File("file") + "\" is not a folder"},
      {dir.File("noscript"), "the folder \"" + dir.File("noscript") +
                                 "\" cannot be played: it has no demo script data\\tunnel_test.vds"},
      {dir.File("dirscript"), "the folder \"" + dir.File("dirscript") +
                                  "\" cannot be played: it has no demo script data\\tunnel_test.vds"},
      {dir.File("nodata"), "the folder \"" + dir.File("nodata") +
                               "\" cannot be played: it has no data folder (no demo script data\\tunnel_test.vds)"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(EnterDemoFolder(c.dir, "data\\tunnel_test.vds", error)) << c.dir;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(std::filesystem::current_path().string(), before);
  }
  testsupport::ChangeDir back(before);  // restores the directory at the end
  std::string error;
  ASSERT_TRUE(EnterDemoFolder(dir.File("good"), "data\\tunnel_test.vds", error)) << error;
  EXPECT_EQ(std::filesystem::current_path().string(), std::filesystem::canonical(dir.File("good")).string());
}

TEST(EnterDemoFolderTest, AnUnreadableScriptIsSaid) {
  testsupport::TempDir dir;
  dir.Write("demo/data/tunnel_test.vds", "VT_DEMO_ENDTIME 1000\n");
  ::chmod(dir.File("demo/data/tunnel_test.vds").c_str(), 0);
  testsupport::ObeyFileModes modes;
  if (!modes.Active()) GTEST_SKIP() << "file modes do not bind this thread";
  const std::string before = std::filesystem::current_path().string();
  std::string error;
  EXPECT_FALSE(EnterDemoFolder(dir.File("demo"), "data\\tunnel_test.vds", error));
  EXPECT_NE(error.find("cannot read its demo script data\\tunnel_test.vds"), std::string::npos) << error;
  EXPECT_EQ(std::filesystem::current_path().string(), before);
}

}  // namespace
