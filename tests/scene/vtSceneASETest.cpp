// The ASE reader: what each section and line reader takes from a file.
#include "scene/vtSceneASEU.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "core/vtDemoPathU.h"
#include "core/vtLogU.h"
#include "platform/MessageBox.h"
#include "runtime/vtRItemU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::TempDir;

const char* const kHeader =
    "*3DSMAX_ASCIIEXPORT\t200\n"
    "*COMMENT \"AsciiExport Version  2,00 - Sat Nov 08 18:02:21 2008\"\n"
    "*SCENE {\n"
    "\t*SCENE_FILENAME \"x.max\"\n"
    "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n"
    "}\n";

// One object: a triangle with texture vertices and normals.
const char* const kTriangle =
    "*GEOMOBJECT {\n"
    "\t*NODE_NAME \"Outer\"\n"
    "\t*NODE_TM {\n"
    "\t\t*NODE_NAME \"Tri\"\n"
    "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n"
    "\t}\n"
    "\t*MESH {\n"
    "\t\t*MESH_NUMVERTEX 3\n"
    "\t\t*MESH_VERTEX_LIST {\n"
    "\t\t\t*MESH_VERTEX    0\t-1.0000\t-1.0000\t0.0000\n"
    "\t\t\t*MESH_VERTEX    1\t1.0000\t-1.0000\t0.0000\n"
    "\t\t\t*MESH_VERTEX    2\t0.0000\t1.0000\t0.5000\n"
    "\t\t}\n"
    "\t\t*MESH_FACE_LIST {\n"
    "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"
    "\t\t}\n"
    "\t\t*MESH_NUMTVERTEX 3\n"
    "\t\t*MESH_TVERTLIST {\n"
    "\t\t\t*MESH_TVERT 0\t0.0000\t0.0000\t0.0000\n"
    "\t\t\t*MESH_TVERT 1\t1.0000\t0.0000\t0.0000\n"
    "\t\t\t*MESH_TVERT 2\t0.5000\t1.0000\t0.0000\n"
    "\t\t}\n"
    "\t\t*MESH_TFACELIST {\n"
    "\t\t\t*MESH_TFACE 0\t0\t1\t2\n"
    "\t\t}\n"
    "\t\t*MESH_NORMALS {\n"
    "\t\t\t*MESH_FACENORMAL 0\t0.0000\t0.0000\t1.0000\n"
    "\t\t\t\t*MESH_VERTEXNORMAL 0\t0.0000\t0.0000\t1.0000\n"
    "\t\t\t\t*MESH_VERTEXNORMAL 1\t0.0000\t0.1000\t0.9000\n"
    "\t\t\t\t*MESH_VERTEXNORMAL 2\t0.0000\t0.2000\t0.8000\n"
    "\t\t}\n"
    "\t}\n"
    "\t*MATERIAL_REF 2\n"
    "}\n";

class AseReader : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::ResetGlobals(); }

  // Reads the text as an ASE file; the scene keeps what it read.
  vtSceneASE& Read(const std::string& text, const std::string& name = "scene.ase") {
    scene_.FileName = dir_.Write(name, text);
    read_ = scene_.ReadFile();
    return scene_;
  }

  TempDir dir_;
  platform::MessageBoxRecorder boxes_;
  vtSceneASE scene_;
  bool read_ = false;
};

std::string MaterialList(const std::string& entries, int count) {
  return "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(count) + "\n" + entries + "}\n";
}

std::string Material(int index, const std::string& body) {
  return "\t*MATERIAL " + std::to_string(index) + " {\n" + body + "\t}\n";
}

TEST_F(AseReader, ReadsAWholeObjectInFileOrder) {
  auto& s = Read(std::string(kHeader) + kTriangle);
  ASSERT_TRUE(read_);
  EXPECT_TRUE(s.Loaded);
  ASSERT_EQ(s.Objects.size(), 1u);
  const vtMesh& o = *s.Objects[0];
  EXPECT_EQ(o.Name, "Tri");  // the node block's name, not the one above it
  EXPECT_EQ(o.FileName, s.FileName);
  ASSERT_EQ(o.Vertices.size(), 3u);
  EXPECT_FLOAT_EQ(o.Vertices[1].X, 1.0f);
  EXPECT_FLOAT_EQ(o.Vertices[2].Z, 0.5f);
  ASSERT_EQ(o.Faces.size(), 1u);
  EXPECT_EQ(o.Faces[0].C, 2);
  ASSERT_EQ(o.TexVertices.size(), 3u);
  EXPECT_FLOAT_EQ(o.TexVertices[2].U, 0.5f);
  EXPECT_FLOAT_EQ(o.TexVertices[2].V, 1.0f);
  ASSERT_EQ(o.TexFaces.size(), 1u);
  EXPECT_EQ(o.TexFaces[0].B, 1);
  ASSERT_EQ(o.Normals.size(), 3u);  // corner normals only, no face normal
  EXPECT_FLOAT_EQ(o.Normals[2].Y, 0.2f);
  EXPECT_EQ(o.MaterialRef, 2);
  EXPECT_TRUE(s.Materials.empty());
}

