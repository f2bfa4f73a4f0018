// Every real file of the shared ASE corpus is read and built without a
// crash and every object draws (but the hand-made file with bad texture
// indices); for the files the 3D Studio MAX exporter wrote, the numbers of
// objects, materials, vertices and faces equal the corpus table's counts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "scene/vtSceneASEU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

struct CorpusEntry {
  std::string File;  // relative to the corpus folder
  std::string Exporter;
  std::string Encoding;
  size_t Objects = 0, Materials = 0, Vertices = 0, Faces = 0;
};

std::string CorpusDir() { return testsupport::SharedDir() + "/corpus/ase"; }

// The per-file table of the corpus README: "| # | `file` | source | licence |
// bytes | exporter | enc | GEOMOBJECT | MATERIAL (+SUB) | MESH_VERTEX | MESH_FACE | ...".
std::vector<CorpusEntry> ReadCorpusTable() {
  std::ifstream in(CorpusDir() + "/README.md");
  std::vector<CorpusEntry> entries;
  const std::regex row(R"(^\| \d+ \| `([^`]+)` \|)");
  for (std::string line; std::getline(in, line);) {
    if (!std::regex_search(line, row)) continue;
    std::vector<std::string> cells;
    std::stringstream ss(line.substr(1));
    for (std::string cell; std::getline(ss, cell, '|');) cells.push_back(cell);
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(" `"));
      s.erase(s.find_last_not_of(" `") + 1);
      return s;
    };
    CorpusEntry e;
    e.File = trim(cells.at(1));
    e.Exporter = trim(cells.at(5));
    e.Encoding = trim(cells.at(6));
    e.Objects = std::stoul(trim(cells.at(7)));
    e.Materials = std::stoul(trim(cells.at(8)));  // "2 (+7)": the top-level entries
    e.Vertices = std::stoul(trim(cells.at(9)));
    e.Faces = std::stoul(trim(cells.at(10)));
    entries.push_back(e);
  }
  return entries;
}

struct Counts {
  size_t Objects = 0, Materials = 0, Vertices = 0, Faces = 0;
};

Counts CountsOf(const vtScene& scene) {
  Counts c;
  c.Objects = scene.Objects.size();
  c.Materials = scene.Materials.size();
  for (const auto& o : scene.Objects) {
    c.Vertices += o->Vertices.size();
    c.Faces += o->Faces.size();
  }
  return c;
}

class AseCorpus : public testsupport::GlTest {
 protected:
  void SetUp() override {
    // The corpus lives beside the checkout (../shared), not in it.
    if (!std::ifstream(CorpusDir() + "/README.md")) GTEST_SKIP() << "no ASE corpus at " << CorpusDir();
    GlTest::SetUp();
    testsupport::ResetGlobals();
  }
  platform::MessageBoxRecorder boxes_;  // missing textures only warn
};

// Objects built by each normal rule, and the files holding them.
struct RuleTally {
  size_t Objects = 0, Files = 0;
  void Add(size_t objects) {
    Objects += objects;
    Files += objects > 0;
  }
};

// Every object is built, with unit normals where the player made them.
void ExpectEveryObjectDraws(const vtScene& scene, RuleTally& perVertex, RuleTally& perFace) {
  size_t vertexRule = 0, faceRule = 0;
  for (const auto& o : scene.Objects) {
    SCOPED_TRACE(o->Name);
    EXPECT_FALSE(o->Refused);
    EXPECT_EQ(o->Geometry.size(), 3 * o->Faces.size());
    vertexRule += o->NormalSource == vtMesh::NormalRule::PerVertex;
    if (o->NormalSource != vtMesh::NormalRule::PerFace) continue;
    ++faceRule;
    for (const vtGeom& g : o->Geometry)
      EXPECT_NEAR(std::hypot(g.Normal.X, g.Normal.Y, g.Normal.Z), 1.0, 1e-5);
  }
  perVertex.Add(vertexRule);
  perFace.Add(faceRule);
}

TEST_F(AseCorpus, EveryFileLoadsAndMaxExportsGiveTheTableCounts) {
  const auto entries = ReadCorpusTable();
  ASSERT_EQ(entries.size(), 67u);
  size_t maxFiles = 0;
  RuleTally perVertex, perFace;
  for (const auto& e : entries) {
    SCOPED_TRACE(e.File);
    vtSceneASE scene;
    scene.FileName = CorpusDir() + "/" + e.File;
    scene.LoadFromFile();
    EXPECT_TRUE(scene.Loaded);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "load";
    scene.Render(0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    if (e.File != "assimp/invalid/InvalidUVIndex.ase") ExpectEveryObjectDraws(scene, perVertex, perFace);
    // The UTF-16 files are read as bytes and give empty scenes (below).
    if (e.Exporter.rfind("3ds Max ", 0) != 0 || e.Encoding.find("UTF-16") != std::string::npos) continue;
    ++maxFiles;
    const Counts c = CountsOf(scene);
    EXPECT_EQ(c.Objects, e.Objects);
    EXPECT_EQ(c.Materials, e.Materials);
    EXPECT_EQ(c.Vertices, e.Vertices);
    EXPECT_EQ(c.Faces, e.Faces);
  }
  EXPECT_EQ(maxFiles, 34u);
  // Q3Map2 writes one normal per vertex; the 3ds Max files of the Transit
  // pack and two of assimp's have none.
  EXPECT_EQ(perVertex.Objects, 624u);
  EXPECT_EQ(perVertex.Files, 10u);
  EXPECT_EQ(perFace.Objects, 205u);
  EXPECT_EQ(perFace.Files, 14u);
  for (const auto& box : boxes_.Calls()) {
    if (box.Text.find("is not drawn") == std::string::npos) continue;
    EXPECT_NE(box.Text.find("InvalidUVIndex.ase"), std::string::npos) << box.Text;
  }
}

TEST_F(AseCorpus, Utf16AndEmptyFilesGiveEmptyScenes) {
  for (const char* name : {"assimp/ThreeCubesGreen_UTF16BE.ase", "assimp/ThreeCubesGreen_UTF16LE.ase",
                           "assimp/invalid/empty.ase"}) {
    SCOPED_TRACE(name);
    vtSceneASE scene;
    scene.FileName = CorpusDir() + "/" + name;
    scene.LoadFromFile();
    EXPECT_TRUE(scene.Loaded);
    EXPECT_TRUE(scene.Objects.empty());
    EXPECT_TRUE(scene.Materials.empty());
  }
}

}  // namespace
