// Bad data in every file the player reads, each file loaded the way the
// player loads it: named by a demo script, loaded by Init, drawn by a
// frame. Whatever a file holds, the player must not crash or hang; what it
// reports must name the file (and the line for a malformed number); and
// the demo's other items still play.
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <ostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/vtTextU.h"
#include "items/vtSkyU.h"
#include "items/vtMeshU.h"
#include "items/vtTransU.h"
#include "items/vtTunnelU.h"
#include "layers/vtLSysU.h"
#include "platform/MessageBox.h"
#include "platform/TextureLoader.h"
#include "resources/vtMapU.h"
#include "resources/vtTextures.h"
#include "runtime/vtDSysU.h"
#include "scene/vtSceneASEU.h"
#include "support/AudioMedia.h"
#include "support/GlTest.h"
#include "support/Images.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::Rgba;
using testsupport::TempDir;

// A file kind of the player, and how a script brings it in.
struct Format {
  std::string name;      // test parameter name
  std::string file;      // the file's name, with its extension
  std::string good;      // a small file of which something is kept
  std::string malformed; // a file with a malformed integer ("" when the format has none)
  int malformedLine = 0;
  bool lines = true;     // a line-oriented text format
  // The script that plays the file ("" when the file is the script).
  std::string script;
  // How much of the file the demo kept after Init.
  std::function<std::size_t(const vtDemoSystem&)> kept;
};

void PrintTo(const Format& format, std::ostream* out) { *out << format.name; }

constexpr const char* kScript = "demo.vds";

std::string Channel(const std::string& type, const std::string& file) {
  return "VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE \"" + type + "\"\n VT_RENDER_ITEMS_FILE \"" + file +
         "\"\n VT_RENDER_LINES {\n  VT_RENDER_TIMES_BEGIN_END 0 1000 0 \"vt_PLAY\"\n }\n}\n";
}

// A layer file drawing one opaque rectangle in layer space (1024 x 768).
std::string Layer(int x, int width, Rgba colour, const std::string& texture = "no.image") {
  std::string key = std::to_string(x + width / 2) + " 384 0 0 " + std::to_string(width) + " 768 " +
                    std::to_string(colour[0]) + " " + std::to_string(colour[1]) + " " +
                    std::to_string(colour[2]) + " 255";
  return "#Vortane Layer System\nVT_LAYER {\n VT_TEXT_SOURCE \"" + texture +
         "\"\n VT_BLEND_SFACTOR 770\n VT_BLEND_DFACTOR 771\n VT_KEYS {\n  VT_KEY 0 " + key +
         "\n  VT_KEY 100000 " + key + "\n }\n}\n";
}

template <class Item>
const Item* First(const vtDemoSystem& demo) {
  return demo.Items.empty() ? nullptr : dynamic_cast<const Item*>(demo.Items[0].get());
}

std::string FileBytes(const std::function<bool(const std::string&)>& write, const std::string& name) {
  TempDir dir;
  if (!write(dir.File(name))) return {};
  return testsupport::ReadFileText(dir.File(name));
}

