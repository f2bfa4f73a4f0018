#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include "layers/vtLSysU.h"
#include "platform/MessageBox.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::Rgba;

class LayerRenderTest : public testsupport::GlTest {
 protected:
  int Width() const override { return 1024; }
  int Height() const override { return 768; }

  void SetUp() override {
    GlTest::SetUp();
    testsupport::ResetGlobals();
  }

  // A layer standing still at (x, y) from 0 to 2000 ms.
  static std::unique_ptr<vtLayer> Still(float x, float y, float w, float h, vtColRGBA color, GLenum s, GLenum d,
                                        std::uint32_t from = 0) {
    auto layer = std::make_unique<vtLayer>();
    layer->BlendSFactor = static_cast<std::int32_t>(s);
    layer->BlendDFactor = static_cast<std::int32_t>(d);
    layer->Keys.emplace();
    for (std::uint32_t time : {from, from + 2000}) {
      auto key = std::make_unique<vtLayerKey>();
      key->Time = time;
      key->Position = {x, y};
      key->Size = {w, h};
      key->Color = color;
      layer->Keys->push_back(std::move(key));
    }
    return layer;
  }

  static void ExpectNear(Rgba p, Rgba want, int tolerance, const char* where) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], want[i], tolerance) << where << " channel " << i;
  }

  testsupport::TempDir dir;
};

constexpr Rgba kBlack = {0, 0, 0, 0};
constexpr Rgba kWhite = {255, 255, 255, 255};

TEST_F(LayerRenderTest, LayerSpaceIsStretchedOverTheViewport) {
  vtLayerSystem system(vt_2D_VTL, "");
  system.Loaded = true;
  system.Layers.push_back(Still(512, 384, 200, 100, {255, 255, 255, 255}, GL_ONE, GL_ZERO));

  system.Render(1000);
  EXPECT_EQ(Pixel(412, 334), kWhite);
  EXPECT_EQ(Pixel(611, 433), kWhite);
  for (auto [x, y] : {std::pair{411, 384}, {612, 384}, {512, 333}, {512, 434}}) EXPECT_EQ(Pixel(x, y), kBlack) << x << "," << y;

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, 512, 384);
  system.Render(1000);
  EXPECT_EQ(Pixel(206, 167), kWhite);
  EXPECT_EQ(Pixel(305, 216), kWhite);
  for (auto [x, y] : {std::pair{205, 190}, {306, 190}, {256, 166}, {256, 217}}) EXPECT_EQ(Pixel(x, y), kBlack) << x << "," << y;
}

// Read from a file: a blue backdrop, then a half-transparent textured layer
// (red picture top, green bottom) blended over it with 770/771.
TEST_F(LayerRenderTest, TexturedLayerBlendsOverTheLayerBeforeIt) {
  const unsigned char picture[] = {255, 0, 0, 255, 0, 255, 0, 255};  // top row first
  ASSERT_TRUE(stbi_write_png(dir.File("tex.png").c_str(), 1, 2, 4, picture, 4));
  dir.Write("fade.vtl",
            "VT_LAYER {\n VT_TEXT_SOURCE \"no.image\"\n VT_BLEND_SFACTOR 1\n VT_BLEND_DFACTOR 0\n VT_KEYS {\n"
            "  VT_KEY 0 512 384 0 0 1024 768 0 0 255 255\n  VT_KEY 2000 512 384 0 0 1024 768 0 0 255 255\n }\n}\n"
            "VT_LAYER {\n VT_TEXT_SOURCE \"tex.png\"\n VT_BLEND_SFACTOR 770\n VT_BLEND_DFACTOR 771\n VT_KEYS {\n"
            "  VT_KEY 0 512 384 0 0 200 100 255 255 255 0\n  VT_KEY 2000 512 384 0 0 200 100 255 255 255 256\n }\n}\n");
  testsupport::ChangeDir into(dir.Path());
  testsupport::ResetGlobals();
  platform::MessageBoxRecorder boxes;
  vtLayerSystem system(vt_2D_VTL, GlobalFunc->WorkDir + "\\fade.vtl");
  system.LoadFromFile();
  ASSERT_TRUE(system.Loaded);
  ASSERT_NE(system.Layers[1]->Map->Texture->Id, 0u);
  EXPECT_TRUE(boxes.Calls().empty());

  system.Render(1000);  // alpha 128; rows sampled at their centres (a quarter up, three quarters up)
  ExpectNear(Pixel(512, 409), {128, 0, 127, 0}, 3, "top quarter");
  ExpectNear(Pixel(512, 359), {0, 128, 127, 0}, 3, "bottom quarter");
  ExpectNear(Pixel(100, 100), {0, 0, 255, 0}, 0, "backdrop");
}

TEST_F(LayerRenderTest, EachLayerLeavesTheStateItPromises) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  vtLayerSystem system(vt_2D_VTL, "");
  system.Loaded = true;
  system.Layers.push_back(Still(100, 100, 50, 50, {0, 255, 0, 255}, GL_ONE, GL_ZERO));
  system.Layers.push_back(Still(300, 300, 50, 50, {255, 0, 0, 255}, GL_ONE, GL_ZERO, 5000));  // not yet
  system.Layers.back()->Map = std::make_unique<vtDiffuseMap>();
  system.Layers.back()->Map->Texture->Id = texture;
  system.Layers.push_back(Still(500, 500, 50, 50, {0, 0, 255, 51}, GL_ONE, GL_ZERO));

  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -3, 3, -4, 4);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  const auto projection = Matrix(GL_PROJECTION_MATRIX);
  const auto modelview = Matrix(GL_MODELVIEW_MATRIX);
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

  system.Render(1000);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_FALSE(Enabled(GL_BLEND));
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  EXPECT_FALSE(Enabled(GL_ALPHA_TEST));
  EXPECT_FALSE(Enabled(GL_CULL_FACE));
  GLint polygonMode[2] = {};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_FILL);
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), modelview);
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 1);
  EXPECT_FLOAT_EQ(GetFloat4(GL_CURRENT_COLOR)[3], 0.2f);  // the last drawn layer's colour

  EXPECT_EQ(Pixel(100, 100)[1], 255);  // 1024 x 768 window: layer space is pixels
  EXPECT_EQ(Pixel(300, 300), kBlack);
  EXPECT_EQ(Pixel(500, 500)[2], 255);
}

TEST_F(LayerRenderTest, AnUnloadedSystemLeavesGlAlone) {
  vtLayerSystem system(vt_2D_VTL, "");
  system.Layers.push_back(Still(512, 384, 1024, 768, {255, 255, 255, 255}, GL_ONE, GL_ZERO));
  glEnable(GL_BLEND);
  glMatrixMode(GL_PROJECTION);
  glColor4f(0.25f, 0.5f, 0.75f, 1);

  system.Render(1000);
  EXPECT_FALSE(Enabled(GL_LIGHTING));
  EXPECT_FALSE(Enabled(GL_DEPTH_TEST));
  EXPECT_TRUE(Enabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_PROJECTION);
  EXPECT_FLOAT_EQ(GetFloat4(GL_CURRENT_COLOR)[1], 0.5f);
  EXPECT_EQ(Pixel(512, 384), kBlack);
}

}  // namespace
