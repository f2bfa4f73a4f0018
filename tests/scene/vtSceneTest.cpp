// Scene drawing on the offscreen context: passes, maps and the state left
// behind, checked through pixels and OpenGL state.
#include "scene/vtSceneU.h"

#include <gtest/gtest.h>

#include <utility>

#include "scene/vtSceneASEU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::Rgba;

class SceneDraw : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    testsupport::ResetGlobals();
    scene_.Loaded = true;
  }
  void TearDown() override {
    for (GLuint t : textures_) glDeleteTextures(1, &t);
  }

  // A quad from (x0, y0) to (x1, y1) in clip space at depth z, facing the
  // viewer, with texture coordinates, normals and its own display lists.
  vtMesh& AddQuad(float x0, float y0, float x1, float y1, std::int32_t materialRef = 0, float z = 0) {
    auto mesh = std::make_unique<vtMesh>();
    mesh->Vertices = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}};
    mesh->Faces = {{0, 1, 2}, {0, 2, 3}};
    mesh->Normals.assign(6, vtVec3D{0, 0, 1});
    mesh->TexVertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh->TexFaces = mesh->Faces;
    mesh->MaterialRef = materialRef;
    EXPECT_TRUE(mesh->BuildGeometry());
    scene_.Objects.push_back(std::move(mesh));
    return *scene_.Objects.back();
  }

  // A material whose lit colour is exactly its emission (no lights on).
  vtMat& AddMaterial(float r, float g, float b, float transparency = 0) {
    auto m = std::make_unique<vtMat>();
    m->Ambient = {0, 0, 0, 1};
    m->Diffuse = {0, 0, 0, 1};
    m->Emission = {r, g, b, 1};
    m->Transparency = transparency;
    scene_.Materials.push_back(std::move(m));
    return *scene_.Materials.back();
  }

  // A one-texel texture of the colour, made current for the map.
  template <class Map>
  void GiveMap(std::unique_ptr<Map>& map, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    map = std::make_unique<Map>();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const std::uint8_t texel[4] = {r, g, b, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glBindTexture(GL_TEXTURE_2D, 0);
    map->Texture->Id = name;
    textures_.push_back(name);
  }

  Rgba Center() const { return Pixel(Width() / 2, Height() / 2); }

  vtSceneASE scene_;
  std::vector<GLuint> textures_;
};

const Rgba kBlack{0, 0, 0, 0};