TEST_F(AseReader, ThreeMaterialsEachWithItsOwnValuesAndMaps) {
  std::string entries;
  for (int i = 0; i < 3; ++i) {
    const std::string v = "0." + std::to_string(i + 1) + "000";
    entries += Material(i,
                        "\t\t*MATERIAL_NAME \"Mat " + std::to_string(i) + "\"\n"
                        "\t\t*MATERIAL_AMBIENT " + v + "\t0.0000\t0.0000\n"
                        "\t\t*MATERIAL_DIFFUSE 0.0000\t" + v + "\t0.0000\n"
                        "\t\t*MATERIAL_SPECULAR 0.0000\t0.0000\t" + v + "\n"
                        "\t\t*MATERIAL_SHINE " + v + "\n" +
                        (i == 1 ? "\t\t*MATERIAL_TRANSPARENCY 0.5000\n" : "") +
                        "\t\t*MAP_DIFFUSE {\n"
                        "\t\t\t*BITMAP \"maps\\d" + std::to_string(i) + ".tga\"\n"
                        "\t\t\t*UVW_U_OFFSET " + v + "\n"
                        "\t\t\t*UVW_V_OFFSET 0.2500\n"
                        "\t\t\t*UVW_U_TILING 2.0000\n"
                        "\t\t\t*UVW_V_TILING 3.0000\n"
                        "\t\t\t*BITMAP_FILTER Pyramidal\n"
                        "\t\t}\n" +
                        (i == 2 ? "\t\t*MAP_REFLECT {\n\t\t\t*BITMAP \"env.jpg\"\n\t\t}\n" : ""));
  }
  auto& s = Read(std::string(kHeader) + MaterialList(entries, 3) + kTriangle);
  ASSERT_EQ(s.Materials.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const vtMat& m = *s.Materials[i];
    const float v = 0.1f * (i + 1);
    EXPECT_EQ(m.Name, "Mat " + std::to_string(i));
    EXPECT_EQ(m.Ambient, (vtRGBA{v, 0, 0, 1}));
    EXPECT_EQ(m.Diffuse, (vtRGBA{0, v, 0, 1}));
    EXPECT_EQ(m.Specular, (vtRGBA{0, 0, v, 1}));
    EXPECT_FLOAT_EQ(m.Shininess, v * 128.0f);
    EXPECT_FLOAT_EQ(m.Transparency, i == 1 ? 0.5f : 0.0f);
    ASSERT_TRUE(m.DiffuseMap);
    EXPECT_EQ(m.DiffuseMap->Texture->FileName, "maps\\d" + std::to_string(i) + ".tga");
    EXPECT_FLOAT_EQ(m.DiffuseMap->OffsetU, v);
    EXPECT_FLOAT_EQ(m.DiffuseMap->OffsetV, 0.25f);
    EXPECT_FLOAT_EQ(m.DiffuseMap->TilingU, 2.0f);
    EXPECT_FLOAT_EQ(m.DiffuseMap->TilingV, 3.0f);
    EXPECT_EQ(m.ReflectMap != nullptr, i == 2);
  }
  EXPECT_EQ(s.Materials[2]->ReflectMap->Texture->FileName, "env.jpg");
  EXPECT_EQ(s.Objects.size(), 1u);  // the list ended at its own closing line
}

TEST_F(AseReader, ShineIsScaledToTheOpenGLExponentAndShineStrengthIsIgnored) {
  auto& s = Read(MaterialList(Material(0, "\t\t*MATERIAL_SHINE 0.5000\n\t\t*MATERIAL_SHINESTRENGTH 0.2000\n") +
                                  Material(1, "\t\t*MATERIAL_SHINE 128.000000\n"),
                              2));
  ASSERT_EQ(s.Materials.size(), 2u);
  EXPECT_FLOAT_EQ(s.Materials[0]->Shininess, 64.0f);
  // An exporter that writes the exponent itself is held to OpenGL's range.
  EXPECT_FLOAT_EQ(s.Materials[1]->Shininess, 128.0f);
}

