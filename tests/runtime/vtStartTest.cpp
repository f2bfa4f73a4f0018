// Start-up: the program-wide objects and the GL state of an activated window.
#include <gtest/gtest.h>

#include <GL/glu.h>

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

}  // namespace