std::vector<Format> Formats() {
  const std::string ase =
      "*3DSMAX_ASCIIEXPORT\t200\n*GEOMOBJECT {\n\t*NODE_TM {\n\t\t*NODE_NAME \"o\"\n\t}\n\t*MESH {\n"
      "\t\t*MESH_VERTEX_LIST {\n\t\t\t*MESH_VERTEX 0\t0.0\t0.0\t0.0\n\t\t\t*MESH_VERTEX 1\t1.0\t0.0\t0.0\n"
      "\t\t\t*MESH_VERTEX 2\t0.0\t1.0\t0.0\n\t\t}\n\t\t*MESH_FACE_LIST {\n"
      "\t\t\t*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0\n\t\t}\n\t}\n\t*MATERIAL_REF 0\n}\n";
  return {
      {"script", kScript, Channel("vt_TRANS", "a.vtt") + Channel("vt_MESH", "b.vto"),
       "VT_DEMO_NAME \"x\"\nVT_WINDOW_WIDTH 64O\n", 2, true, "",
       [](const vtDemoSystem& d) { return d.Items.size(); }},
      {"vtl", "layer.vtl", Layer(0, 512, {255, 0, 0, 255}),
       "VT_LAYER {\n VT_TEXT_SOURCE \"no.image\"\n VT_KEYS {\n  VT_KEY 0 1 2 0.5 0 10 10 1 1 1 1\n", 4, true,
       Channel("vt_2D_VTL", "layer.vtl"),
       [](const vtDemoSystem& d) { return First<vtLayerSystem>(d) ? First<vtLayerSystem>(d)->Layers.size() : 0; }},
      {"vtt", "move.vtt", "VT_STATIC_TRANSFORMATION {\n\tVT_TRANSLATE 0 0 -5\n\tVT_ROTATE 30 0 1 0\n}\n",
       "# turn\nVT_DYNAMIC_TRANSFORMATION {\n\tVT_ROTATE 4O 0 1 0\n}\n", 3, true, Channel("vt_TRANS", "move.vtt"),
       [](const vtDemoSystem& d) { return First<vtTransform>(d) ? First<vtTransform>(d)->Items.size() : 0; }},
      {"vtk", "sky.vtk", "VT_SKY_NAME \"s\"\nVT_SKY_SIZE 40\n", "VT_SKY_NAME \"s\"\nVT_SKY_SIZE 4.0\n", 2, true,
       Channel("vt_SKY", "sky.vtk"),
       [](const vtDemoSystem& d) {
         return First<vtSky>(d) ? static_cast<std::size_t>(First<vtSky>(d)->Size > 0) : 0;
       }},
      {"vto", "torus.vto",
       "VT_MESH_INFO {\n\tVT_MESH_TYPE\n\tVT_GEN_TYPE \"vt_TORUS\"\n\tVT_PARAMETER {\n\t\tVT_RADIUS 1.0\n"
       "\t\tVT_WITH 0.4\n\t\tVT_STACKS 6\n\t\tVT_SLICES 8\n\t}\n}\n",
       "VT_MESH_INFO {\n\tVT_MESH_TYPE\n\tVT_GEN_TYPE \"vt_TORUS\"\n\tVT_PARAMETER {\n\t\tVT_STACKS 1x6\n", 5, true,
       Channel("vt_MESH", "torus.vto"),
       [](const vtDemoSystem& d) {
         return First<vtMesh>(d) ? static_cast<std::size_t>(First<vtMesh>(d)->TexturedList != 0) : 0;
       }},
      {"vts", "tube.vts", "VT_EFFECT \"vt_EFFECT01\"\n", "", 0, true, Channel("vt_TUNNEL", "tube.vts"),
       [](const vtDemoSystem& d) {
         return First<vtTunnel>(d) ? static_cast<std::size_t>(First<vtTunnel>(d)->Effect == vt_EFFECT01) : 0;
       }},
      {"ase", "thing.ase", ase, "*3DSMAX_ASCIIEXPORT\t200\n*GEOMOBJECT {\n\t*MATERIAL_REF 1x\n}\n", 3, true,
       Channel("vt_3D_ASE", "thing.ase"),
       [](const vtDemoSystem& d) { return First<vtSceneASE>(d) ? First<vtSceneASE>(d)->Objects.size() : 0; }},
      // Pictures and music are binary: their readers have no lines.
      {"image", "wall.png",
       FileBytes([](const std::string& p) { return testsupport::WriteSolidImage(p, {0, 0, 255, 255}); }, "w.png"),
       "", 0, false, Channel("vt_TUNNEL", "tube.vts"),
       [](const vtDemoSystem& d) {
         const vtTunnel* tunnel = First<vtTunnel>(d);
         return tunnel && tunnel->DiffuseMap ? static_cast<std::size_t>(tunnel->DiffuseMap->Texture->Id != 0) : 0;
       }},
      {"music", "tune.wav",
       FileBytes(
           [](const std::string& p) {
             return testsupport::WriteSound(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1,
                                            testsupport::TestTones(800, 1, 8000));
           },
           "t.wav"),
       "", 0, false, "VT_BASS_MUSIC \"tune.wav\"\nVT_BASS_TIMER\n" + Channel("vt_TRANS", "none.vtt"),
       [](const vtDemoSystem& d) { return static_cast<std::size_t>(d.Music->Loaded); }},
  };
}