TEST_F(AseReader, NestedBlocksItDoesNotKnowAreSkippedWhole) {
  const std::string material0 = Material(0,
                                         "\t\t*MATERIAL_NAME \"Bumpy\"\n"
                                         "\t\t*MAP_BUMP {\n"
                                         "\t\t\t*MAP_GENERIC {\n"
                                         "\t\t\t\t*MATERIAL_NAME \"not this\"\n"
                                         "\t\t\t}\n"
                                         "\t\t\t*BITMAP \"bump.tga\"\n"
                                         "\t\t}\n"
                                         "\t\t*MAP_REFLECT {\n\t\t\t*BITMAP \"env.jpg\"\n\t\t}\n"
                                         "\t\t*SUBMATERIAL 0 {\n"
                                         "\t\t\t*MATERIAL_NAME \"Sub\"\n"
                                         "\t\t}\n"
                                         "\t\t*MATERIAL_TRANSPARENCY 0.2500\n");
  const std::string object =
      "*GEOMOBJECT {\n"
      "\t*NODE_TM {\n\t\t*NODE_NAME \"Animated\"\n\t}\n"
      "\t*MESH {\n"
      "\t\t*MESH_VERTEX_LIST {\n\t\t\t*MESH_VERTEX    0\t1.0\t2.0\t3.0\n\t\t}\n"
      "\t\t*MESH_MAPPINGCHANNEL 2 {\n"
      "\t\t\t*MESH_TVERTLIST {\n\t\t\t\t*MESH_TVERT 0\t9.0\t9.0\t9.0\n\t\t\t}\n"
      "\t\t}\n"
      "\t\t*MESH_NORMALS {\n\t\t\t\t*MESH_VERTEXNORMAL 0\t0.0\t0.0\t1.0\n\t\t}\n"
      "\t}\n"
      "\t*TM_ANIMATION {\n"
      "\t\t*CONTROL_POS_TRACK {\n\t\t\t*CONTROL_POS_SAMPLE 0\t0.0\t0.0\t0.0\n\t\t}\n"
      "\t}\n"
      "\t*MATERIAL_REF 1\n"
      "}\n";
  auto& s = Read(MaterialList(material0 + Material(1, "\t\t*MATERIAL_NAME \"Second\"\n"), 2) + object);
  ASSERT_EQ(s.Materials.size(), 2u);
  const vtMat& m = *s.Materials[0];
  EXPECT_EQ(m.Name, "Bumpy");
  EXPECT_TRUE(m.ReflectMap);
  EXPECT_FALSE(m.DiffuseMap);
  EXPECT_FLOAT_EQ(m.Transparency, 0.25f);
  EXPECT_EQ(s.Materials[1]->Name, "Second");
  ASSERT_EQ(s.Objects.size(), 1u);
  const vtMesh& o = *s.Objects[0];
  EXPECT_TRUE(o.TexVertices.empty());  // the mapping channel's lists are not the object's
  EXPECT_EQ(o.Normals.size(), 1u);
  EXPECT_EQ(o.MaterialRef, 1);  // read behind the animation block
}

TEST_F(AseReader, EmptyMaterialListYieldsNoMaterialAndKeepsTheFirstObject) {
  auto& s = Read(std::string(kHeader) + MaterialList("", 0) + kTriangle + kTriangle);
  EXPECT_TRUE(s.Materials.empty());
  EXPECT_EQ(s.Objects.size(), 2u);
}

TEST_F(AseReader, MaterialRefAnywhereInTheObjectNodeNameOnlyInTheNodeBlock) {
  auto& s = Read(
      "*GEOMOBJECT {\n"
      "\t*NODE_NAME \"Outside\"\n"
      "\t*MATERIAL_REF 3\n"
      "\t*MESH {\n\t\t*MATERIAL_REF 9\n\t}\n"
      "}\n"
      "*GEOMOBJECT {\n"
      "\t*NODE_NAME \"Outside\"\n"
      "\t*NODE_TM {\n\t\t*NODE_NAME \"Inside\"\n\t}\n"
      "}\n");
  ASSERT_EQ(s.Objects.size(), 2u);
  EXPECT_EQ(s.Objects[0]->Name, "");
  EXPECT_EQ(s.Objects[0]->MaterialRef, 3);  // not inside the mesh block
  EXPECT_EQ(s.Objects[1]->Name, "Inside");
  EXPECT_EQ(s.Objects[1]->MaterialRef, 0);
}

// The geometry line readers on the exporter's line shapes (tabs already blanks).
class AseLine : public AseReader {
 protected:
  vtMesh& Apply(const std::string& line, void (vtSceneASE::*reader)()) {
    scene_.Reader.Line = line;
    scene_.CurrentObject = &mesh_;
    (scene_.*reader)();
    return mesh_;
  }
  vtMesh mesh_;
};

