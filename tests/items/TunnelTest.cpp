#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/vtFuncU.h"
#include "items/vtTunnelU.h"
#include "platform/MessageBox.h"
#include "resources/vtStoreU.h"
#include "support/Feedback.h"
#include "support/GlTest.h"
#include "support/Images.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::FbPrimitive;
using testsupport::Rgba;

constexpr double kPi = 3.14159265358979323846;

class TunnelTest : public testsupport::GlTest {
 protected:
  int Width() const override { return 256; }
  int Height() const override { return 192; }

  void SetUp() override {
    GlTest::SetUp();
    cd_ = std::make_unique<testsupport::ChangeDir>(dir_.Path());
    testsupport::ResetGlobals();
    std::filesystem::create_directories(dir_.File("data"));
    ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/green.png"), Rgba{0, 255, 0, 255}));
  }
  void TearDown() override { cd_.reset(); }

  // A tunnel read from a description with these lines.
  std::unique_ptr<vtTunnel> Load(const std::string& description) {
    dir_.Write("data/tunnel.vts", description);
    auto tunnel = std::make_unique<vtTunnel>();
    tunnel->FileName = GlobalFunc->WorkDir + "\\data\\tunnel.vts";
    tunnel->LoadFromFile();
    return tunnel;
  }

  // Everything the tunnel sends, seen through a projection that shows it whole.
  std::vector<FbPrimitive> Capture(vtTunnel& tunnel, float time) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-20, 20, -20, 20, -1, 100);
    glMatrixMode(GL_MODELVIEW);
    return testsupport::CaptureFeedback([&] { tunnel.Render(time); });
  }

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::ChangeDir> cd_;
};

TEST_F(TunnelTest, TheNearRingIsAFixedCircleAndTheTubeCloses) {
  vtTunnel tunnel;
  for (float time : {0.0f, 1234.0f, 20000.0f, 987654.0f}) {
    SCOPED_TRACE(time);
    tunnel.Render(time);
    for (int i = 0; i <= 12; ++i) {
      EXPECT_NEAR(tunnel.Points[i][0].X, 3 * std::cos(2 * kPi * i / 12), 1e-5);
      EXPECT_NEAR(tunnel.Points[i][0].Y, 3 * std::sin(2 * kPi * i / 12), 1e-5);
      EXPECT_EQ(tunnel.Points[i][0].Z, 0.0f);
    }
    for (int j = 0; j < 33; ++j) {
      EXPECT_NEAR(tunnel.Points[12][j].X, tunnel.Points[0][j].X, 1e-5);
      EXPECT_NEAR(tunnel.Points[12][j].Y, tunnel.Points[0][j].Y, 1e-5);
      EXPECT_EQ(tunnel.Points[0][j].Z, static_cast<float>(-j));
    }
  }
  // Deeper rings narrow and swing away from the axis.
  tunnel.Render(5000);
  const vtVec3D& a = tunnel.Points[0][32];
  const vtVec3D& b = tunnel.Points[6][32];
  EXPECT_NEAR(std::hypot(a.X - b.X, a.Y - b.Y), 2.0 / 3.0, 1e-4);  // diameter 2/3 at j = 32
  EXPECT_GT(std::hypot((a.X + b.X) / 2, (a.Y + b.Y) / 2), 0.1);
  const double T = 5000 / 40.0;
  const double swayX = 2 * std::sin((20 + T) / 29) + std::cos((20 + T) / 13) - 2 * std::sin(T / 29) - std::cos(T / 13);
  EXPECT_NEAR(tunnel.Points[3][10].X, (3 - 10 / 12.0) * std::cos(kPi / 2) + swayX, 1e-4);
}