// Each case runs a fresh demo in a scratch folder: the script and the file
// under test are written there, Init loads everything and a frame is drawn
// in the middle of every item's line.
class BadDataFormats : public testsupport::GlTest, public ::testing::WithParamInterface<Format> {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testsupport::ResetGlobals();
    // The image row plays its picture through a tunnel.
    if (GetParam().name == "image") dir_.Write("tube.vts", "VT_DIFFUSE_MAP \"" + GetParam().file + "\"\n");
    if (!GetParam().script.empty()) dir_.Write(kScript, GetParam().script);
  }

  // Plays the demo once with the file under test as it is on disk.
  std::size_t Play() {
    boxes_.Clear();
    testsupport::ResetGlobals();
    vtDemoSystem demo;
    demo.SetManualTime(0);
    demo.LoadScript(GlobalFunc->WorkDir + "\\" + kScript);
    demo.Init();
    demo.SetManualTime(500);
    demo.DrawFrame();
    return GetParam().kept(demo);
  }

  std::size_t PlayWith(const std::string& content) {
    dir_.Write(GetParam().file, content);
    return Play();
  }

  // Every message names the file, or the picture the file names that could
  // not be loaded; one about a number names the line too.
  void ExpectMessagesNameTheFile(const std::string& what) {
    const std::string picture = "Cannot load the texture: " + GlobalFunc->WorkDir + "\\";
    for (const auto& box : boxes_.Calls()) {
      const bool named = box.Text.find(GetParam().file) != std::string::npos ||
                         (GetParam().name != "image" && box.Text.rfind(picture, 0) == 0);
      EXPECT_TRUE(named) << what << ": " << box.Text;
      if (box.Text.find("invalid") != std::string::npos) {
        EXPECT_NE(box.Text.find("LINE: "), std::string::npos) << what << ": " << box.Text;
      }
    }
  }

  TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
  platform::MessageBoxRecorder boxes_;
};

TEST_P(BadDataFormats, TheGoodFileIsKeptWithoutAMessage) {
  EXPECT_GT(PlayWith(GetParam().good), 0u);
  EXPECT_TRUE(boxes_.Calls().empty()) << boxes_.Calls()[0].Text;
}

// Random bytes, NUL bytes included, and random soup of the formats' own
// keys, braces, quotes and numbers.
TEST_P(BadDataFormats, BinaryGarbageAndKeySoup) {
  static const char* const kWords[] = {"VT_", "VT_RENDER_CHANNEL {", "VT_RENDER_LINES {", "VT_KEYS {", "VT_KEY",
                                       "VT_LAYER {", "*GEOMOBJECT {", "*MESH {", "*MESH_FACE", "{", "}", "\"",
                                       "/*", "*/", "#", "\n", "\r", " ", "\t", "-1", "1e9", "2147483648", "x",
                                       "VT_RENDER_TIMES_BEGIN_END", "VT_ROTATE", "*MESH_VERTEX", "VT_STACKS"};
  std::mt19937 random(7);
  for (int round = 0; round < 6; ++round) {
    std::string content;
    if (round % 2 == 0) {
      for (int i = 0; i < 64 * 1024; ++i) content.push_back(static_cast<char>(random() & 0xff));
    } else {
      while (content.size() < 16 * 1024) content += kWords[random() % (sizeof kWords / sizeof *kWords)];
    }
    PlayWith(content);
    ExpectMessagesNameTheFile("round " + std::to_string(round));
  }
}

// Cut anywhere, the file ends inside a line, a value, a quote or a block.
TEST_P(BadDataFormats, TruncatedAnywhere) {
  const std::string& good = GetParam().good;
  ASSERT_FALSE(good.empty());
  const std::size_t step = good.size() <= 600 ? 1 : good.size() / 60;
  for (std::size_t length = 0; length < good.size(); length += step) {
    PlayWith(good.substr(0, length));
    ExpectMessagesNameTheFile("length " + std::to_string(length));
  }
}

