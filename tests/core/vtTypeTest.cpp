#include "core/vtTypeU.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/vtFuncU.h"
#include "support/GlTest.h"

namespace {

using testsupport::GlTest;

TEST(FloatToStr, GeneralFormat) {
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(0.5), "0.5");
  EXPECT_EQ(FloatToStr(100), "100");
  EXPECT_EQ(FloatToStr(-2.25), "-2.25");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FloatToStr(0.1f), "0.100000001490116");  // a single is converted as is
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(1e20), "1E20");
  EXPECT_EQ(FloatToStr(0.00001), "0.00001");
  EXPECT_EQ(FloatToStr(0.000012345), "0.000012345");
  EXPECT_EQ(FloatToStr(1e-6), "1E-6");
  EXPECT_EQ(FloatToStr(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(FloatToStr(9.9999999999999999), "10");  // rounding carries into a new digit
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(FloatToStr(std::nan("")), "NAN");
}

TEST(GeometryRecords, Texts) {
  EXPECT_EQ(vtColRGBA{}.ToString(), "r=0 g=0 b=0 a=1");
  EXPECT_EQ((vtFace{1, 2, 3}).ToString(), " a=1 b=2 c=3");
  EXPECT_EQ((vtVec2D{1.5f, -2}).ToString(), "x=1.5 y=-2");
  EXPECT_EQ((vtVec3D{1, 0.25f, -3}).ToString(), "x=1 y=0.25 z=-3");
  EXPECT_EQ((vtTexC{0.5f, 1, 0}).ToString(), " u=0.5 v=1 w=0");
  EXPECT_EQ((vtTorusParam{1.5f, 0.25f, 8, 16}).ToString(), "1.5 0.25 8 16");
  vtGeom g;
  EXPECT_EQ(g.ToString(), "px: 0 py: 0 pz: 0 nx: 0 ny: 0 nz: 0 tu: 0 tv: 0 tw: 0 ");
  g.Position = {1, 2, 3};
  g.Normal = {4, 5, 6};
  g.TexCoord = {7, 8, 9};
  EXPECT_EQ(g.ToString(), "px: 1 py: 2 pz: 3 nx: 4 ny: 5 nz: 6 tu: 7 tv: 8 tw: 9 ");
}

TEST(GeometryRecords, AssignClearAndEquals) {
  vtVec3D v{1, 2, 3};
  vtVec3D copy;
  copy.Assign(&v);
  EXPECT_EQ(copy.ToString(), v.ToString());
  copy.Assign(nullptr);
  EXPECT_EQ(copy.ToString(), "x=0 y=0 z=0");
  vtTexC t{4, 5, 6};
  vtTexC tc{7, 8, 9};
  tc.Assign(&t);
  EXPECT_EQ(tc.ToString(), " u=4 v=5 w=6");
  tc.Assign(nullptr);
  EXPECT_EQ(tc.ToString(), " u=0 v=0 w=0");
  t.Clear();
  EXPECT_EQ(t.ToString(), " u=0 v=0 w=0");

  vtGeom a, b;
  EXPECT_TRUE(a.Equals(b));
  b.TexCoord.W = 1;
  EXPECT_FALSE(a.Equals(b));
  b.TexCoord.W = 0;
  b.Normal.Y = -0.0f;  // compared as numbers
  EXPECT_TRUE(a.Equals(b));
}

class GeometryEmit : public GlTest {};

TEST_F(GeometryEmit, SendsTheSelectedParts) {
  vtGeom g;
  g.Normal = {0, 1, 0};
  g.TexCoord = {0.25f, 0.5f, 0.75f};
  glNormal3f(7, 7, 7);
  glTexCoord3f(9, 9, 9);
  glBegin(GL_POINTS);
  g.Emit(false, false, false);
  glEnd();
  EXPECT_EQ(GetFloat4(GL_CURRENT_NORMAL)[0], 7.0f);
  EXPECT_EQ(GetFloat4(GL_CURRENT_TEXTURE_COORDS)[0], 9.0f);

  glBegin(GL_POINTS);
  g.Emit(false, true, true);
  glEnd();
  auto n = GetFloat4(GL_CURRENT_NORMAL);
  auto t = GetFloat4(GL_CURRENT_TEXTURE_COORDS);
  EXPECT_EQ(n[0], 0.0f);
  EXPECT_EQ(n[1], 1.0f);
  EXPECT_EQ(n[2], 0.0f);
  EXPECT_EQ(t[0], 0.25f);
  EXPECT_EQ(t[1], 0.5f);
  EXPECT_EQ(t[2], 0.75f);  // the third component is sent too
  EXPECT_EQ(Error(), GLenum(GL_NO_ERROR));
}

TEST_F(GeometryEmit, VertexComesLastAndUsesTheNewNormal) {
  GlobalFunc->Begin2D(256, 256);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);  // white light from +Z
  glNormal3f(0, 0, -1);  // a normal facing away would leave the point dark
  vtGeom g;
  g.Position = {10.5f, 20.5f, 0};
  g.Normal = {0, 0, 1};
  glBegin(GL_POINTS);
  g.Emit(true, true, false);
  glEnd();
  glDisable(GL_LIGHTING);
  GlobalFunc->End2D();
  EXPECT_GT(Pixel(10, 20)[0], 150);
  EXPECT_EQ(Pixel(11, 20)[0], 0);
}

TEST_F(GeometryEmit, VectorEmitsVertexAndNormal) {
  GlobalFunc->Begin2D(256, 256);
  vtVec3D v{30.5f, 40.5f, 0};
  vtVec3D normal{0, 0, 1};
  glBegin(GL_POINTS);
  normal.EmitNormal();
  v.EmitVertex();
  glEnd();
  GlobalFunc->End2D();
  EXPECT_EQ(Pixel(30, 40)[1], 255);
  EXPECT_EQ(GetFloat4(GL_CURRENT_NORMAL)[2], 1.0f);
}

class Projection2D : public GlTest {};

TEST_F(Projection2D, BeginSetsPixelOrthoAndEndRestores) {
  glMatrixMode(GL_PROJECTION);
  glScalef(2, 3, 4);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  glMatrixMode(GL_TEXTURE);  // Begin2D must not care where it starts

  GlobalFunc->Begin2D(800, 600);
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 2);
  EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 2);
  auto p = Matrix(GL_PROJECTION_MATRIX);
  const float ortho[16] = {2.0f / 800, 0, 0, 0, 0, 2.0f / 600, 0, 0, 0, 0, -2, 0, -1, -1, -1, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(p[i], ortho[i], 1e-6) << i;
  auto m = Matrix(GL_MODELVIEW_MATRIX);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

  GlobalFunc->End2D();
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 1);
  EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 1);
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX)[5], 3.0f);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX)[14], 3.0f);
  EXPECT_EQ(Error(), GLenum(GL_NO_ERROR));
}

TEST_F(Projection2D, OneUnitIsOnePixelFromTheBottomLeft) {
  GlobalFunc->Begin2D(256, 256);
  glColor3f(1, 0, 0);
  glBegin(GL_POINTS);
  glVertex2f(5.5f, 7.5f);
  glEnd();
  GlobalFunc->End2D();
  EXPECT_EQ(Pixel(5, 7)[0], 255);
  EXPECT_EQ(Pixel(5, 248)[0], 0);
}

}  // namespace