TEST_F(TunnelTest, RingsScrollTheTextureAndFadeToGrey) {
  auto tunnel = Load("VT_DIFFUSE_MAP \"data\\green.png\"\n");
  const auto prims = Capture(*tunnel, 2000);  // T = 50: scrolled by exactly 1.0
  ASSERT_FALSE(prims.empty());
  float minT = 1e9f, maxT = -1e9f, minS = 1e9f, maxS = -1e9f;
  for (const FbPrimitive& p : prims)
    for (const auto& v : p.Vertices) {
      minS = std::min(minS, v.Tex[0]);
      maxS = std::max(maxS, v.Tex[0]);
      minT = std::min(minT, v.Tex[1]);
      maxT = std::max(maxT, v.Tex[1]);
      // The near edge of ring 0 is white, the far edge of ring 30 grey 0.4.
      if (std::fabs(v.Tex[1] - 1.0f) < 1e-6f) {
        EXPECT_FLOAT_EQ(v.Color[0], 1.0f);
      }
      if (std::fabs(v.Tex[1] - (1.0f + 31.0f / 32)) < 1e-6f) {
        EXPECT_NEAR(v.Color[1], 0.4f, 1e-6);
      }
      EXPECT_EQ(v.Color[0], v.Color[2]);
    }
  EXPECT_FLOAT_EQ(minT, 1.0f);
  EXPECT_FLOAT_EQ(maxT, 1.0f + 31.0f / 32);
  EXPECT_FLOAT_EQ(minS, -0.25f);
  EXPECT_FLOAT_EQ(maxS, 0.75f);
  // The texture stays bound for whatever is drawn next.
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_EQ(GetInt(GL_TEXTURE_BINDING_2D), static_cast<GLint>(tunnel->DiffuseMap->Texture->Id));
  EXPECT_NEAR(GetFloat4(GL_CURRENT_COLOR)[0], 0.4f, 1e-6);  // the last ring's grey
}

TEST_F(TunnelTest, QuadsFillTheRingsAndLinesDrawOnlyTheRingEdges) {
  auto quads = Load("VT_EFFECT \"vt_EFFECT00\"\n");
  int area = 0;  // triangles, whichever way the quads were split
  for (const FbPrimitive& p : Capture(*quads, 0))
    if (p.Token == GL_POLYGON_TOKEN) area += static_cast<int>(p.Vertices.size()) - 2;
  EXPECT_EQ(area, 31 * 12 * 2);

  auto lines = Load("# ring edges only\nVT_EFFECT \"vt_EFFECT01\"\n");
  EXPECT_EQ(lines->Effect, vt_EFFECT01);
  const auto prims = Capture(*lines, 0);
  EXPECT_EQ(testsupport::CountTokens(prims, GL_POLYGON_TOKEN), 0);
  EXPECT_EQ(testsupport::CountTokens(prims, GL_LINE_TOKEN) + testsupport::CountTokens(prims, GL_LINE_RESET_TOKEN),
            31 * 24);
  // Every segment runs around a ring, never along the tube.
  for (const FbPrimitive& p : prims) EXPECT_FLOAT_EQ(p.Vertices[0].Z, p.Vertices[1].Z);
}

TEST_F(TunnelTest, EffectNamesFallBackAsTheFormatSays) {
  EXPECT_EQ(Load("VT_EFFECT \"vt_NOTHING\"\n")->Effect, vt_EFFECT00);
  EXPECT_EQ(Load("VT_EFFECT \"vt_EFFECT01\"\nVT_EFFECT \"\"\n")->Effect, vt_EFFECT01);
  EXPECT_EQ(Load("VT_EFFECT vt_EFFECT01\n")->Effect, vt_EFFECT00);  // no quotes: empty text

  // Another kind's tag becomes the style, and then nothing is drawn.
  auto mesh = Load("VT_EFFECT \"vt_MESH\"\n");
  EXPECT_EQ(mesh->Effect, vt_MESH);
  EXPECT_TRUE(Capture(*mesh, 100).empty());
}

