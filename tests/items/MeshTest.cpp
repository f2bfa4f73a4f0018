#include <gtest/gtest.h>

#include <cmath>

#include "core/vtDemoPathU.h"
#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "items/vtMeshU.h"
#include "platform/MessageBox.h"
#include "support/Feedback.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::FbPrimitive;
using testsupport::FbVertex;

constexpr const char* kTorus =
    "VT_MESH_INFO {\n"
    "VT_MESH_TYPE\n"
    "VT_MESH_NAME \"ring\"\n"
    "VT_GEN_TYPE \"vt_TORUS\"\n"
    "VT_PARAMETER {\n"
    "VT_RADIUS 2.0\n"
    "VT_WITH\t0.5\n"
    "VT_STACKS 16\n"
    "VT_SLICES 32\n"
    "}\n"
    "}\n";

// Replaces the first occurrence of from in text by to.
std::string With(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class MeshTest : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    cd_ = std::make_unique<testsupport::ChangeDir>(dir_.Path());
    testsupport::ResetGlobals();
  }
  void TearDown() override { cd_.reset(); }

  std::unique_ptr<vtMesh> Load(const std::string& description, const std::string& name = "mesh.vto") {
    dir_.Write(name, description);
    auto mesh = std::make_unique<vtMesh>();
    mesh->FileName = GlobalFunc->WorkDir + "\\" + name;
    mesh->LoadFromFile();
    return mesh;
  }

  // What drawing the mesh sends, in object coordinates: an orthographic
  // view of -10..10 on every axis in a 200 x 200 viewport.
  std::vector<FbPrimitive> Capture(vtMesh& mesh) {
    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    auto prims = testsupport::CaptureFeedback([&] { mesh.Render(0); });
    for (FbPrimitive& p : prims)
      for (FbVertex& v : p.Vertices) v = {v.X / 10 - 10, v.Y / 10 - 10, 10 - 20 * v.Z, v.Color, v.Tex};
    return prims;
  }

  static int Triangles(const std::vector<FbPrimitive>& prims) {
    int n = 0;
    for (const FbPrimitive& p : prims)
      if (p.Token == GL_POLYGON_TOKEN) n += static_cast<int>(p.Vertices.size()) - 2;
    return n;
  }

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::ChangeDir> cd_;
};

// Two triangles sharing an edge, with every input list filled.
void FillSquare(vtMesh& mesh) {
  mesh.Name = "square";
  mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  mesh.Faces = {{0, 1, 2}, {2, 3, 0}};
  mesh.Normals = {{0, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}};
  mesh.TexVertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0.5f}, {0, 1, 0}};
  mesh.TexFaces = {{0, 1, 2}, {2, 3, 0}};
}

TEST_F(MeshTest, ATorusCompilesClosedQuadStripsStartingOnTheXAxis) {
  auto mesh = Load(kTorus);
  EXPECT_EQ(mesh->Name, "ring");
  EXPECT_TRUE(mesh->HasMeshType);
  EXPECT_EQ(mesh->GenType, vt_TORUS);
  EXPECT_TRUE(mesh->UsePositions && mesh->UseNormals && mesh->UseTexCoords);
  EXPECT_TRUE(mesh->Geometry.empty());

  const auto prims = Capture(*mesh);
  // 16 strips of 33 vertex pairs: 16 x 32 quads, however the strips are split.
  EXPECT_EQ(Triangles(prims), 16 * 32 * 2);
  ASSERT_FALSE(prims.empty());
  bool firstFound = false;
  for (const FbVertex& v : prims[0].Vertices)
    if (std::fabs(v.X - 2.5f) < 1e-3f && std::fabs(v.Y) < 1e-3f && std::fabs(v.Z) < 1e-3f) {
      firstFound = true;
      EXPECT_EQ(v.Tex[0], 0.0f);
      EXPECT_EQ(v.Tex[1], 0.0f);
    }
  EXPECT_TRUE(firstFound) << "the first quad does not start at (R + w, 0, 0)";
  // Every vertex lies on the tube: distance w from the ring of radius R.
  for (const FbPrimitive& p : prims)
    for (const FbVertex& v : p.Vertices)
      EXPECT_NEAR(std::hypot(std::hypot(v.X, v.Z) - 2.0, v.Y), 0.5, 1e-3);
}

