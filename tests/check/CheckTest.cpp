// Each kind of finding of `vortane --check`, shown by a small demo: the
// checker must report it at the file and line where the author can mend it.
#include "check/vtCheckU.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>

#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using Files = std::map<std::string, std::string>;  // path in the demo folder -> content

constexpr const char* kScript = "data/tunnel_test.vds";

std::string Channel(const std::string& type, const std::string& file,
                    const std::string& lines = "  VT_RENDER_TIMES_BEGIN_END 0 1000 0 \"vt_PLAY\"\n") {
  return "VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE \"" + type + "\"\n VT_RENDER_ITEMS_FILE \"" + file +
         "\"\n VT_RENDER_LINES {\n" + lines + " }\n}\n";
}

// Line 1 sets the end time, line 4 names the item's file, line 6 is the
// first render line.
std::string Script(const std::string& channel, const std::string& head = "VT_DEMO_ENDTIME 5000\n") {
  return head + channel;
}

constexpr const char* kKey = "  VT_KEY 0 1 1 0 0 9 9 1 1 1 1\n";

// Line 2 names the picture, line 5 opens the keys, line 6 is the first key.
std::string Layer(const std::string& picture = "no.image", const std::string& keys = kKey,
                  const std::string& opener = " VT_KEYS {\n") {
  return "VT_LAYER {\n VT_TEXT_SOURCE \"" + picture + "\"\n VT_BLEND_SFACTOR 770\n VT_BLEND_DFACTOR 771\n" + opener +
         keys + " }\n}\n";
}

std::string Picture(int width) {
  return "P6\n" + std::to_string(width) + " 1\n255\n" + std::string(3 * static_cast<size_t>(width), '\x7f');
}

std::string Triangle(const std::string& corners) {
  return "*GEOMOBJECT {\n *NODE_TM {\n  *NODE_NAME \"T\"\n }\n *MESH {\n  *MESH_VERTEX_LIST {\n"
         "   *MESH_VERTEX 0\t-1.0\t-1.0\t0.0\n   *MESH_VERTEX 1\t1.0\t-1.0\t0.0\n   *MESH_VERTEX 2\t0.0\t1.0\t0.0\n  }\n"
         "  *MESH_FACE_LIST {\n   *MESH_FACE 0: " + corners + "\n  }\n }\n}\n";
}

