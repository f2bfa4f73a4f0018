#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "items/vtSkyU.h"
#include "resources/vtMapU.h"
#include "support/Feedback.h"
#include "support/GlTest.h"
#include "support/Images.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::FbPrimitive;
using testsupport::Rgba;

// Face colours in the order NEGX, NEGY, NEGZ, POSX, POSY, POSZ.
constexpr Rgba kFaceColours[6] = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
                                  {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};
constexpr const char* kFaceNames[6] = {"NEGX", "NEGY", "NEGZ", "POSX", "POSY", "POSZ"};

// The four quadrants of the picture: top left, top right, bottom left, bottom right.
constexpr Rgba kQuadrants[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};

// A view direction as the model-view rotation that looks that way.
struct View {
  const char* Name;
  float Angle, X, Y, Z;
};
constexpr View kLookNegZ{"-z", 0, 0, 1, 0};
constexpr View kLookPosZ{"+z", 180, 0, 1, 0};
constexpr View kLookPosX{"+x", 90, 0, 1, 0};
constexpr View kLookNegX{"-x", -90, 0, 1, 0};
constexpr View kLookNegY{"-y", 90, 1, 0, 0};
constexpr View kLookPosY{"+y", -90, 1, 0, 0};

class SkyTest : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    cd_ = std::make_unique<testsupport::ChangeDir>(dir_.Path());
    testsupport::ResetGlobals();
    std::filesystem::create_directories(dir_.File("data"));
    for (int f = 0; f < 6; ++f)
      ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File(std::string("data/") + kFaceNames[f] + ".png"), kFaceColours[f]));
    ASSERT_TRUE(testsupport::WriteImage(dir_.File("data/quad.png"), 16, 16, [](int x, int y) {
      return kQuadrants[(y < 8 ? 0 : 2) + (x < 8 ? 0 : 1)];
    }));
  }
  void TearDown() override { cd_.reset(); }

  std::unique_ptr<vtSky> Load(const std::string& description) {
    dir_.Write("data/sky.vtk", description);
    auto sky = std::make_unique<vtSky>();
    sky->FileName = GlobalFunc->WorkDir + "\\data\\sky.vtk";
    sky->LoadFromFile();
    return sky;
  }

  static std::string SixFaces() {
    std::string text;
    for (const char* face : kFaceNames)
      text += std::string("VT_TEXT_SOURCE_") + face + " \"data\\" + face + ".png\"\n";
    return text;
  }

  // Renders the sky from its centre with a 90 degree view and returns the
  // pixel at (x, y) of the 256 x 256 frame.
  Rgba Look(vtSky& sky, const View& view, int x = 128, int y = 128) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 1, 1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(view.Angle, view.X, view.Y, view.Z);
    sky.Render(0);
    return Pixel(x, y);
  }

  // Object-space corners of everything the sky sends, through an
  // orthographic view of -100..100 on every axis in a 200 x 200 viewport.
  std::vector<std::array<float, 3>> Corners(vtSky& sky) {
    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    std::vector<std::array<float, 3>> corners;
    for (const FbPrimitive& p : testsupport::CaptureFeedback([&] { sky.Render(0); }))
      for (const auto& v : p.Vertices) corners.push_back({v.X - 100, v.Y - 100, 100 - 200 * v.Z});
    return corners;
  }

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::ChangeDir> cd_;
};

TEST_F(SkyTest, EachFaceShowsItsTextureOnTheSideTheFormatNames) {
  auto sky = Load("VT_SKY_SIZE 100\n" + SixFaces());
  EXPECT_FALSE(sky->SingleTexture);
  const std::pair<View, int> expected[] = {{kLookNegZ, 5}, {kLookPosZ, 2}, {kLookPosX, 3},
                                           {kLookNegX, 0}, {kLookNegY, 1}, {kLookPosY, 4}};
  for (const auto& [view, face] : expected) {
    SCOPED_TRACE(view.Name);
    EXPECT_EQ(Look(*sky, view), kFaceColours[face]) << "expected " << kFaceNames[face];
  }
  // The list leaves lighting on, texturing off, white and the matrix as it was.
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  EXPECT_EQ(GetFloat4(GL_CURRENT_COLOR), (std::array<float, 4>{1, 1, 1, 1}));
  glLoadIdentity();
  glRotatef(30, 0, 1, 0);
  const auto before = Matrix(GL_MODELVIEW_MATRIX);
  sky->Render(0);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SkyTest, VerticalFacesAreNotMirrored) {
  auto sky = Load("VT_SKY_SIZE 100\nVT_TEXT_SOURCE \"data\\quad.png\"\n");
  for (const View& view : {kLookNegZ, kLookPosZ, kLookPosX, kLookNegX}) {
    SCOPED_TRACE(view.Name);
    EXPECT_EQ(Look(*sky, view, 64, 192), kQuadrants[0]);   // top left
    EXPECT_EQ(Look(*sky, view, 192, 192), kQuadrants[1]);  // top right
    EXPECT_EQ(Look(*sky, view, 64, 64), kQuadrants[2]);    // bottom left
    EXPECT_EQ(Look(*sky, view, 192, 64), kQuadrants[3]);   // bottom right
  }
}