TEST_F(AseLine, FaceAndTextureFaceSamples) {
  auto& m = Apply("*MESH_FACE    0:    A:    0 B:    2 C:    3 AB:    1 BC:    1 CA:    0 *MESH_SMOOTHING 2 *MESH_MTLID 1",
                  &vtSceneASE::ReadFace);
  ASSERT_EQ(m.Faces.size(), 1u);
  EXPECT_EQ(m.Faces[0].A, 0);
  EXPECT_EQ(m.Faces[0].B, 2);
  EXPECT_EQ(m.Faces[0].C, 3);
  Apply("*MESH_FACE 10000:    A: 5046 B: 12 C: 7 AB:    1", &vtSceneASE::ReadFace);
  EXPECT_EQ(m.Faces[1].A, 5046);
  // Q3Map2 writes no colon behind the face number.
  Apply("*MESH_FACE 3 A: 0 B: 2 C: 1 AB: 1 BC: 1 CA: 1 *MESH_SMOOTHING 0 *MESH_MTLID 0", &vtSceneASE::ReadFace);
  EXPECT_EQ(m.Faces[2].A, 0);
  EXPECT_EQ(m.Faces[2].B, 2);
  EXPECT_EQ(m.Faces[2].C, 1);
  Apply("*MESH_TFACE 5 7 9 8", &vtSceneASE::ReadTexFace);
  ASSERT_EQ(m.TexFaces.size(), 1u);
  EXPECT_EQ(m.TexFaces[0].A, 7);
  EXPECT_EQ(m.TexFaces[0].B, 9);
  EXPECT_EQ(m.TexFaces[0].C, 8);
}

TEST_F(AseLine, VertexIndexOfFiveDigitsAndTrailingBlank) {
  auto& m = Apply("*MESH_VERTEX 12345 1.5000 -2.0000 3.2500", &vtSceneASE::ReadVertex);
  Apply("*MESH_VERTEX    7 1.0000 2.0000 3.0000 ", &vtSceneASE::ReadVertex);
  ASSERT_EQ(m.Vertices.size(), 2u);
  EXPECT_FLOAT_EQ(m.Vertices[0].X, 1.5f);
  EXPECT_FLOAT_EQ(m.Vertices[0].Y, -2.0f);
  EXPECT_FLOAT_EQ(m.Vertices[0].Z, 3.25f);
  EXPECT_FLOAT_EQ(m.Vertices[1].Y, 2.0f);
  EXPECT_FLOAT_EQ(m.Vertices[1].Z, 0.0f);  // the trailing blank makes z malformed
}

TEST_F(AseLine, PaddedTextureVertexAndNormal) {
  auto& m = Apply("*MESH_TVERT 0  1.0000  0.5703 0.2500", &vtSceneASE::ReadTexVertex);
  Apply("*MESH_VERTEXNORMAL 12 -0.5000 0.2500 0.7500", &vtSceneASE::ReadVertexNormal);
  ASSERT_EQ(m.TexVertices.size(), 1u);
  EXPECT_FLOAT_EQ(m.TexVertices[0].U, 1.0f);
  EXPECT_FLOAT_EQ(m.TexVertices[0].V, 0.5703f);
  EXPECT_FLOAT_EQ(m.TexVertices[0].W, 0.25f);
  ASSERT_EQ(m.Normals.size(), 1u);
  EXPECT_FLOAT_EQ(m.Normals[0].X, -0.5f);
  EXPECT_FLOAT_EQ(m.Normals[0].Z, 0.75f);
}

// The line readers cut a view of the line instead of the line itself; on any
// line they give what the reader's own cutting operations give.
TEST_F(AseLine, CutsMatchTheReadersOperationsOnRandomLines) {
  std::mt19937 rng(7);
  const std::string alphabet = "  0123456789.-+eEXTLAB:xy";
  auto randomLine = [&](const std::string& tag) {
    std::string line = tag;
    const int n = rng() % 40;
    for (int i = 0; i < n; ++i) line += alphabet[rng() % alphabet.size()];
    return line;
  };
  vtText ref;
  auto refFloat3 = [&](std::string line, char delim, bool skipBlanks, bool dropIndex) {
    ref.Line = std::move(line);
    ref.SkipPast(delim);
    if (skipBlanks) ref.SkipBlanks();
    if (dropIndex) ref.SkipWord();
    const float x = ref.NextFloat(), y = ref.NextFloat();
    return vtVec3D{x, y, StrToFloatDef(ref.Line)};
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string v = randomLine("*MESH_VERTEX ");
    const vtVec3D expected = refFloat3(v, 'X', true, true);
    const vtVec3D got = Apply(v, &vtSceneASE::ReadVertex).Vertices.back();
    ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << '"' << v << '"';

    const std::string n = randomLine("*MESH_VERTEXNORMAL ");
    const vtVec3D expectedN = refFloat3(n, 'L', false, true);
    const vtVec3D gotN = Apply(n, &vtSceneASE::ReadVertexNormal).Normals.back();
    ASSERT_EQ(std::memcmp(&expectedN, &gotN, sizeof gotN), 0) << '"' << n << '"';

    const std::string f = randomLine("*MESH_FACE ");
    ref.Line = f;
    std::string expectedError, gotError;
    std::int32_t expectedFace[3] = {0, 0, 0};
    // Two words before the first colon: the face number had none of its own.
    const size_t colon = f.find(':');
    std::istringstream words(colon == std::string::npos ? std::string() : f.substr(10, colon - 10));
    std::string word;
    const bool numberHasColon = colon == std::string::npos || !(words >> word >> word);
    try {
      if (numberHasColon) ref.SkipThrough(':');
      ref.SkipThrough(':');
      for (int k = 0; k < 3; ++k) {
        if (k > 0) ref.SkipThrough(':');
        ref.SkipBlanks();
        expectedFace[k] = ref.ToInt(ref.PeekWord());
      }
    } catch (const vtConvertError& e) {
      expectedError = e.what();
    }
    try {
      const vtFace got = Apply(f, &vtSceneASE::ReadFace).Faces.back();
      EXPECT_EQ(got.A, expectedFace[0]);
      EXPECT_EQ(got.B, expectedFace[1]);
      EXPECT_EQ(got.C, expectedFace[2]);
    } catch (const vtConvertError& e) {
      gotError = e.what();
    }
    ASSERT_EQ(gotError, expectedError) << '"' << f << '"';
  }
}