TEST_F(MeshTest, TheTorusNormalFacesAwayFromTheTube) {
  vtMesh mesh;
  vtTorusParam p;
  p.Radius = 2;
  p.Width = 0.5f;
  p.Stacks = 4;
  p.Slices = 4;
  GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  mesh.TorusVertex(0, 0, p);
  glEndList();
  glBegin(GL_POINTS);  // the normal is the current one after the vertex
  glCallList(list);
  glEnd();
  EXPECT_EQ(GetFloat4(GL_CURRENT_NORMAL)[0], 1.0f);
  glNormal3f(0, 0, 1);
  glBegin(GL_POINTS);
  mesh.TorusVertex(1, 1, p);  // a = b = 90 degrees: straight up
  glEnd();
  const auto n = GetFloat4(GL_CURRENT_NORMAL);
  EXPECT_NEAR(n[0], 0, 1e-6);
  EXPECT_NEAR(n[1], 1, 1e-6);
  EXPECT_NEAR(n[2], 0, 1e-6);
  glDeleteLists(list, 1);
}

TEST_F(MeshTest, BuildGeometryMakesThreeRecordsPerFaceInFaceOrder) {
  vtMesh mesh;
    FillSquare(mesh);
  ASSERT_TRUE(mesh.BuildGeometry());
  ASSERT_EQ(mesh.Geometry.size(), 6u);
  EXPECT_EQ(mesh.Indices, (std::vector<vtIndex>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(mesh.Geometry[3].Position.X, 1.0f);  // face 1 corner A = vertex 2
  EXPECT_EQ(mesh.Geometry[3].Position.Y, 1.0f);
  EXPECT_EQ(mesh.Geometry[2].Normal.Y, 1.0f);     // normal 3k+m
  EXPECT_EQ(mesh.Geometry[2].TexCoord.W, 0.5f);   // all three texture components
  EXPECT_EQ(mesh.Geometry[5].TexCoord.U, 0.0f);

  // Positions only, normals, then everything: each mode draws both triangles.
  for (auto [normals, tex] : {std::pair{false, false}, {true, false}, {true, true}}) {
    mesh.UseNormals = normals;
    mesh.UseTexCoords = tex;
    const auto prims = Capture(mesh);
    ASSERT_EQ(Triangles(prims), 2);
  }
  mesh.UseNormals = false;
  mesh.UseTexCoords = true;  // no list for this combination
  EXPECT_TRUE(Capture(mesh).empty());

  mesh.UseNormals = true;
  const auto textured = Capture(mesh);
  bool sawW = false;
  for (const FbPrimitive& p : textured)
    for (const FbVertex& v : p.Vertices) sawW = sawW || v.Tex[2] == 0.5f;
  EXPECT_TRUE(sawW);
}

TEST_F(MeshTest, MissingTextureCoordinatesAreZeroAndMissingNormalsFlat) {
  vtMesh mesh;
  FillSquare(mesh);
  mesh.Normals.clear();
  mesh.TexFaces.clear();
  ASSERT_TRUE(mesh.BuildGeometry());
  EXPECT_EQ(mesh.NormalSource, vtMesh::NormalRule::PerFace);
  for (const vtGeom& g : mesh.Geometry) {
    EXPECT_EQ(g.Normal.X, 0.0f);  // the square lies in z = 0, facing +z
    EXPECT_EQ(g.Normal.Y, 0.0f);
    EXPECT_EQ(g.Normal.Z, 1.0f);
    EXPECT_EQ(g.TexCoord.U, 0.0f);
    EXPECT_EQ(g.TexCoord.V, 0.0f);
  }
  EXPECT_EQ(mesh.Geometry[1].Position.X, 1.0f);

  vtMesh empty;
  ASSERT_TRUE(empty.BuildGeometry());
  EXPECT_EQ(empty.NormalSource, vtMesh::NormalRule::PerCorner);
  EXPECT_TRUE(empty.Geometry.empty());
  EXPECT_TRUE(glIsList(empty.PositionList) && glIsList(empty.NormalList) && glIsList(empty.TexturedList));
  EXPECT_TRUE(Capture(empty).empty());
}

// Fewer than three normals per face: one per vertex (indexed by the vertex
// number) when there are enough, otherwise a flat normal per face.
TEST_F(MeshTest, ObjectsWithFewerNormalsThanCornersTakeVertexOrFaceNormals) {
  const float kNaN = std::nanf("");
  struct Case {
    const char* What;
    std::vector<vtVec3D> Vertices;
    std::vector<vtFace> Faces;
    std::vector<vtVec3D> Normals;
    vtMesh::NormalRule Rule;
    std::vector<vtVec3D> Expected;  // per corner
  };
  const std::vector<vtVec3D> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const std::vector<vtFace> halves = {{0, 1, 2}, {2, 3, 0}};
  const std::vector<vtVec3D> fourNormals = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, -1}};
  const Case cases[] = {
      {"one per vertex", square, halves, fourNormals, vtMesh::NormalRule::PerVertex,
       {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, -1}, {1, 0, 0}}},
      {"more than vertices, fewer than corners", square, halves,
       {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, -1}, {9, 9, 9}}, vtMesh::NormalRule::PerVertex,
       {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, -1}, {1, 0, 0}}},
      {"fewer than vertices", square, halves, {{1, 0, 0}}, vtMesh::NormalRule::PerFace,
       {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
      {"clockwise and tilted", {{0, 0, 0}, {0, 2, 0}, {2, 0, 2}}, {{0, 1, 2}}, {}, vtMesh::NormalRule::PerFace,
       {{0.70710677f, 0, -0.70710677f}, {0.70710677f, 0, -0.70710677f}, {0.70710677f, 0, -0.70710677f}}},
      {"degenerate faces", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {kNaN, 0, 0}}, {{0, 1, 2}, {0, 1, 3}}, {},
       vtMesh::NormalRule::PerFace, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
      {"no vertices at all", {}, halves, {{1, 0, 0}}, vtMesh::NormalRule::PerFace,
       {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    platform::MessageBoxRecorder boxes;
    vtMesh mesh;
    mesh.Vertices = c.Vertices;
    mesh.Faces = c.Faces;
    mesh.Normals = c.Normals;
    ASSERT_TRUE(mesh.BuildGeometry());
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(mesh.NormalSource, c.Rule);
    ASSERT_EQ(mesh.Geometry.size(), c.Expected.size());
    for (size_t i = 0; i < c.Expected.size(); ++i) {
      EXPECT_FLOAT_EQ(mesh.Geometry[i].Normal.X, c.Expected[i].X) << "corner " << i;
      EXPECT_FLOAT_EQ(mesh.Geometry[i].Normal.Y, c.Expected[i].Y) << "corner " << i;
      EXPECT_FLOAT_EQ(mesh.Geometry[i].Normal.Z, c.Expected[i].Z) << "corner " << i;
    }
    EXPECT_FALSE(mesh.Refused);
  }
}

TEST_F(MeshTest, ObjectsWithIndicesOutsideTheirListsAreRefusedAndDrawNothing) {
  struct Case {
    const char* What;
    void (*Spoil)(vtMesh&);
  };
  const Case cases[] = {
      {"face index", [](vtMesh& m) { m.Faces[1].B = 4; }},
      {"negative face index", [](vtMesh& m) { m.Faces[0].A = -1; }},
      {"texture-face index", [](vtMesh& m) { m.TexFaces[1].C = 9; }},
      {"too few texture faces", [](vtMesh& m) { m.TexFaces.pop_back(); }},
      {"face index beyond the vertices, normals one per vertex",
       [](vtMesh& m) {
         m.Normals.resize(5);
         m.Faces[0].C = 5;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    platform::MessageBoxRecorder boxes;
    vtMesh mesh;
    FillSquare(mesh);
    mesh.FileName = "C:\\demo\\scene.ase";
    c.Spoil(mesh);
    EXPECT_FALSE(mesh.BuildGeometry());
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].Caption, kCaptionWarning);
    EXPECT_NE(boxes.Calls()[0].Text.find("square"), std::string::npos);
    EXPECT_NE(boxes.Calls()[0].Text.find("C:\\demo\\scene.ase"), std::string::npos);
    EXPECT_TRUE(Capture(mesh).empty());
  }
}

TEST_F(MeshTest, TheGeneratorKeyMustNameTheTorusExactly) {
  for (const char* name : {"TORUS", "vt_torus", "vt_TORUS "}) {
    SCOPED_TRACE(name);
    auto mesh = Load(With(kTorus, "\"vt_TORUS\"", std::string("\"") + name + "\""));
    EXPECT_EQ(mesh->GenType, vt_NONE);
    EXPECT_EQ(mesh->TexturedList, 0u);
    EXPECT_TRUE(Capture(*mesh).empty());
  }
}

TEST_F(MeshTest, ATorusWithoutMeshTypeIsCompiledButNotDrawn) {
  auto mesh = Load(With(kTorus, "VT_MESH_TYPE\n", ""));
  EXPECT_TRUE(glIsList(mesh->TexturedList));
  EXPECT_TRUE(Capture(*mesh).empty());
}

TEST_F(MeshTest, KeysAfterTheParameterBlockAreNotRead) {
  auto mesh = Load(With(kTorus, "VT_MESH_NAME \"ring\"\n", "") + "VT_MESH_NAME \"late\"\n");
  EXPECT_EQ(mesh->Name, "");
  auto inside = Load(With(With(kTorus, "VT_MESH_NAME \"ring\"\n", ""), "}\n}\n", "}\nVT_MESH_NAME \"late\"\n}\n"));
  EXPECT_EQ(inside->Name, "");
  EXPECT_EQ(Triangles(Capture(*inside)), 16 * 32 * 2);
}

TEST_F(MeshTest, StacksOrSlicesBelowOneOrHugeGenerateNothingWithAWarning) {
  for (const char* spoil : {"VT_STACKS 0", "VT_SLICES -2", "VT_STACKS 2000000000"}) {
    SCOPED_TRACE(spoil);
    platform::MessageBoxRecorder boxes;
    const std::string key = std::string(spoil).substr(0, 9);
    auto mesh = Load(With(kTorus, key + (key == "VT_STACKS" ? " 16" : " 32"), spoil), "bad.vto");
    EXPECT_EQ(mesh->TexturedList, 0u);
    EXPECT_TRUE(Capture(*mesh).empty());
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].Caption, kCaptionWarning);
    EXPECT_NE(boxes.Calls()[0].Text.find("File: " + DemoPath(mesh->FileName)), std::string::npos);
  }
}