TEST_F(TunnelTest, MissingOrMisnamedDescriptionDrawsUntexturedQuads) {
  vtTunnel missing;
  missing.FileName = GlobalFunc->WorkDir + "\\data\\none.vts";
  missing.LoadFromFile();
  EXPECT_EQ(missing.DiffuseMap, nullptr);
  EXPECT_EQ(missing.Effect, vt_EFFECT00);
  EXPECT_FALSE(Capture(missing, 0).empty());

  platform::MessageBoxRecorder boxes;
  dir_.Write("data/tunnel.txt", "VT_EFFECT \"vt_EFFECT01\"\n");
  vtTunnel wrong;
  wrong.FileName = GlobalFunc->WorkDir + "\\data\\tunnel.txt";
  wrong.LoadFromFile();
  EXPECT_EQ(wrong.Effect, vt_EFFECT00);
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, kCaptionPanic);
}

TEST_F(TunnelTest, TextureNameIsTakenRelativeToTheWorkingDirectory) {
  auto tunnel = Load("VT_DIFFUSE_MAP \"data\\green.png\"\nVT_DIFFUSE_MAP \"data\\green.png\"\n");
  ASSERT_NE(tunnel->DiffuseMap, nullptr);
  EXPECT_EQ(tunnel->DiffuseMap->Texture->FileName, "data\\green.png");
  EXPECT_NE(tunnel->DiffuseMap->Texture->Id, 0u);
  EXPECT_EQ(GlobalStore->Resources.size(), 1u);  // the second line reused the first load
}

// The player's start-up view: perspective 45 degrees, 4:3, from the
// tunnel's mouth down the negative z axis.
TEST_F(TunnelTest, AFrameShowsTheTexturedTubeAroundTheViewer) {
  auto tunnel = Load("VT_DIFFUSE_MAP \"data\\green.png\"\n");
  glMatrixMode(GL_PROJECTION);
  gluPerspective(45, 4.0 / 3.0, 1, 10000);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
  tunnel->Render(3000);

  const std::vector<std::uint8_t> pixels = Pixels();
  int black = 0, faded = 0, total = 0;
  for (size_t k = 0; k < pixels.size(); k += 4, ++total) {
    const std::uint8_t r = pixels[k], g = pixels[k + 1], b = pixels[k + 2];
    EXPECT_EQ(r, 0);  // green texture modulated by grey
    EXPECT_EQ(b, 0);
    if (r || b) break;
    if (g == 0) ++black;
    if (g > 0 && g < 240) ++faded;
  }
  // The walls cover the view; only the far opening may stay black.
  EXPECT_LT(black, total / 20);
  EXPECT_GT(faded, 0);  // the darkening far rings are in sight
  // The view's corners see the near walls, which are fully lit.
  for (auto [x, y] : {std::pair{0, 0}, {255, 0}, {0, 191}, {255, 191}}) EXPECT_EQ(Pixel(x, y)[1], 255);
}

TEST_F(TunnelTest, LineFramesLeaveMostOfTheViewBlack) {
  auto tunnel = Load("VT_DIFFUSE_MAP \"data\\green.png\"\nVT_EFFECT \"vt_EFFECT01\"\n");
  glMatrixMode(GL_PROJECTION);
  gluPerspective(45, 4.0 / 3.0, 1, 10000);
  glMatrixMode(GL_MODELVIEW);
  tunnel->Render(3000);
  const std::vector<std::uint8_t> pixels = Pixels();
  int lit = 0, total = 0;
  for (size_t k = 0; k < pixels.size(); k += 4, ++total) lit += pixels[k + 1] > 0;
  EXPECT_GT(lit, 0);
  EXPECT_LT(lit, total / 2);
}

TEST_F(TunnelTest, TheFactoryMakesTunnelsAndSkies) {
  auto item = CreateRenderItem(vt_TUNNEL, "x\\t.vts");
  ASSERT_NE(dynamic_cast<vtTunnel*>(item.get()), nullptr);
  EXPECT_EQ(item->ItemType, vt_TUNNEL);
  EXPECT_EQ(item->FileName, "x\\t.vts");
  EXPECT_EQ(static_cast<vtTunnel*>(item.get())->Effect, vt_EFFECT00);
}

}  // namespace