TEST_P(BadDataFormats, MegabyteLinesAreSkippedLikeAnyOther) {
  if (!GetParam().lines) GTEST_SKIP() << "not a line format";
  const std::size_t keep = PlayWith(GetParam().good);
  const std::string huge(3 << 20, 'x');
  const std::string& good = GetParam().good;
  const std::size_t firstLineEnd = good.find('\n') + 1;
  EXPECT_EQ(PlayWith("# " + huge + "\n" + good.substr(0, firstLineEnd) + huge + "\n" + good.substr(firstLineEnd) +
                     huge),
            keep);
  EXPECT_TRUE(boxes_.Calls().empty()) << boxes_.Calls()[0].Text;
}

TEST_P(BadDataFormats, MalformedNumberIsReportedWithFileAndLine) {
  if (GetParam().malformed.empty()) GTEST_SKIP() << "no integers in this format";
  PlayWith(GetParam().malformed);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  const auto& box = boxes_.Calls()[0];
  EXPECT_EQ(box.Icon, platform::MsgIcon::Error);
  EXPECT_NE(box.Text.find("\" is an invalid integer"), std::string::npos) << box.Text;
  // Named as the demo writes it, not by its absolute path.
  EXPECT_NE(box.Text.find("File: " + std::string(GetParam().file) + "\r"), std::string::npos) << box.Text;
  EXPECT_NE(box.Text.find("LINE: " + std::to_string(GetParam().malformedLine)), std::string::npos) << box.Text;
}

// Missing, a folder, a named pipe (which would wait for a writer for
// ever): nothing is kept, and anything said names the file.
TEST_P(BadDataFormats, WhatIsNoReadableFileKeepsNothing) {
  const std::string path = dir_.File(GetParam().file);
  EXPECT_EQ(Play(), 0u) << "missing";
  ExpectMessagesNameTheFile("missing");

  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  EXPECT_EQ(Play(), 0u) << "folder";
  ExpectMessagesNameTheFile("folder");
  ::rmdir(path.c_str());

  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_EQ(Play(), 0u) << "pipe";
  ExpectMessagesNameTheFile("pipe");
  ::unlink(path.c_str());
}

TEST_P(BadDataFormats, UnreadableFileKeepsNothing) {
  testsupport::ObeyFileModes modes;
  if (!modes.Active()) GTEST_SKIP() << "this process reads files of any mode";
  const std::string path = dir_.Write(GetParam().file, GetParam().good);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  EXPECT_EQ(Play(), 0u) << "unreadable";
  ExpectMessagesNameTheFile("unreadable");
}

std::string ParamName(const ::testing::TestParamInfo<Format>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(BadData, BadDataFormats, ::testing::ValuesIn(Formats()), ParamName);

// ------------------------------------------------------------- demos

class BadDataDemo : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testsupport::ResetGlobals();
  }

  void Play(vtDemoSystem& demo, float time) {
    demo.SetManualTime(0);
    ASSERT_TRUE(demo.LoadScript(GlobalFunc->WorkDir + "\\" + kScript)) << demo.ScriptError;
    demo.Init();
    demo.SetManualTime(time);
    ASSERT_TRUE(demo.DrawFrame());
    glFinish();
  }

  std::vector<std::string> TextsOf(platform::MsgIcon icon) const {
    std::vector<std::string> texts;
    for (const auto& box : boxes_.Calls())
      if (box.Icon == icon) texts.push_back(box.Text);
    return texts;
  }

  TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
  platform::MessageBoxRecorder boxes_;
};

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};