TEST_F(SceneDraw, WithoutMaterialsObjectsAreDrawnFromPositionsOnly) {
  vtMesh& o = AddQuad(-1, -1, 1, 1);
  o.UseNormals = true;
  o.UseTexCoords = false;
  glColor4f(0, 1, 0, 1);
  glEnable(GL_BLEND);  // left as it is
  glBlendFunc(GL_ZERO, GL_ONE);
  glDisable(GL_BLEND);
  scene_.Render(0);
  EXPECT_FALSE(o.UseNormals);
  EXPECT_EQ(Center(), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
  EXPECT_EQ(Error(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneDraw, TransparentObjectsAreAddedOntoWhatIsBehindThemAfterTheOpaqueOnes) {
  glEnable(GL_LIGHTING);
  AddMaterial(1, 0, 0);
  AddMaterial(0, 0.5f, 0, 0.5f);
  AddMaterial(0, 0, 1, -1.0f);  // negative: opaque
  AddQuad(-1, -1, 0.5f, 1, 1);  // transparent, listed first
  AddQuad(-1, -1, 0, 1, 0);     // opaque red on the left half
  AddQuad(-0.5f, -1, 1, 1, 2);  // opaque blue, drawn before the transparent one
  scene_.Render(0);
  const int w = Width(), y = Height() / 2;
  EXPECT_EQ(Pixel(w / 8, y), (Rgba{255, 128, 0, 255}));      // red + half green
  EXPECT_EQ(Pixel(w / 2, y), (Rgba{0, 128, 255, 255}));      // blue (over red) + half green
  EXPECT_EQ(Pixel(w * 7 / 8, y), (Rgba{0, 0, 255, 255}));    // blue alone
  EXPECT_FALSE(Enabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_BLEND_SRC), GL_ONE);
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
}

// An object built with only the lists its material draws (ListsDrawn)
// shows the pixels of one built with all of them, whatever maps it has.
TEST_F(SceneDraw, TheListsDrawnAloneGiveThePictureOfAllLists) {
  for (int maps = 0; maps < 4; ++maps) {
    SCOPED_TRACE(maps);
    scene_.Objects.clear();
    scene_.Materials.clear();
    vtMat& m = AddMaterial(0.5f, 0.25f, 0);
    if (maps & 1) GiveMap(m.DiffuseMap, 255, 0, 0);
    if (maps & 2) GiveMap(m.ReflectMap, 0, 0, 255);
    vtMesh& o = AddQuad(-1, -1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene_.Render(0);
    const Rgba allLists = Center();
    EXPECT_NE(allLists, kBlack);
    for (std::uint32_t* list : {&o.PositionList, &o.NormalList, &o.TexturedList})
      glDeleteLists(std::exchange(*list, 0), 1);
    o.ListsWanted = scene_.ListsDrawn(o);
    o.BuildLists();
    EXPECT_EQ(o.PositionList, 0u);
    EXPECT_EQ(o.TexturedList != 0, (maps & 1) != 0);
    EXPECT_EQ(o.NormalList != 0, maps != 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene_.Render(0);
    EXPECT_EQ(Center(), allLists);
  }
}

TEST_F(SceneDraw, BothMapsDrawTheReflectionOntoExactlyTheTexturedPixels) {
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  vtMat& m = AddMaterial(0, 0, 0);
  GiveMap(m.DiffuseMap, 255, 0, 0);
  GiveMap(m.ReflectMap, 0, 0, 255);
  // Something nearer covers the right half; the reflection pass must not
  // draw through it.
  glColor4f(0, 1, 0, 1);
  glBegin(GL_QUADS);
  glVertex3f(0, -1, -0.5f);
  glVertex3f(1, -1, -0.5f);
  glVertex3f(1, 1, -0.5f);
  glVertex3f(0, 1, -0.5f);
  glEnd();
  glColor4f(1, 1, 1, 1);
  vtMesh& o = AddQuad(-1, -1, 1, 1);
  scene_.Render(0);
  EXPECT_EQ(Pixel(Width() / 4, Height() / 2), (Rgba{255, 0, 255, 255}));  // texture + reflection
  EXPECT_EQ(Pixel(Width() * 3 / 4, Height() / 2), (Rgba{0, 255, 0, 255}));
  EXPECT_FALSE(o.UseTexCoords);  // the second pass took its coordinates from the generation
  EXPECT_TRUE(o.UseNormals);
  EXPECT_EQ(GetInt(GL_DEPTH_FUNC), GL_LEQUAL);
  EXPECT_FALSE(Enabled(GL_BLEND));
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_T));
  GLint mode = 0;
  glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
  EXPECT_EQ(mode, GL_SPHERE_MAP);
  EXPECT_EQ(Error(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneDraw, AReflectionAloneReplacesAndADisabledOneIsNotDrawn) {
  vtMat& m = AddMaterial(1, 0, 0);
  GiveMap(m.ReflectMap, 0, 0, 255);
  glColor4f(1, 1, 1, 1);
  AddQuad(-1, -1, 1, 1);
  scene_.Render(0);
  EXPECT_EQ(Center(), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(GetInt(GL_DEPTH_FUNC), GL_LEQUAL);  // set even without a diffuse map

  m.ReflectMap->Enabled = false;
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_LIGHTING);
  scene_.Render(0);
  EXPECT_EQ(Center(), (Rgba{255, 0, 0, 255}));
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
}

TEST_F(SceneDraw, AReflectingTransparentObjectTurnsBlendingOffForTheOnesAfterIt) {
  glEnable(GL_LIGHTING);
  AddMaterial(1, 0, 0);
  vtMat& reflecting = AddMaterial(0, 0, 0, 0.5f);
  GiveMap(reflecting.ReflectMap, 0, 0, 0);
  AddMaterial(0, 1, 0, 0.5f);
  AddQuad(-1, -1, 1, 1, 0);
  AddQuad(-1, -1, -0.5f, -0.5f, 1);  // a corner only
  AddQuad(-1, -1, 1, 1, 2);
  scene_.Render(0);
  EXPECT_EQ(Center(), (Rgba{0, 255, 0, 255}));  // drawn over, not added
  EXPECT_FALSE(Enabled(GL_BLEND));
}

TEST_F(SceneDraw, InvisibleObjectsAreSkippedInBothPasses) {
  glEnable(GL_LIGHTING);
  AddMaterial(1, 0, 0);
  AddMaterial(0, 1, 0, 1);
  AddQuad(-1, -1, 1, 1, 0).Visible = false;
  AddQuad(-1, -1, 1, 1, 1).Visible = false;
  scene_.Render(0);
  EXPECT_EQ(Center(), kBlack);
}

TEST_F(SceneDraw, AMaterialRefOutsideTheListUsesTheFirstMaterial) {
  glEnable(GL_LIGHTING);
  AddMaterial(0, 0, 1, 1);  // transparent: the object goes to the second pass
  AddMaterial(1, 0, 0);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  AddQuad(-1, -1, 1, 1, 7);
  AddQuad(-1, -1, 1, 1, -1);
  scene_.Render(0);
  EXPECT_EQ(Center(), (Rgba{255, 0, 255, 255}));  // red + blue + blue, clamped
}

TEST_F(SceneDraw, BlendingIsSwitchedEvenWithoutObjectsAndNothingIsDrawnUnlessLoaded) {
  AddMaterial(1, 1, 1);
  glEnable(GL_BLEND);
  scene_.Render(0);
  EXPECT_FALSE(Enabled(GL_BLEND));

  AddQuad(-1, -1, 1, 1);
  glEnable(GL_BLEND);
  scene_.Loaded = false;
  scene_.Render(0);
  EXPECT_EQ(Center(), kBlack);
  EXPECT_TRUE(Enabled(GL_BLEND));
}

}  // namespace