TEST_F(AseReader, HashLinesAreOrdinaryLinesAndCommentBlocksAreSkipped) {
  auto& s = Read(
      "*GEOMOBJECT {\n"
      "#\t*NODE_TM {\n"
      "#\t\t*NODE_NAME \"Hashed\"\n"
      "#\t}\n"
      "\t*MESH {\n"
      "\t\t*MESH_VERTEX_LIST {\n"
      "#\t\t\t*MESH_VERTEX    0\t1.0\t2.0\t3.0\n"
      "/*\t\t\t*MESH_VERTEX    1\t9.0\t9.0\t9.0\n"
      "\t\t\t*MESH_VERTEX    2\t9.0\t9.0\t9.0 */\n"
      "\t\t}\n"
      "\t}\n"
      "}\n");
  ASSERT_EQ(s.Objects.size(), 1u);
  EXPECT_EQ(s.Objects[0]->Name, "Hashed");
  // The comment block's closing line is passed on and read like any other.
  ASSERT_EQ(s.Objects[0]->Vertices.size(), 2u);
  EXPECT_FLOAT_EQ(s.Objects[0]->Vertices[0].Z, 3.0f);
  EXPECT_FLOAT_EQ(s.Objects[0]->Vertices[1].Z, 0.0f);  // "9.0 */" is no number
}

TEST_F(AseReader, EndOfFileInsideAnyBlockEndsTheRead) {
  const std::string cuts[] = {
      "*SCENE {\n\t*SCENE_FILENAME \"x\"\n",
      "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MAP_DIFFUSE {\n\t\t\t*UVW_U_TILING 2.0",
      "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MAP_BUMP {\n",
      "*GEOMOBJECT {\n\t*NODE_TM {\n\t\t*NODE_NAME \"Cut\"",
      "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_VERTEX_LIST {\n\t\t\t*MESH_VERTEX    0\t1.0\t2.0\t3.0",
      "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NORMALS {\n\t\t\t*MESH_VERTEXNORMAL 0\t0.0\t0.0\t1.0\n",
      "*GEOMOBJECT {\n\t*TM_ANIMATION {\n",
  };
  for (const std::string& text : cuts) {
    SCOPED_TRACE(text);
    vtSceneASE scene;
    scene.FileName = dir_.Write("cut.ase", text);
    EXPECT_TRUE(scene.ReadFile());
    EXPECT_TRUE(scene.Loaded);
  }
  auto& s = Read(cuts[4]);
  ASSERT_EQ(s.Objects.size(), 1u);
  ASSERT_EQ(s.Objects[0]->Vertices.size(), 1u);  // the last line is still read
  EXPECT_FLOAT_EQ(s.Objects[0]->Vertices[0].Z, 3.0f);
  Read(cuts[3]);
  EXPECT_EQ(s.Objects.back()->Name, "Cut");
}

TEST_F(AseReader, BadIntegerRaisesTheConversionErrorWithFileAndLine) {
  const std::string text = std::string(kHeader) + "*GEOMOBJECT {\n\t*MATERIAL_REF 1x\n}\n";
  try {
    Read(text);
    FAIL() << "no conversion error";
  } catch (const vtConvertError& e) {
    EXPECT_STREQ(e.what(), "\"1x\" is an invalid integer");
    EXPECT_EQ(e.FileName, scene_.FileName);
    EXPECT_EQ(e.LineNumber, 8);
  }
  EXPECT_FALSE(scene_.Loaded);
  EXPECT_THROW(Read("*GEOMOBJECT {\n*MESH {\n*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: b C: 2\n"), vtConvertError);
}

TEST_F(AseReader, OnlyTheExactExtensionOpens) {
  Read(kTriangle, "scene.ASE");
  EXPECT_FALSE(read_);
  EXPECT_FALSE(scene_.Loaded);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].Text.rfind("Bad File Format: ase", 0), 0u);
  scene_.FileName = dir_.File("missing.ase");
  EXPECT_FALSE(scene_.ReadFile());
  auto& s = Read(kHeader);
  EXPECT_TRUE(s.Loaded);
  EXPECT_TRUE(s.Objects.empty());
}