// Between a red left half and a green right half the script lists items
// whose files are malformed, missing, a folder, garbage or cut short.
TEST_F(BadDataDemo, BadItemsAmongGoodOnesAreReportedAndTheGoodOnesStillDraw) {
  dir_.Write("left.vtl", Layer(0, 512, kRed));
  dir_.Write("bad.vto", "VT_MESH_INFO {\n\tVT_GEN_TYPE \"vt_TORUS\"\n\tVT_PARAMETER {\n\t\tVT_STACKS 1x6\n");
  dir_.Write("bad.ase", "*3DSMAX_ASCIIEXPORT\t200\n*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_VERTEX_LIST {\n"
                        "*MESH_VERTEX 0 1 2 3\n*MESH_VERTEX 9");
  dir_.Write("noise.vtt", std::string("\0\xff{VT_ROTATE\0\n}}\x1a", 18));
  ::mkdir(dir_.File("sky.vtk").c_str(), 0755);
  dir_.Write("right.vtl", Layer(512, 512, kGreen));
  dir_.Write(kScript, "VT_DEMO_ENDTIME 1000\n" + Channel("vt_2D_VTL", "left.vtl") + Channel("vt_MESH", "bad.vto") +
                          Channel("vt_3D_ASE", "bad.ase") + Channel("vt_TRANS", "noise.vtt") +
                          Channel("vt_TRANS", "missing.vtt") + Channel("vt_SKY", "sky.vtk") +
                          Channel("vt_2D_VTL", "right.vtl"));
  vtDemoSystem demo;
  Play(demo, 500);

  ASSERT_EQ(demo.Items.size(), 7u);
  const std::vector<std::string> panics = TextsOf(platform::MsgIcon::Error);
  ASSERT_EQ(panics.size(), 1u);
  EXPECT_NE(panics[0].find("bad.vto\rLINE: 4"), std::string::npos) << panics[0];
  EXPECT_TRUE(demo.Items[1]->LoadFailed);
  for (std::size_t i : {0u, 2u, 3u, 4u, 5u, 6u}) EXPECT_FALSE(demo.Items[i]->LoadFailed) << i;
  EXPECT_EQ(Pixel(64, 128), kRed);
  EXPECT_EQ(Pixel(192, 128), kGreen);
}

