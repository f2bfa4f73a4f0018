// The benchmarks' large ASE scene (tools/ase/make_scenes.py --big): the
// reader takes every tile whole, with the grid's counts, in-range indices,
// unit normals and tiles side by side, and the file passes the asked size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/MessageBox.h"
#include "scene/vtSceneASEU.h"
#include "support/TestGlobals.h"

namespace {

TEST(BigScene, ReadsAsWholeTilesOfTheAskedGrid) {
  testsupport::ResetGlobals();
  platform::MessageBoxRecorder boxes;
  testsupport::TempDir dir;
  const std::string path = dir.File("terrain.ase");
  const std::string command = "python3 " + testsupport::SourceDir() + "/tools/ase/make_scenes.py --big " + path +
                              " --target-mb 0.2 --verts-per-object 50 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_GE(testsupport::ReadFileText(path).size(), 0.2 * 1024 * 1024);

  vtSceneASE scene;
  scene.FileName = path;
  ASSERT_TRUE(scene.ReadFile());
  ASSERT_EQ(scene.Materials.size(), 4u);
  for (const auto& m : scene.Materials) {
    EXPECT_NE(m->DiffuseMap, nullptr);
    EXPECT_NE(m->ReflectMap, nullptr);
  }
  ASSERT_GE(scene.Objects.size(), 2u);
  const size_t vertices = 7 * 8, faces = 2 * 6 * 7;  // 50 vertices: a 7 x 8 grid
  float previousRight = -1e9f;
  for (size_t i = 0; i < scene.Objects.size(); ++i) {
    const vtMesh& tile = *scene.Objects[i];
    SCOPED_TRACE(tile.Name);
    EXPECT_EQ(tile.MaterialRef, static_cast<std::int32_t>(i % 4));
    ASSERT_EQ(tile.Vertices.size(), vertices);
    ASSERT_EQ(tile.TexVertices.size(), vertices);
    ASSERT_EQ(tile.Faces.size(), faces);
    ASSERT_EQ(tile.TexFaces.size(), faces);
    ASSERT_EQ(tile.Normals.size(), 3 * faces);
    for (const vtFace& f : tile.Faces)
      for (std::int32_t index : {f.A, f.B, f.C}) ASSERT_LT(static_cast<size_t>(index), vertices);
    for (const vtVec3D& n : tile.Normals) {
      EXPECT_NEAR(std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z), 1.0f, 2e-4f);
      EXPECT_GT(n.Y, 0.0f);  // a landscape faces up
    }
    EXPECT_GT(tile.Vertices.front().X, previousRight);
    previousRight = tile.Vertices.back().X;
  }
}

// The shapes of the whole-load benchmark: a tile count instead of a size,
// and CRLF line ends that read as the same scene.
TEST(BigScene, WritesTheAskedTilesWithTheAskedLineEnds) {
  struct Case {
    const char* options;
    size_t objects;
    bool crlf;
  };
  for (const Case& c : {Case{"--objects 3 --verts-per-object 50", 3, false},
                        Case{"--objects 5 --verts-per-object 20 --crlf", 5, true}}) {
    SCOPED_TRACE(c.options);
    testsupport::ResetGlobals();
    platform::MessageBoxRecorder boxes;
    testsupport::TempDir dir;
    const std::string path = dir.File("shape.ase");
    const std::string command = "python3 " + testsupport::SourceDir() + "/tools/ase/make_scenes.py --big " + path +
                                " " + c.options + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string text = testsupport::ReadFileText(path);
    const size_t lineEnds = std::count(text.begin(), text.end(), '\n');
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\r')), c.crlf ? lineEnds : 0u);

    vtSceneASE scene;
    scene.FileName = path;
    ASSERT_TRUE(scene.ReadFile());
    EXPECT_EQ(scene.Objects.size(), c.objects);
    for (const auto& tile : scene.Objects) EXPECT_EQ(tile->Normals.size(), 3 * tile->Faces.size());
  }
}

}  // namespace