TEST(AseFactory, MakesASceneForTheAseTag) {
  auto item = CreateRenderItem(vt_3D_ASE, "data\\scene.ase");
  auto* scene = dynamic_cast<vtSceneASE*>(item.get());
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->ItemType, vt_3D_ASE);
  EXPECT_EQ(scene->FileName, "data\\scene.ase");
  EXPECT_FALSE(scene->Loaded);
  EXPECT_TRUE(scene->Objects.empty());
}

class AseLoad : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    testsupport::ResetGlobals();
  }
  TempDir dir_;
  platform::MessageBoxRecorder boxes_;
};

TEST_F(AseLoad, ObjectsOutsideTheirListsAreRefusedWithAWarning) {
  std::string bad = kTriangle;
  bad.replace(bad.find("C:    2"), 7, "C:    3");
  vtSceneASE scene;
  scene.FileName = dir_.Write("bad.ase", std::string(kTriangle) + bad);
  scene.LoadFromFile();
  ASSERT_EQ(scene.Objects.size(), 2u);
  EXPECT_FALSE(scene.Objects[0]->Refused);
  EXPECT_EQ(scene.Objects[0]->Geometry.size(), 3u);
  EXPECT_TRUE(scene.Objects[1]->Refused);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_NE(boxes_.Calls()[0].Text.find("\"Tri\""), std::string::npos);
  EXPECT_NE(boxes_.Calls()[0].Text.find("File: " + DemoPath(scene.FileName)), std::string::npos);
}

// A Q3Map2 export: normals before the faces, one per vertex, and no colon
// behind the face numbers.
const char* const kQuadOneNormalPerVertex =
    "*GEOMOBJECT {\n"
    "\t*NODE_NAME\t\"quad\"\n"
    "\t*MESH {\n"
    "\t\t*MESH_VERTEX_LIST {\n"
    "\t\t\t*MESH_VERTEX\t0\t0.000000\t0.000000\t0.000000\n"
    "\t\t\t*MESH_VERTEX\t1\t1.000000\t0.000000\t0.000000\n"
    "\t\t\t*MESH_VERTEX\t2\t1.000000\t1.000000\t0.000000\n"
    "\t\t\t*MESH_VERTEX\t3\t0.000000\t1.000000\t0.000000\n"
    "\t\t}\n"
    "\t\t*MESH_NORMALS\t{\n"
    "\t\t\t*MESH_FACENORMAL\t0\t0.000000\t0.000000\t1.000000\n"
    "\t\t\t*MESH_VERTEXNORMAL\t0\t1.000000\t0.000000\t0.000000\n"
    "\t\t\t*MESH_VERTEXNORMAL\t1\t0.000000\t1.000000\t0.000000\n"
    "\t\t\t*MESH_VERTEXNORMAL\t2\t0.000000\t0.000000\t1.000000\n"
    "\t\t\t*MESH_VERTEXNORMAL\t3\t0.000000\t0.000000\t-1.000000\n"
    "\t\t}\n"
    "\t\t*MESH_FACE_LIST\t{\n"
    "\t\t\t*MESH_FACE\t0\tA:\t0\tB:\t2\tC:\t1\tAB:\t1\tBC:\t1\tCA:\t1\t*MESH_SMOOTHING\t0\t*MESH_MTLID\t0\n"
    "\t\t\t*MESH_FACE\t1\tA:\t0\tB:\t3\tC:\t2\tAB:\t1\tBC:\t1\tCA:\t1\t*MESH_SMOOTHING\t0\t*MESH_MTLID\t0\n"
    "\t\t}\n"
    "\t}\n"
    "}\n";