// No music and no pictures: a silent demo on the system clock, each
// missing picture named once, and the untextured rectangles still drawn.
TEST_F(BadDataDemo, MissingTexturesAndMusicLeaveASilentUntexturedDemo) {
  dir_.Write("left.vtl", Layer(0, 512, kRed, "textures\\gone.png"));
  dir_.Write("right.vtl", Layer(512, 512, kGreen, "textures\\gone.png"));
  dir_.Write("tube.vts", "VT_DIFFUSE_MAP \"textures\\also_gone.jpg\"\nVT_EFFECT \"vt_EFFECT01\"\n");
  dir_.Write(kScript, "VT_BASS_MUSIC \"music\\gone.ogg\"\nVT_BASS_TIMER\nVT_DEMO_ENDTIME 1000\n" +
                          Channel("vt_2D_VTL", "left.vtl") + Channel("vt_2D_VTL", "right.vtl") +
                          Channel("vt_TUNNEL", "tube.vts"));
  vtDemoSystem demo;
  demo.LoadScript(GlobalFunc->WorkDir + "\\" + kScript);
  EXPECT_FALSE(demo.Music->Loaded);
  EXPECT_EQ(demo.ClockSource(), vtClockSource::System);
  Play(demo, 500);

  const std::vector<std::string> warnings = TextsOf(platform::MsgIcon::Warning);
  ASSERT_EQ(warnings.size(), 2u);  // the store remembers the failed picture
  EXPECT_NE(warnings[0].find("gone.png"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find("also_gone.jpg"), std::string::npos) << warnings[1];
  EXPECT_TRUE(TextsOf(platform::MsgIcon::Error).empty());
  EXPECT_EQ(Pixel(64, 128), kRed);
  EXPECT_EQ(Pixel(192, 128), kGreen);
}

// A disk error under the reader (here: a file the kernel lists as regular
// but refuses to read) is reported with the file's name; the demo goes on.
TEST_F(BadDataDemo, AReadErrorIsReportedAndTheItemIsNotDrawn) {
  ASSERT_EQ(::symlink("/proc/self/mem", dir_.File("broken.vtt").c_str()), 0);
  dir_.Write("left.vtl", Layer(0, 512, kRed));
  dir_.Write(kScript, "VT_DEMO_ENDTIME 1000\n" + Channel("vt_TRANS", "broken.vtt") + Channel("vt_2D_VTL", "left.vtl"));
  vtDemoSystem demo;
  Play(demo, 500);

  const std::vector<std::string> panics = TextsOf(platform::MsgIcon::Error);
  ASSERT_EQ(panics.size(), 1u);
  EXPECT_NE(panics[0].find("broken.vtt"), std::string::npos) << panics[0];
  EXPECT_TRUE(demo.Items[0]->LoadFailed);
  EXPECT_EQ(Pixel(64, 128), kRed);

  ASSERT_EQ(::unlink(dir_.File(kScript).c_str()), 0);
  ASSERT_EQ(::symlink("/proc/self/mem", dir_.File(kScript).c_str()), 0);
  vtDemoSystem unreadable;
  boxes_.Clear();
  EXPECT_FALSE(unreadable.LoadScript(GlobalFunc->WorkDir + "\\" + kScript));
  EXPECT_NE(unreadable.ScriptError.find("demo.vds\rLINE: 0"), std::string::npos) << unreadable.ScriptError;
  EXPECT_EQ(TextsOf(platform::MsgIcon::Error).size(), 1u);
}

// Any number of normals, before or after the faces: every object is built
// (one normal per corner, per vertex or per face) and drawn, never read
// outside a list.
TEST_F(BadDataDemo, NormalListsOfAnyLengthDraw) {
  const std::string vertices =
      "*MESH_VERTEX_LIST {\n*MESH_VERTEX 0 0 0 -5\n*MESH_VERTEX 1 1 0 -5\n*MESH_VERTEX 2 1 1 -5\n"
      "*MESH_VERTEX 3 0 1 -5\n}\n";
  const std::string faces = "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 2\n*MESH_FACE 1: A: 2 B: 3 C: 0\n}\n";
  dir_.Write(kScript, "VT_DEMO_ENDTIME 1000\n" + Channel("vt_3D_ASE", "n.ase"));
  for (int count = 0; count <= 8; ++count) {
    for (bool normalsFirst : {false, true}) {
      SCOPED_TRACE(std::to_string(count) + (normalsFirst ? " normals before the faces" : " normals"));
      std::string normals = "*MESH_NORMALS {\n";
      for (int i = 0; i < count; ++i) normals += "*MESH_VERTEXNORMAL " + std::to_string(i % 4) + " 0 0 1\n";
      normals += "}\n";
      dir_.Write("n.ase", "*GEOMOBJECT {\n*MESH {\n" + vertices + (normalsFirst ? normals + faces : faces + normals) +
                              "}\n}\n");
      boxes_.Clear();
      testsupport::ResetGlobals();
      vtDemoSystem demo;
      Play(demo, 500);
      const auto* scene = First<vtSceneASE>(demo);
      ASSERT_TRUE(scene && scene->Objects.size() == 1);
      EXPECT_FALSE(scene->Objects[0]->Refused);
      EXPECT_EQ(scene->Objects[0]->Geometry.size(), 6u);
      EXPECT_TRUE(boxes_.Calls().empty()) << boxes_.Calls()[0].Text;
    }
  }
}

// A 54-byte BMP whose header claims 30000 x 30000 pixels: more than any
// texture the driver takes, so it is refused before gigabytes are decoded.
TEST_F(BadDataDemo, APictureClaimingAHugeSizeIsRefusedByItsHeader) {
  auto le32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  const std::string header = "BM" + le32(54) + le32(0) + le32(54) + le32(40) + le32(30000) + le32(30000) +
                             std::string("\1\0\x18\0", 4) + le32(0) + le32(0) + le32(0) + le32(0) + le32(0) +
                             le32(0);
  ASSERT_EQ(header.size(), 54u);
  std::uint32_t id = 5;
  EXPECT_FALSE(platform::LoadTextureFile(dir_.Write("huge.bmp", header), id));
  EXPECT_EQ(id, 5u);
}

}  // namespace