TEST_F(SkyTest, TheBoxSpansHalfTheSizeEachWayWithPosZAtNegativeZ) {
  auto sky = Load("VT_SKY_SIZE 100\nVT_TEXT_SOURCE \"data\\quad.png\"\n");
  EXPECT_EQ(sky->Size, 100);
  EXPECT_TRUE(sky->SingleTexture);
  const auto corners = Corners(*sky);
  ASSERT_EQ(corners.size() % 3, 0u);
  ASSERT_GE(corners.size(), 12u);  // six quads, however split
  for (const auto& c : corners)
    for (float v : c) EXPECT_NEAR(std::fabs(v), 50.0f, 1e-3);
  // The first quad drawn is the POSZ face at z = -h.
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(corners[k][2], -50.0f, 1e-3);

  auto odd = Load("VT_SKY_SIZE 101\n");
  for (const auto& c : Corners(*odd))
    for (float v : c) EXPECT_NEAR(std::fabs(v), 50.5f, 1e-3);
}

TEST_F(SkyTest, ASingleTextureAfterFaceLinesServesAllFaces) {
  auto sky = Load("VT_SKY_NAME \"Dawn sky\"\nVT_SKY_SIZE 100\n"
                  "VT_TEXT_SOURCE_NEGX \"data\\NEGX.png\"\nVT_TEXT_SOURCE_POSZ \"data\\POSZ.png\"\n"
                  "VT_TEXT_SOURCE \"data\\POSY.png\"\nVT_TEXT_SOURCE_NEGZ \"data\\NEGZ.png\"\n");
  EXPECT_EQ(sky->Name, "Dawn sky");
  EXPECT_TRUE(sky->SingleTexture);
  EXPECT_NE(sky->FaceMaps[vtSky::NEGX], nullptr);  // read before, then unused
  EXPECT_EQ(sky->FaceMaps[vtSky::NEGZ], nullptr);  // read after: not loaded
  for (const View& view : {kLookNegZ, kLookPosZ, kLookPosX, kLookNegX, kLookNegY, kLookPosY}) {
    SCOPED_TRACE(view.Name);
    EXPECT_EQ(Look(*sky, view), kFaceColours[vtSky::POSY]);
  }
}

TEST_F(SkyTest, OnlyCapitalisedSphereSetsTheShapeAndBothDrawTheBox) {
  EXPECT_EQ(Load("VT_SKY_TYPE \"sphere\"\nVT_SKY_SIZE 10\n")->Shape, vt_BOX);
  auto sphere = Load("VT_SKY_TYPE \"Sphere\"\nVT_SKY_SIZE 10\n");
  EXPECT_EQ(sphere->Shape, vt_SPHERE);
  const auto corners = Corners(*sphere);
  EXPECT_GE(corners.size(), 12u);
  for (const auto& c : corners) EXPECT_NEAR(std::fabs(c[0]), 5.0f, 1e-3);
}

TEST_F(SkyTest, FacesWithoutATextureAreWhite) {
  auto sky = Load("VT_SKY_SIZE 100\nVT_TEXT_SOURCE_POSZ \"data\\POSZ.png\"\n");
  EXPECT_EQ(Look(*sky, kLookNegZ), kFaceColours[vtSky::POSZ]);
  EXPECT_EQ(Look(*sky, kLookPosX), (Rgba{255, 255, 255, 255}));
}

TEST_F(SkyTest, EverySkyTextureClampsToItsEdgeEvenWhenItCameFromTheStore) {
  // Loaded before by another item and no longer bound.
  vtDiffuseMap earlier;
  earlier.Texture->SetFileName("data\\POSX.png");
  earlier.Texture->Load();
  glBindTexture(GL_TEXTURE_2D, 0);

  auto sky = Load("VT_SKY_SIZE 100\n" + SixFaces());
  for (const auto& map : sky->FaceMaps) {
    ASSERT_NE(map, nullptr);
    glBindTexture(GL_TEXTURE_2D, map->Texture->Id);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) {
      GLint mode = 0;
      glGetTexParameteriv(GL_TEXTURE_2D, wrap, &mode);
      EXPECT_EQ(mode, GL_CLAMP_TO_EDGE) << map->Texture->FileName;
    }
  }
  EXPECT_EQ(sky->FaceMaps[vtSky::POSX]->Texture->Id, earlier.Texture->Id);
}

TEST_F(SkyTest, ABadSizeRaisesTheConversionErrorAndBuildsNothing) {
  try {
    Load("VT_SKY_NAME \"x\"\nVT_SKY_SIZE 10.5\n");
    FAIL() << "no conversion error";
  } catch (const vtConvertError& e) {
    EXPECT_STREQ(e.what(), "\"10.5\" is an invalid integer");
    EXPECT_EQ(e.LineNumber, 2);
  }
}

TEST_F(SkyTest, AMissingFileDrawsNothing) {
  vtSky sky;
  sky.FileName = GlobalFunc->WorkDir + "\\data\\none.vtk";
  sky.LoadFromFile();
  EXPECT_EQ(sky.DisplayList, 0u);
  EXPECT_TRUE(Corners(sky).empty());
  EXPECT_FALSE(Enabled(GL_LIGHTING));  // list 0 changes nothing
}

TEST_F(SkyTest, TheFactoryMakesSkies) {
  auto item = CreateRenderItem(vt_SKY, "a\\b.vtk");
  auto* sky = dynamic_cast<vtSky*>(item.get());
  ASSERT_NE(sky, nullptr);
  EXPECT_EQ(item->ItemType, vt_SKY);
  EXPECT_EQ(sky->Shape, vt_BOX);
  EXPECT_EQ(sky->DisplayList, 0u);
}

}  // namespace