TEST_F(AseLoad, ObjectsWithFewerNormalsThanCornersDrawAndOneLogEntryCountsThem) {
  testsupport::ChangeDir into(dir_.Path());
  testsupport::ResetGlobals();
  std::filesystem::create_directories(dir_.File("data"));
  GlobalLog->Open();
  std::string noNormals = kTriangle;
  noNormals.erase(noNormals.find("\t\t*MESH_NORMALS {"), noNormals.find("\t}\n\t*MATERIAL_REF") - noNormals.find("\t\t*MESH_NORMALS {"));
  vtSceneASE scene;
  scene.FileName = dir_.Write("mixed.ase", std::string(kHeader) + kTriangle + kQuadOneNormalPerVertex + kQuadOneNormalPerVertex + noNormals);
  scene.LoadFromFile();
  EXPECT_TRUE(boxes_.Calls().empty());
  ASSERT_EQ(scene.Objects.size(), 4u);
  const vtMesh::NormalRule rules[] = {vtMesh::NormalRule::PerCorner, vtMesh::NormalRule::PerVertex,
                                      vtMesh::NormalRule::PerVertex, vtMesh::NormalRule::PerFace};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(scene.Objects[i]->Refused);
    EXPECT_EQ(scene.Objects[i]->NormalSource, rules[i]);
    EXPECT_EQ(scene.Objects[i]->Geometry.size(), 3 * scene.Objects[i]->Faces.size());
  }
  const vtMesh& quad = *scene.Objects[1];
  ASSERT_EQ(quad.Faces.size(), 2u);
  EXPECT_EQ(quad.Faces[1].B, 3);
  EXPECT_EQ(quad.Geometry[4].Normal.Z, -1.0f);  // face 1, corner B: vertex 3

  const std::string log = testsupport::ReadFileText(dir_.File("data/Vortane.log"));
  const std::string entry = "MSG : fewer than three normals per face: 2 objects take the normal of each corner's vertex, "
                            "1 object gets a flat normal per face (" + scene.FileName + ") IN : vtSceneASE.Build";
  EXPECT_NE(log.find(entry), std::string::npos) << log;
  EXPECT_EQ(log.find("vtSceneASE.Build"), log.rfind("vtSceneASE.Build"));
}