struct Case {
  const char* name;
  Files files;
  const char* file;  // the finding expected; no code: no finding at all
  int line;
  const char* code;
  vtSeverity severity;
  const char* mentions = "";  // in the finding's text
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Stands for a picture one pixel wider than the driver takes.
constexpr const char* kTooLarge = "(too large)";

int MaxTextureSize() {
  testsupport::SharedGl().MakeCurrent();
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  return static_cast<int>(size);
}

constexpr vtSeverity W = vtSeverity::Warning;
constexpr vtSeverity E = vtSeverity::Error;
const std::string kLayerScript = Script(Channel("vt_2D_VTL", "data\\a.vtl"));

const Case kCases[] = {
    {"a_sound_demo", {{kScript, kLayerScript}, {"data/a.vtl", Layer()}}, "", 0, "", W},
    {"missing_item_file", {{kScript, kLayerScript}}, "data\\tunnel_test.vds", 4, "missing-file", E},
    {"missing_scene", {{kScript, Script(Channel("vt_3D_ASE", "data\\s.ase"))}}, "data\\tunnel_test.vds", 4, "missing-file", E},
    {"missing_picture", {{kScript, kLayerScript}, {"data/a.vtl", Layer("data\\p.ppm")}}, "data\\a.vtl", 2, "picture", E},
    {"missing_picture_named_again",
     {{kScript, Script(Channel("vt_2D_VTL", "data\\a.vtl") + Channel("vt_2D_VTL", "data\\b.vtl"))},
      {"data/a.vtl", Layer("data\\p.ppm")}, {"data/b.vtl", Layer("data\\p.ppm")}},
     "data\\b.vtl", 2, "picture", E},
    {"picture_found_elsewhere", {{kScript, kLayerScript}, {"data/a.vtl", Layer("art\\p.ppm")}, {"data/p.ppm", Picture(2)}},
     "data\\a.vtl", 2, "picture-elsewhere", W, "next to"},
    {"picture_too_large", {{kScript, kLayerScript}, {"data/a.vtl", Layer("data\\p.ppm")}, {"data/p.ppm", kTooLarge}},
     "data\\a.vtl", 2, "picture-too-large", E},
    {"missing_music", {{kScript, Script(Channel("vt_2D_VTL", "data\\a.vtl"), "VT_DEMO_ENDTIME 5000\nVT_BASS_MUSIC \"m.ogg\"\n")},
                       {"data/a.vtl", Layer()}}, "data\\tunnel_test.vds", 2, "music", E},
    {"conversion_in_script", {{kScript, "VT_WINDOW_HEIGHT 600x\n"}}, "data\\tunnel_test.vds", 1, "conversion", E},
    {"conversion_in_item", {{kScript, kLayerScript}, {"data/a.vtl", Layer("no.image", "  VT_KEY 0 1 1 x 0 9 9 1 1 1 1\n")}},
     "data\\a.vtl", 6, "conversion", E},
    {"trailing_comment", {{kScript, "VT_DEMO_NAME \"x\"  # the name\n"}}, "data\\tunnel_test.vds", 1, "trailing-comment", W},
    {"trailing_blank", {{kScript, Script(Channel("vt_MESH", "data\\m.vto"))},
                        {"data/m.vto", "VT_MESH_INFO {\n VT_GEN_TYPE \"vt_TORUS\"\n VT_PARAMETER {\n  VT_RADIUS 1.5 \n }\n}\n"}},
     "data\\m.vto", 4, "trailing-blank", W},
    {"one_blank_after_rotate", {{kScript, Script(Channel("vt_TRANS", "data\\t.vtt"))},
                                {"data/t.vtt", "VT_STATIC_TRANSFORMATION {\n VT_ROTATE 90 0 1 0\n}\n"}},
     "data\\t.vtt", 2, "spacing", W},
    {"value_on_a_flag", {{kScript, "VT_FULLSCREEN 0\n"}}, "data\\tunnel_test.vds", 1, "value-on-flag", W},
    {"entry_after_keys_opener", {{kScript, kLayerScript}, {"data/a.vtl", Layer("no.image", kKey, " VT_KEYS {" + std::string(kKey))}},
     "data\\a.vtl", 5, "after-opener", W},
    {"layer_inside_a_layer", {{kScript, kLayerScript}, {"data/a.vtl", "VT_LAYER {\n VT_LAYER {\n}\n"}}, "data\\a.vtl", 2,
     "nested-block", W},
    {"block_never_closed", {{kScript, kLayerScript}, {"data/a.vtl", "VT_LAYER {\n VT_BLEND_SFACTOR 770\n"}}, "data\\a.vtl", 1,
     "unclosed", E},
    {"scene_cut_short", {{kScript, Script(Channel("vt_3D_ASE", "data\\s.ase"))},
                         {"data/s.ase", Triangle("A: 0 B: 1 C: 2").substr(0, Triangle("").find("   *MESH_VERTEX 2"))}},
     "data\\s.ase", 1, "unclosed", E},
    {"misspelt_key", {{kScript, "VT_DEMO_ENTIME 5000\n"}}, "data\\tunnel_test.vds", 1, "unknown-key", W, "VT_DEMO_ENDTIME"},
    {"begin_after_end", {{kScript, Script(Channel("vt_2D_VTL", "data\\a.vtl", "  VT_RENDER_TIMES_BEGIN_END 3000 1000 0 \"vt_PLAY\"\n"))},
                         {"data/a.vtl", Layer()}}, "data\\tunnel_test.vds", 6, "begin-after-end", W},
    {"line_past_the_end", {{kScript, Script(Channel("vt_2D_VTL", "data\\a.vtl", "  VT_RENDER_TIMES_BEGIN_END 6000 7000 0 \"vt_PLAY\"\n"))},
                           {"data/a.vtl", Layer()}}, "data\\tunnel_test.vds", 6, "past-end", W},
    {"item_never_drawn", {{kScript, Script(Channel("vt_2D_VTL", "data\\a.vtl", ""))}, {"data/a.vtl", Layer()}},
     "data\\tunnel_test.vds", 4, "never-drawn", W},
    {"extension_in_capitals", {{kScript, Script(Channel("vt_3D_ASE", "data\\s.ASE"))}, {"data/s.ASE", Triangle("A: 0 B: 1 C: 2")}},
     "data\\s.ASE", 0, "extension", E},
    {"name_in_other_letter_case", {{kScript, Script(Channel("vt_2D_VTL", "data\\A.vtl"))}, {"data/a.vtl", Layer()}},
     "data\\tunnel_test.vds", 4, "letter-case", W},
    {"scene_without_normals", {{kScript, Script(Channel("vt_3D_ASE", "data\\s.ase"))}, {"data/s.ase", Triangle("A: 0 B: 1 C: 2")}},
     "data\\s.ase", 0, "derived-normals", W},
    {"scene_object_refused", {{kScript, Script(Channel("vt_3D_ASE", "data\\s.ase"))}, {"data/s.ase", Triangle("A: 0 B: 1 C: 7")}},
     "data\\s.ase", 0, "refused-object", W},
    {"keys_out_of_time_order", {{kScript, kLayerScript}, {"data/a.vtl", Layer("no.image", "  VT_KEY 900 1 1 0 0 9 9 1 1 1 1\n"
                                                                                          "  VT_KEY 100 1 1 0 0 9 9 1 1 1 1\n")}},
     "data\\a.vtl", 7, "key-order", W},
};

class Check : public ::testing::TestWithParam<Case> {};

TEST_P(Check, ReportsEachKindWhereItCanBeMended) {
  const Case& c = GetParam();
  testsupport::TempDir dir;
  for (const auto& [path, content] : c.files)
    dir.Write(path, content == kTooLarge ? Picture(MaxTextureSize() + 1) : content);
  testsupport::ChangeDir into(dir.Path());
  testsupport::ResetGlobals();
  const vtCheckResult result = CheckDemo("data\\tunnel_test.vds");
  const std::string all = FindingsText(result);
  if (std::string(c.code).empty()) {
    EXPECT_EQ(all, "0 errors, 0 warnings\n");
    return;
  }
  bool found = false;
  for (const vtFinding& f : result.Findings)
    found = found || (f.File == c.file && f.Line == c.line && f.Code == c.code && f.Severity == c.severity &&
                      f.Text.find(c.mentions) != std::string::npos);
  EXPECT_TRUE(found) << all;
  EXPECT_EQ(result.Errors > 0, c.severity == E) << all;
}

INSTANTIATE_TEST_SUITE_P(Findings, Check, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