TEST_F(MeshTest, BlocksCutShortByTheEndOfTheFileStopReading) {
  const std::string cuts[] = {
      "VT_MESH_INFO {\nVT_MESH_TYPE\nVT_GEN_TYPE \"vt_TORUS\"\nVT_PARAMETER {\nVT_RADIUS 2.0\nVT_STACKS 4",
      "VT_MESH_INFO {\nVT_MESH_TYPE\nVT_MESH_NAME \"open\"",
      "VT_MESH_INFO {\n/* never closed\nVT_MESH_TYPE\n",
  };
  for (const std::string& text : cuts) {
    SCOPED_TRACE(text);
    auto mesh = Load(text);
    EXPECT_EQ(mesh->TexturedList, 0u);
    EXPECT_TRUE(Capture(*mesh).empty());
  }
  EXPECT_EQ(Load(cuts[1])->Name, "open");
}

TEST_F(MeshTest, AGeneratorWithoutParametersGeneratesNothing) {
  auto mesh = Load("VT_MESH_INFO {\nVT_MESH_TYPE\nVT_GEN_TYPE \"vt_TORUS\"\n}\nVT_PARAMETER {\nVT_STACKS 4\n}\n");
  EXPECT_EQ(mesh->GenType, vt_TORUS);
  EXPECT_EQ(mesh->TexturedList, 0u);
  EXPECT_TRUE(Capture(*mesh).empty());
}

TEST_F(MeshTest, CommentsInsideTheBlocksAreSkipped) {
  auto mesh = Load(With(With(kTorus, "VT_STACKS 16\n", "# VT_STACKS 99\nVT_STACKS 16\n"), "VT_SLICES 32\n",
                        "/* VT_SLICES 3\n}\n*/ VT_SLICES 32\n"));
  EXPECT_EQ(Triangles(Capture(*mesh)), 16 * 32 * 2);
}

TEST_F(MeshTest, ANonIntegerStackCountRaisesTheConversionError) {
  EXPECT_THROW(Load(With(kTorus, "VT_STACKS 16", "VT_STACKS 16.5")), vtConvertError);
}

TEST_F(MeshTest, AMissingOrMisnamedFileLeavesTheMeshEmpty) {
  vtMesh missing;
  missing.FileName = GlobalFunc->WorkDir + "\\none.vto";
  missing.LoadFromFile();
  EXPECT_TRUE(Capture(missing).empty());

  platform::MessageBoxRecorder boxes;
  auto wrong = Load(kTorus, "mesh.VTO");
  EXPECT_EQ(wrong->TexturedList, 0u);
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, kCaptionPanic);
}

}  // namespace