TEST_F(AseLoad, NothingIsBuiltWhenTheFileWasNotRead) {
  vtSceneASE scene;
  scene.FileName = dir_.File("missing.ase");
  scene.LoadFromFile();
  EXPECT_FALSE(scene.Loaded);
  scene.Build();
  scene.Render(0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace

namespace {

std::string WithCounts(const std::string& counts) {
  std::string text = kTriangle;
  const std::string announced = "\t\t*MESH_NUMVERTEX 3\n";
  text.replace(text.find(announced), announced.size(), counts);
  return text;
}

}  // namespace

// The announced list lengths only size the lists: wrong, huge, negative or
// malformed counts read the same lists and keep no idle memory.
TEST_F(AseReader, AnnouncedCountsChangeNothingButCapacity) {
  for (const char* counts : {"\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_NUMFACES 1\n",
                             "\t\t*MESH_NUMVERTEX 2000000000\n\t\t*MESH_NUMFACES 2000000000\n"
                             "\t\t*MESH_NUMTVERTEX 2000000000\n\t\t*MESH_NUMTVFACES 2000000000\n",
                             "\t\t*MESH_NUMVERTEX -5\n\t\t*MESH_NUMFACES 1\n",
                             "\t\t*MESH_NUMVERTEX 1\n\t\t*MESH_NUMFACES x\n", "\t\t*MESH_NUMVERTEX\n"}) {
    vtSceneASE scene;
    scene.FileName = dir_.Write("counts.ase", WithCounts(counts) + WithCounts(counts));
    ASSERT_TRUE(scene.ReadFile()) << counts;
    ASSERT_EQ(scene.Objects.size(), 2u) << counts;
    for (const auto& o : scene.Objects) {
      EXPECT_EQ(o->Vertices.size(), 3u) << counts;
      EXPECT_EQ(o->Faces.size(), 1u) << counts;
      EXPECT_EQ(o->Normals.size(), 3u) << counts;
      EXPECT_EQ(o->TexVertices.size(), 3u) << counts;
      EXPECT_EQ(o->TexFaces.size(), 1u) << counts;
      EXPECT_LE(o->Vertices.capacity() + o->Faces.capacity() + o->Normals.capacity(), 200u) << counts;
    }
  }
}

namespace {

// A list line of the usual shape or close to it: each part, one time in
// six, is odd (blanks and tabs in other counts, other indices and numbers,
// something behind the last value, other line ends). Malformed integers,
// braces and Ctrl-Z, which end the read or the list, come only when asked for.
std::string NearlyShapedLine(std::mt19937& rng, const std::string& tag, bool disruptive, unsigned oddOneIn) {
  auto pick = [&rng](std::initializer_list<const char*> options) {
    return std::string(options.begin()[rng() % options.size()]);
  };
  auto part = [&](std::initializer_list<const char*> usual, std::initializer_list<const char*> odd) {
    return rng() % oddOneIn ? pick(usual) : pick(odd);
  };
  auto blanks = [&] { return part({" ", "\t"}, {"", "  ", "   ", "    ", " \t", "\t\t"}); };
  auto index = [&] {
    if (disruptive && rng() % 8 == 0) return pick({"x", "", "99999999999", "7x"});
    return part({"0", "7", "42", "12345"}, {"-3", "+4", "123456789", "1234567890"});
  };
  auto number = [&] {
    return part({"0.0000", "-0.0617", "-137.5000", "1.5"},
                {"+2.25", "12345", ".5", "5.", "1e3", "-", "0.12345678901234567", "0.1x", "12345678901.2345",
                 "123456789012.3456", "-0.12345", ".0001", "7.0001x", "0.0001."});
  };
  std::string line = pick({"\t\t\t", "\t\t\t\t", "", " "}) + tag + blanks() + index();
  if (tag == "*MESH_FACE") {
    line += part({":"}, {"", " :"});
    for (const char* label : {"A:", "B:", "C:"}) line += blanks() + label + blanks() + index();
    line += part({" AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0", ""},
                 {" ", " /x", disruptive ? "x" : " ", " AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0 "});
  } else {
    const bool integers = tag == "*MESH_TFACE";
    for (int i = 0; i < 3; ++i) line += blanks() + (integers ? index() : number());
    if (!integers || disruptive) line += part({""}, {" ", "\t", " x", "/"});
  }
  if (disruptive && rng() % 8 == 0) line += pick({"}", " {", "\x1A"});
  return line + part({"\n", "\r\n"}, {"\r", "\n\n"});
}

// An object whose lists hold lines of every kind, some of them foreign,
// each list as long as announced.
std::string ObjectOfNearlyShapedLines(std::mt19937& rng, bool disruptive, int lines = 12, unsigned oddOneIn = 6) {
  const struct {
    const char* Opener;
    std::vector<std::string> Tags;
  } lists[] = {{"*MESH_VERTEX_LIST {", {"*MESH_VERTEX", "*MESH_VERTEX", "*MESH_VERTEXNORMAL"}},
               {"*MESH_TVERTLIST {", {"*MESH_TVERT", "*MESH_TVERT", "*MESH_FACENORMAL"}},
               {"*MESH_NORMALS {", {"*MESH_VERTEXNORMAL", "*MESH_VERTEXNORMAL", "*MESH_FACENORMAL"}},
               {"*MESH_FACE_LIST {", {"*MESH_FACE"}},
               {"*MESH_TFACELIST {", {"*MESH_TFACE"}}};
  const std::string count = std::to_string(lines);
  std::string text = "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX " + count + "\n\t\t*MESH_NUMFACES " + count +
                     "\n\t\t*MESH_NUMTVERTEX " + count + "\n\t\t*MESH_NUMTVFACES " + count + "\n";
  for (const auto& list : lists) {
    text += std::string("\t\t") + list.Opener + "\n";
    for (int i = 0; i < lines; ++i)
      text += NearlyShapedLine(rng, list.Tags[rng() % list.Tags.size()], disruptive, oddOneIn);
    text += "\t\t}\n";
  }
  return text + "\t}\n}\n";
}

// What a read gave: every list's bytes, or the error and where it arose.
std::string ReadBack(const std::string& path, size_t bufferSize, vtText::ReadAhead readAhead) {
  vtSceneASE scene;
  scene.FileName = path;
  scene.Reader.SetBufferSize(bufferSize);
  scene.Reader.SetReadAhead(readAhead);
  std::string result;
  auto bytes = [&result](const auto& list) {
    result.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof list[0]).append("|");
  };
  try {
    scene.ReadFile();
  } catch (const vtConvertError& e) {
    result = std::string(e.what()) + " line " + std::to_string(e.LineNumber) + "|";
  }
  for (const auto& o : scene.Objects) {
    bytes(o->Vertices);
    bytes(o->Faces);
    bytes(o->TexVertices);
    bytes(o->TexFaces);
    bytes(o->Normals);
  }
  return result + std::to_string(scene.Reader.LineNumber);
}

}  // namespace

// The list lines of the usual shape are read straight from the reader's
// buffer; every line reads as when it is read in place a line at a time (a
// buffer shorter than any line), wherever the buffer's end falls, and when
// the file is read ahead.
TEST_F(AseReader, ListLinesReadTheSameAsALineAtATime) {
  std::mt19937 rng(11);
  for (int file = 0; file < 300; ++file) {
    const std::string text = std::string(kHeader) + ObjectOfNearlyShapedLines(rng, file % 8 == 0);
    const std::string path = dir_.Write("lines.ase", text);
    const std::string lineAtATime = ReadBack(path, 8, vtText::ReadAhead::Never);
    for (size_t bufferSize : {size_t{97}, size_t{1} << 20})
      ASSERT_EQ(ReadBack(path, bufferSize, vtText::ReadAhead::Always), lineAtATime) << testsupport::ReadFileText(path);
  }
}

// Lists longer than the read buffer, with and without odd lines: the
// lists, errors and line numbers are those of a line at a time.
TEST_F(AseReader, LongListsReadTheSameAcrossBufferEnds) {
  std::mt19937 rng(5);
  for (unsigned oddOneIn : {100000u, 3000u}) {
    const std::string path =
        dir_.Write("long.ase", std::string(kHeader) + ObjectOfNearlyShapedLines(rng, false, 30000, oddOneIn));
    ASSERT_EQ(ReadBack(path, size_t{1} << 20, vtText::ReadAhead::Always), ReadBack(path, 8, vtText::ReadAhead::Never))
        << oddOneIn;
  }
}
