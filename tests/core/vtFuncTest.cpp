#include "core/vtFuncU.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Title.h"
#include "support/TestGlobals.h"

namespace {

using platform::MessageBoxRecorder;
using platform::MsgIcon;
using testsupport::ReadFileText;
using testsupport::TempDir;

TEST(vtFuncInterpolate, Modes) {
  vtFunc f;
  EXPECT_FLOAT_EQ(f.Interpolate(0, 10, 20, 0.5f), 15.0f);
  EXPECT_NEAR(f.Interpolate(1, 10, 20, 0.5f), 17.0711f, 1e-4);
  EXPECT_NEAR(f.Interpolate(2, 10, 20, 0.5f), 12.9289f, 1e-4);
  EXPECT_EQ(f.Interpolate(3, 10, 20, 0.5f), 0.0f);
  EXPECT_EQ(f.Interpolate(-1, 10, 20, 0.5f), 0.0f);
  for (int mode : {0, 1, 2}) {
    EXPECT_FLOAT_EQ(f.Interpolate(mode, 10, 20, 0), 10.0f) << mode;
    EXPECT_NEAR(f.Interpolate(mode, 10, 20, 1), 20.0f, 1e-5) << mode;
  }
}

TEST(vtFuncInterpolate, ExtrapolatesWithoutClamping) {
  vtFunc f;
  EXPECT_FLOAT_EQ(f.Interpolate(0, 10, 20, 1.5f), 25.0f);
  EXPECT_FLOAT_EQ(f.Interpolate(0, 10, 20, -1), 0.0f);
  EXPECT_NEAR(f.Interpolate(1, 10, 20, 2), 10.0f, 1e-5);   // sin(pi) = 0
  EXPECT_NEAR(f.Interpolate(1, 10, 20, 3), 0.0f, 1e-5);    // sin(3pi/2) = -1
  EXPECT_NEAR(f.Interpolate(2, 10, 20, 2), 30.0f, 1e-5);   // 1 - cos(pi) = 2
  EXPECT_NEAR(f.Interpolate(2, 10, 20, -1), 20.0f, 1e-5);  // 1 - cos(-pi/2) = 1
}

const char* const kTagNames[] = {
    "vt_2D_VTL", "vt_3D_ASE", "vt_BIN", "vt_BOX", "vt_EFFECT00", "vt_EFFECT01", "vt_FACE",
    "vt_GEOMETRYDATA", "vt_MATERIAL", "vt_MESH", "vt_NONE", "vt_NORMAL", "vt_PATH", "vt_PLAY",
    "vt_SKY", "vt_SPHERE", "vt_TEXT", "vt_TEXTURE", "vt_TEXTURECOORD", "vt_TEXTUREFACE", "vt_TORUS",
    "vt_TRANS", "vt_TUNNEL", "vt_UINT", "vt_UNPLAY", "vt_VERTEX", "vt_ZIP"};

TEST(vtFuncTags, NamesRoundTripWithRisingValues) {
  vtFunc f;
  ASSERT_EQ(std::size(kTagNames), 27u);
  int previous = 0;
  for (const char* name : kTagNames) {
    vtType tag = f.TypeFromName(name);
    EXPECT_EQ(f.NameFromType(tag), name);
    EXPECT_GT(tag, previous) << name;  // declared order, distinct values
    previous = tag;
  }
  EXPECT_EQ(f.TypeFromName("vt_2D_VTL"), 100);
  EXPECT_EQ(f.TypeFromName("vt_BIN"), 250);
  EXPECT_EQ(f.TypeFromName("vt_TEXT"), 1850);
  EXPECT_EQ(f.TypeFromName("vt_ZIP"), 2800);
  EXPECT_GT(vt_END, vt_BOX);
  EXPECT_LT(vt_END, vt_EFFECT00);
}

TEST(vtFuncTags, UnknownNamesAndValues) {
  vtFunc f;
  for (const char* name : {"vt_play", " vt_PLAY", "vt_PLAY ", "", "vt_END", "PLAY", "vt_PLAYX"})
    EXPECT_EQ(f.TypeFromName(name), vt_NONE) << '"' << name << '"';
  EXPECT_EQ(f.NameFromType(vt_END), "");
  EXPECT_EQ(f.NameFromType(static_cast<vtType>(1100)), "");
  EXPECT_EQ(f.NameFromType(static_cast<vtType>(0)), "");
  EXPECT_EQ(f.NameFromType(vt_NONE), "vt_NONE");
}

TEST(vtFuncBoxes, CaptionsTextsAndIcons) {
  MessageBoxRecorder boxes;
  vtFunc f;
  f.ShowDebug();
  f.ShowDebug(std::string("value"));
  f.ShowDebug("literal");
  f.ShowDebug(std::int32_t{-5});
  f.ShowDebug(std::uint32_t{4000000000u});
  f.ShowDebug(2.5f);
  f.ShowDebug(true);
  f.ShowDebug(false);
  f.ShowInfo("info");
  f.ShowWarning("");
  EXPECT_FALSE(f.Panic("stop"));
  struct Expected {
    const char* Caption;
    const char* Text;
    MsgIcon Icon;
  };
  const Expected expected[] = {
      {"VortaneE Debug", "Debug", MsgIcon::Question},   {"VortaneE Debug", "value", MsgIcon::Question},
      {"VortaneE Debug", "literal", MsgIcon::Question}, {"VortaneE Debug", "-5", MsgIcon::Question},
      {"VortaneE Debug", "4000000000", MsgIcon::Question}, {"VortaneE Debug", "2.5", MsgIcon::Question},
      {"VortaneE Debug", "TRUE", MsgIcon::Question},    {"VortaneE Debug", "FALSE", MsgIcon::Question},
      {"VortaneE Information", "info", MsgIcon::Information}, {"VortaneE Warning", "", MsgIcon::Warning},
      {"VortaneF Panic", "stop", MsgIcon::Error}};
  ASSERT_EQ(boxes.Calls().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(boxes.Calls()[i].Caption, expected[i].Caption) << i;
    EXPECT_EQ(boxes.Calls()[i].Text, expected[i].Text) << i;
    EXPECT_EQ(boxes.Calls()[i].Icon, expected[i].Icon) << i;
    EXPECT_EQ(boxes.Calls()[i].Buttons, platform::MsgButtons::Ok) << i;
  }
  EXPECT_EQ(static_cast<unsigned>(MsgIcon::Question), 0x20u);
  EXPECT_EQ(static_cast<unsigned>(MsgIcon::Information), 0x40u);
  EXPECT_EQ(static_cast<unsigned>(MsgIcon::Warning), 0x30u);
  EXPECT_EQ(static_cast<unsigned>(MsgIcon::Error), 0x10u);
}

TEST(vtFuncTitle, TitleTexts) {
  std::vector<std::string> titles;
  platform::SetTitleSink([&](const std::string& t) { titles.push_back(t); });
  vtFunc f;
  f.ShowTitle();
  f.ShowTitle("fps");
  f.ShowTitle(std::int32_t{-7});
  f.ShowTitle(0.25f);
  f.ShowTitle(false);
  platform::SetTitleSink(nullptr);
  f.ShowTitle("nowhere");
  EXPECT_EQ(titles, (std::vector<std::string>{"Debug", "fps", "-7", "0.25", "FALSE"}));
}

TEST(vtFuncCheckExtension, OnlyTheLastDotCounts) {
  MessageBoxRecorder boxes;
  vtFunc f;
  EXPECT_TRUE(f.CheckExtension("data\\level.vds", "vds"));
  EXPECT_TRUE(f.CheckExtension("scene.backup.ase", "ase"));
  EXPECT_TRUE(boxes.Calls().empty());
  EXPECT_FALSE(f.CheckExtension("data\\level.VDS", "vds"));
  EXPECT_FALSE(f.CheckExtension("data\\level", "vds"));
  EXPECT_FALSE(f.CheckExtension("data.old\\scene", "vds"));
  EXPECT_TRUE(f.CheckExtension("data.old\\scene", "old\\scene"));
  ASSERT_EQ(boxes.Calls().size(), 3u);
  EXPECT_EQ(boxes.Calls()[0].Text, "Bad File Format: vds\rFile: data\\level.VDS");
  EXPECT_EQ(boxes.Calls()[1].Text, "Bad File Format: vds\rFile: data\\level");
  EXPECT_EQ(boxes.Calls()[1].Caption, "VortaneF Panic");
}

class vtFuncDump : public ::testing::Test {
 protected:
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) names.push_back(e.path().filename());
    return names;
  }
  std::string Read(const std::string& name) const { return ReadFileText(dir_.File(name)); }

  TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
  vtFunc f_;
};

TEST_F(vtFuncDump, WritesEachKind) {
  testing::internal::CaptureStdout();
  f_.DumpList(std::vector<vtFace>{{0, 1, 2}, {2, 3, 0}}, vt_FACE, "box");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Dump Create: box-face.d\n");
  EXPECT_EQ(Read("box-face.d"), "box\r\n2\r\n0\t\t0 1 2\r\n1\t\t2 3 0\r\n");

  vtGeom g;
  g.Position = {1, 2, 3};
  g.Normal = {0, 0, -1};
  g.TexCoord = {0.5f, 0.25f, 0};
  f_.DumpList(std::vector<vtGeom>{g}, vt_GEOMETRYDATA, "g");
  EXPECT_EQ(Read("g-gdata.d"), "g\r\n1\r\n0\t\t1 2 3 0 0 -1 0.5 0.25 0\r\n");

  std::vector<vtVec3D> vecs{{1.5f, -2, 0}, {0, 0, 1e20f}};
  f_.DumpList(vecs, vt_NORMAL, "n");
  f_.DumpList(vecs, vt_VERTEX, "v");
  EXPECT_EQ(Read("n-normal.d"), "n\r\n2\r\n0\t\t1.5 -2 0\r\n1\t\t0 0 1.00000002004088E20\r\n");
  EXPECT_EQ(Read("v-vertex.d"), Read("n-normal.d").replace(0, 1, "v"));

  f_.DumpList(std::vector<vtTexC>{{0.75f, 1, 2}}, vt_TEXTURECOORD, "t");
  EXPECT_EQ(Read("t-textcoord.d"), "t\r\n1\r\n0\t\t0.75 1 2\r\n");

  f_.DumpList(std::vector<std::uint32_t>{7, 4294967295u}, vt_UINT, "u");
  EXPECT_EQ(Read("u-uint.d"), "u\r\n2\r\n0\t\t\"7\"\r\n1\t\t\"4294967295\"\r\n");
}

TEST_F(vtFuncDump, EmptyListOrWrongKindWritesNoFile) {
  testing::internal::CaptureStdout();
  f_.DumpList(std::vector<vtFace>{}, vt_FACE, "box");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "! List Empty: \n");
  f_.DumpList(std::vector<vtFace>{{0, 1, 2}}, vt_VERTEX, "a");
  f_.DumpList(std::vector<vtVec3D>{{1, 2, 3}}, vt_FACE, "b");
  f_.DumpList(std::vector<vtVec3D>{{1, 2, 3}}, vt_TEXTURECOORD, "c");
  f_.DumpList(std::vector<std::uint32_t>{1}, vt_NONE, "d");
  f_.DumpList(std::vector<vtGeom>{vtGeom{}}, vt_NORMAL, "e");
  f_.DumpList(std::vector<vtTexC>{vtTexC{}}, vt_UINT, "f");
  EXPECT_TRUE(Files().empty());
}

}  // namespace
