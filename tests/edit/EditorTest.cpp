// Editing the script's render lines: every byte the edit does not change
// stays, new lines look like their neighbours, undo and redo give back the
// exact bytes, and stale versions are refused.
#include "edit/vtEditorU.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <algorithm>
#include <functional>
#include <random>

#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::ReadFileText;

constexpr const char* kPath = "data\\test.vds";

class EditorTest : public ::testing::Test {
 protected:
  EditorTest() : cd_(dir_.Path()) { testsupport::ResetGlobals(); }

  std::string Write(const std::string& script) {
    dir_.Write("data/test.vds", script);
    return DocumentVersion(script);
  }
  std::string Disk() const { return ReadFileText(dir_.File("data/test.vds")); }

  testsupport::TempDir dir_;
  testsupport::ChangeDir cd_;
  platform::MessageBoxRecorder boxes_;
  vtEditor editor_;
};

using Edit = std::function<vtEditResult(vtEditor&, const std::string& version)>;

Edit SetLine(int item, int line, std::int32_t begin, std::int32_t end, std::int32_t mode, const char* play) {
  return [=](vtEditor& e, const std::string& v) {
    return e.EditLine(kPath, v, item, line, [&](vtRenderLineValues& values) {
      values = {begin, end, mode, play};
    });
  };
}
Edit AddLine(int item, std::int32_t begin, std::int32_t end) {
  return [=](vtEditor& e, const std::string& v) { return e.AddLine(kPath, v, item, {begin, end, 0, "vt_PLAY"}); };
}
Edit DeleteLine(int item, int line) {
  return [=](vtEditor& e, const std::string& v) { return e.DeleteLine(kPath, v, item, line); };
}

Edit AddItem(int at, const char* type, const char* file) {
  return [=](vtEditor& e, const std::string& v) { return e.AddItem(kPath, v, at, type, file); };
}
Edit DeleteItem(int item) {
  return [=](vtEditor& e, const std::string& v) { return e.DeleteItem(kPath, v, item); };
}
Edit MoveItem(int item, int to) {
  return [=](vtEditor& e, const std::string& v) { return e.MoveItem(kPath, v, item, to); };
}

std::string Channel(const char* type, const char* file, const char* lines) {
  return std::string("VT_RENDER_CHANNEL {\n\tVT_RENDER_ITEMS_TYPE \"") + type + "\"\n\tVT_RENDER_ITEMS_FILE \"" + file +
         "\"\n\tVT_RENDER_LINES {\n" + lines + "\t}\n}\n";
}

constexpr const char* kLayers = "data\\t.vtl";
Edit SetKey(int layer, int key, std::function<void(vtKeyValues&)> change) {
  return [=](vtEditor& e, const std::string& v) { return e.EditKey(kLayers, v, layer, key, change); };
}
Edit AddKey(int layer, std::function<void(vtKeyValues&)> set) {
  return [=](vtEditor& e, const std::string& v) { return e.AddKey(kLayers, v, layer, set); };
}
Edit DeleteKey(int layer, int key) {
  return [=](vtEditor& e, const std::string& v) { return e.DeleteKey(kLayers, v, layer, key); };
}

struct ByteCase {
  const char* Name;
  std::string Before;
  Edit Change;
  std::string After;
  const char* File = "data/test.vds";
};

TEST_F(EditorTest, OnlyTheChangedLinesChangeAndUndoGivesTheOriginalBack) {
  const std::string lf =
      "VT_DEMO_ENDTIME 9000\n"
      "VT_RENDER_CHANNEL {\n"
      "\tVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\n"
      "\tVT_RENDER_ITEMS_FILE \"data\\cam.vtt\"\n"
      "\tVT_RENDER_LINES {\n"
      "\t\tVT_RENDER_TIMES_BEGIN_END 0  1000 0 \"vt_PLAY\"\n"
      "\t}\n"
      "}\n";
  const std::string crlf =
      "VT_RENDER_CHANNEL {\r\n  VT_RENDER_ITEMS_TYPE \"vt_MESH\"\r\n  VT_RENDER_ITEMS_FILE \"r.vto\"\r\n"
      "  VT_RENDER_LINES {\r\n    VT_RENDER_TIMES_BEGIN_END 10 20 1 \"vt_UNPLAY\"\r\n  }";
  const std::string comments =
      "# a demo\nVT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_SKY\"\nVT_RENDER_ITEMS_FILE \"s.vts\"\n"
      "VT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 5 0 \"vt_PLAY\"\n# between\n/* old:\n"
      "VT_RENDER_TIMES_BEGIN_END 1 2 0 \"vt_PLAY\"\n*/\nVT_RENDER_TIMES_BEGIN_END 7 8 0 \"vt_PLAY\"\n}\n}\n";
  // Unknown keys, text behind the tag and a second "}" the reader ignores.
  const std::string odd =
      "VT_FANCY_KEY 12\nVT_RENDER_CHANNEL {\n  VT_RENDER_ITEMS_TYPE \"vt_TUNNEL\"\n  VT_UNKNOWN \"x\"\n"
      "  VT_RENDER_ITEMS_FILE \"t.vtu\"\n  VT_RENDER_LINES {\n"
      "    VT_RENDER_TIMES_BEGIN_END 100 200 0 \"vt_PLAY\" left as it is\n  }\n}\n";
  const std::string noBlock = "VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE \"vt_SKY\"\n VT_RENDER_ITEMS_FILE \"s.vts\"\n}\n";
  const std::string a = Channel("vt_TRANS", "data\\a.vtt", "\t\tVT_RENDER_TIMES_BEGIN_END 0 10 0 \"vt_PLAY\"\n");
  const std::string b = Channel("vt_SKY", "data\\b.vtk", "\t\tVT_RENDER_TIMES_BEGIN_END 5 15 0 \"vt_PLAY\"\n");
  const std::string c = Channel("vt_MESH", "data\\c.vto", "");
  const std::string two = "# demo\n" + a + "\n" + b;
  const std::string commented = "# demo\n\n# the camera\n" + a + "\n# the sky\n# (still)\n" + b;
  const std::string layer =
      "#Vortane Layer System\r\n\r\nVT_LAYER {\r\n\t\tVT_TEXT_SOURCE\t\t\t\"no.image\"\r\n\t\tVT_BLEND_SFACTOR\t\t770\r\n"
      "\t\tVT_BLEND_DFACTOR\t\t771\r\n\t\tVT_KEYS {\r\n\t\t\tVT_KEY 0 512 384 0 0 256 128 255 255 255 0\r\n# fade in\r\n"
      "\t\t\tVT_KEY  1000 512.5 384 0 45 256 128 255 255 255 255.0\r\n\t\t}\r\n}\r\n";
  const auto layerWith = [&](const char* from, const char* to) {
    std::string text = layer;
    return text.replace(text.find(from), std::string(from).size(), to);
  };
  const ByteCase cases[] = {
      {"a key value in place, the others' text kept", layer, SetKey(0, 1, [](vtKeyValues& v) { v.X = 100.25f; }),
       layerWith("512.5", "100.25"), "data/t.vtl"},
      {"a colour with alpha", layer, SetKey(0, 0, [](vtKeyValues& v) { v.R = 10, v.G = 20.5f, v.A = 128; }),
       layerWith("255 255 255 0\r", "10 20.5 255 128\r"), "data/t.vtl"},
      {"a key dragged past another moves its line", layer, SetKey(0, 0, [](vtKeyValues& v) { v.Time = 2000; }),
       layerWith("\t\t\tVT_KEY 0 512 384 0 0 256 128 255 255 255 0\r\n# fade in\r\n"
                 "\t\t\tVT_KEY  1000 512.5 384 0 45 256 128 255 255 255 255.0\r\n",
                 "# fade in\r\n\t\t\tVT_KEY  1000 512.5 384 0 45 256 128 255 255 255 255.0\r\n"
                 "\t\t\tVT_KEY 2000 512 384 0 0 256 128 255 255 255 0\r\n"),
       "data/t.vtl"},
      {"a new key between, like its neighbour", layer, AddKey(0, [](vtKeyValues& v) { v.Time = 500, v.Angle = 0.1f; }),
       layerWith("\t\t\tVT_KEY  1000", "\t\t\tVT_KEY 500 512 384 0 0.1 256 128 255 255 255 0\r\n\t\t\tVT_KEY  1000"),
       "data/t.vtl"},
      {"a key goes", layer, DeleteKey(0, 0), layerWith("\t\t\tVT_KEY 0 512 384 0 0 256 128 255 255 255 0\r\n", ""),
       "data/t.vtl"},
      {"an item moves with its lines, channels stay apart", two, MoveItem(1, 0), "# demo\n" + b + "\n" + a},
      {"an item's comment moves with it, the other's stays", commented, MoveItem(1, 0),
       "# demo\n\n# the sky\n# (still)\n" + b + "\n# the camera\n" + a},
      {"an item goes with its second brace and empty line", two, DeleteItem(0), "# demo\n" + b},
      {"a new item is laid out like the one before it", two, AddItem(1, "vt_MESH", "data\\c.vto"),
       "# demo\n" + a + "\n" + c + "\n" + b},
      {"a new last item stands apart like the others", two, AddItem(2, "vt_MESH", "data\\c.vto"),
       "# demo\n" + a + "\n" + b + "\n" + c},
      {"numbers in place, tabs and two blanks kept", lf, SetLine(0, 0, 250, 1250, 1, "vt_UNPLAY"),
       "VT_DEMO_ENDTIME 9000\nVT_RENDER_CHANNEL {\n\tVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\n"
       "\tVT_RENDER_ITEMS_FILE \"data\\cam.vtt\"\n\tVT_RENDER_LINES {\n"
       "\t\tVT_RENDER_TIMES_BEGIN_END 250  1250 1 \"vt_UNPLAY\"\n\t}\n}\n"},
      {"a new line takes the neighbour's indentation and line end", lf, AddLine(0, 2000, 4000),
       "VT_DEMO_ENDTIME 9000\nVT_RENDER_CHANNEL {\n\tVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\n"
       "\tVT_RENDER_ITEMS_FILE \"data\\cam.vtt\"\n\tVT_RENDER_LINES {\n"
       "\t\tVT_RENDER_TIMES_BEGIN_END 0  1000 0 \"vt_PLAY\"\n"
       "\t\tVT_RENDER_TIMES_BEGIN_END 2000 4000 0 \"vt_PLAY\"\n\t}\n}\n"},
      {"CRLF without a final newline", crlf, AddLine(0, 30, 40),
       "VT_RENDER_CHANNEL {\r\n  VT_RENDER_ITEMS_TYPE \"vt_MESH\"\r\n  VT_RENDER_ITEMS_FILE \"r.vto\"\r\n"
       "  VT_RENDER_LINES {\r\n    VT_RENDER_TIMES_BEGIN_END 10 20 1 \"vt_UNPLAY\"\r\n"
       "    VT_RENDER_TIMES_BEGIN_END 30 40 0 \"vt_PLAY\"\r\n  }"},
      {"comments between lines stay", comments, DeleteLine(0, 0),
       "# a demo\nVT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_SKY\"\nVT_RENDER_ITEMS_FILE \"s.vts\"\n"
       "VT_RENDER_LINES {\n# between\n/* old:\n"
       "VT_RENDER_TIMES_BEGIN_END 1 2 0 \"vt_PLAY\"\n*/\nVT_RENDER_TIMES_BEGIN_END 7 8 0 \"vt_PLAY\"\n}\n}\n"},
      {"the line after a comment block", comments, SetLine(0, 1, 70, 80, 0, "vt_PLAY"),
       "# a demo\nVT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_SKY\"\nVT_RENDER_ITEMS_FILE \"s.vts\"\n"
       "VT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 5 0 \"vt_PLAY\"\n# between\n/* old:\n"
       "VT_RENDER_TIMES_BEGIN_END 1 2 0 \"vt_PLAY\"\n*/\nVT_RENDER_TIMES_BEGIN_END 70 80 0 \"vt_PLAY\"\n}\n}\n"},
      {"unknown keys and ignored text", odd, SetLine(0, 0, 150, 300, 0, "vt_PLAY"),
       "VT_FANCY_KEY 12\nVT_RENDER_CHANNEL {\n  VT_RENDER_ITEMS_TYPE \"vt_TUNNEL\"\n  VT_UNKNOWN \"x\"\n"
       "  VT_RENDER_ITEMS_FILE \"t.vtu\"\n  VT_RENDER_LINES {\n"
       "    VT_RENDER_TIMES_BEGIN_END 150 300 0 \"vt_PLAY\" left as it is\n  }\n}\n"},
      {"an item without lines gets a block", noBlock, AddLine(0, 0, 2000),
       "VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE \"vt_SKY\"\n VT_RENDER_ITEMS_FILE \"s.vts\"\n"
       " VT_RENDER_LINES {\n VT_RENDER_TIMES_BEGIN_END 0 2000 0 \"vt_PLAY\"\n }\n}\n"},
  };
  for (const ByteCase& c : cases) {
    SCOPED_TRACE(c.Name);
    dir_.Write(c.File, c.Before);
    const auto disk = [&] { return ReadFileText(dir_.File(c.File)); };
    const vtEditResult done = c.Change(editor_, DocumentVersion(c.Before));
    ASSERT_EQ(done.Status, 200) << done.Why;
    EXPECT_EQ(disk(), c.After);
    EXPECT_EQ(done.Version, DocumentVersion(c.After));
    ASSERT_EQ(editor_.Undo().Status, 200);
    EXPECT_EQ(disk(), c.Before);
    ASSERT_EQ(editor_.Redo().Status, 200);
    EXPECT_EQ(disk(), c.After);
  }
}

TEST_F(EditorTest, RefusesStaleVersionsUnknownPlacesAndAnEmptyHistory) {
  const std::string script =
      "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_SKY\"\nVT_RENDER_ITEMS_FILE \"s.vts\"\nVT_RENDER_LINES {\n"
      "VT_RENDER_TIMES_BEGIN_END 0 5 0 \"vt_PLAY\"\n}\n}\n";
  const std::string version = Write(script);
  EXPECT_EQ(editor_.Undo().Status, 404);
  EXPECT_EQ(editor_.Redo().Status, 404);
  EXPECT_EQ(DeleteLine(1, 0)(editor_, version).Status, 404);
  EXPECT_EQ(DeleteLine(0, 1)(editor_, version).Status, 404);
  EXPECT_EQ(DeleteLine(0, 0)(editor_, "0123456789abcdef").Status, 409);
  EXPECT_EQ(Disk(), script) << "a refused edit writes nothing";

  ASSERT_EQ(DeleteLine(0, 0)(editor_, version).Status, 200);
  const std::string typed = Disk() + "# saved in a text editor\n";
  dir_.Write("data/test.vds", typed);
  EXPECT_EQ(editor_.Undo().Status, 409);
  EXPECT_EQ(Disk(), typed) << "undo never overwrites a change made elsewhere";

  dir_.Write("data/test.vds", "");
  ::unlink(dir_.File("data/test.vds").c_str());
  const vtEditResult gone = DeleteLine(0, 0)(editor_, version);
  EXPECT_EQ(gone.Status, 500);
  EXPECT_NE(gone.Why.find("no such file"), std::string::npos) << gone.Why;
}

// A read-only folder and a full disk: the old file stays whole, and the
// answer says why.
TEST_F(EditorTest, FailuresLeaveTheOldFileWholeAndSayWhy) {
  const std::string script = "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_SKY\"\nVT_RENDER_ITEMS_FILE \"s.vtk\"\n"
                             "VT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 5 0 \"vt_PLAY\"\n}\n}\n";
  const std::string version = Write(script);
  ASSERT_EQ(::chmod(dir_.File("data").c_str(), 0555), 0);
  {
    testsupport::ObeyFileModes modes;
    if (modes.Active()) {
      const vtEditResult refused = DeleteLine(0, 0)(editor_, version);
      EXPECT_EQ(refused.Status, 500);
      EXPECT_NE(refused.Why.find("Permission denied"), std::string::npos) << refused.Why;
    }
  }
  ::chmod(dir_.File("data").c_str(), 0755);
  EXPECT_EQ(Disk(), script);

  const std::string disk = dir_.File("disk");
  ::mkdir(disk.c_str(), 0755);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "no small tmpfs for the full disk: " << std::strerror(errno);
  dir_.Write("disk/test.vds", script);
  {
    std::FILE* filler = std::fopen((disk + "/filler").c_str(), "wb");
    std::string block(4096, 'x');
    while (filler && std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
    }
    if (filler) std::fclose(filler);
  }
  const vtEditResult full = editor_.AddLine("disk\\test.vds", version, 0, {10, 20, 0, "vt_PLAY"});
  EXPECT_EQ(ReadFileText(disk + "/test.vds"), script);
  ::umount(disk.c_str());
  EXPECT_EQ(full.Status, 500);
  EXPECT_NE(full.Why.find("No space left"), std::string::npos) << full.Why;
}

TEST_F(EditorTest, NewItemFilesStayInsideTheDemoFolder) {
  dir_.Write("data/sub/old.vtl", "");
  ASSERT_EQ(::symlink("/tmp", dir_.File("data/out").c_str()), 0);
  const std::string work = platform::CanonicalPath(dir_.Path());
  const struct {
    const char* Type;
    std::string File;
    const char* Named;  // nullptr: refused
  } cases[] = {
      {"vt_2D_VTL", "data/new.vtl", "data\\new.vtl"},
      {"vt_2D_VTL", "data\\sub\\old.vtl", "data\\sub\\old.vtl"},
      {"vt_2D_VTL", "data\\..\\x.vtl", nullptr},
      {"vt_2D_VTL", "/etc/x.vtl", nullptr},
      {"vt_2D_VTL", "C:\\x.vtl", nullptr},
      {"vt_2D_VTL", "data\\out\\x.vtl", nullptr},
      {"vt_2D_VTL", "x.vtl", nullptr},
      {"vt_2D_VTL", "data\\x.vtt", nullptr},
      {"vt_NONE", "data\\x.vtl", nullptr},
      {"vt_2D_VTL", "data\\a\"b.vtl", nullptr},
      {"vt_2D_VTL", "data\\a\nb.vtl", nullptr},
  };
  for (const auto& c : cases) {
    std::string file = c.File, why;
    const bool accepted = CheckItemFile(work, work + "/data", c.Type, file, why);
    EXPECT_EQ(accepted, c.Named != nullptr) << c.File << ": " << why;
    if (accepted && c.Named) {
      EXPECT_EQ(file, c.Named);
    }
  }
}

// Random edits of the sample demo's script and a layer file, undone to the
// start.
TEST_F(EditorTest, ARandomEditSequenceUndoneGivesTheSampleBackByteForByte) {
  const std::string script = ReadFileText(testsupport::SourceDir() + "/data/tunnel_test.vds");
  const std::string title = ReadFileText(testsupport::SourceDir() + "/data/layers/title.vtl");
  Write(script);
  dir_.Write("data/t.vtl", title);
  std::mt19937 random(23);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(std::max(n, 1))); };
  int done = 0;
  for (int step = 0; step < 60; ++step) {
    vtScriptModel model;
    vtLayerModel layers;
    std::string why, layerVersion;
    ASSERT_TRUE(ReadScriptModel(kPath, model, why)) << why;
    ASSERT_EQ(editor_.ReadLayers(kLayers, layers, layerVersion).Status, 200);
    const int item = pick(static_cast<int>(model.Items.size()));
    const int lines = static_cast<int>(model.Items[static_cast<std::size_t>(item)].Lines.size());
    const int layer = pick(static_cast<int>(layers.Layers.size()));
    const int keys = static_cast<int>(layers.Layers[static_cast<std::size_t>(layer)].Keys.size());
    const std::int32_t begin = pick(50000);
    const std::uint32_t time = static_cast<std::uint32_t>(pick(20000));
    Edit edits[] = {SetLine(item, pick(lines), begin, begin + pick(9000), pick(2), "vt_UNPLAY"),
                    AddLine(item, begin, begin + 2000), DeleteLine(item, pick(lines)),
                    MoveItem(item, pick(static_cast<int>(model.Items.size()))),
                    SetKey(layer, pick(keys), [=](vtKeyValues& v) { v.Time = time, v.X += 0.5f; }),
                    AddKey(layer, [=](vtKeyValues& v) { v.Time = time + 1; }), DeleteKey(layer, pick(keys))};
    const int which = pick(7);
    const vtEditResult result = edits[which](editor_, which < 4 ? DocumentVersion(Disk()) : layerVersion);
    if (result.Status == 200) ++done;
    else EXPECT_TRUE(result.Status == 404 || result.Status == 400) << result.Why;  // no such line, a time taken
  }
  EXPECT_GT(done, 40);
  for (int step = 0; step < done; ++step) ASSERT_EQ(editor_.Undo().Status, 200) << step;
  EXPECT_EQ(Disk(), script);
  EXPECT_EQ(ReadFileText(dir_.File("data/t.vtl")), title);
}

TEST_F(EditorTest, LinesSplitAsTheReaderSplitsThem) {
  const vtDocument document(std::string("a\r\nb\rc\n\nd\x1a" "tail"));
  ASSERT_EQ(document.LineCount(), 5);
  EXPECT_EQ(document.Text(3), "c");
  EXPECT_EQ(document.LineEnd(2), "\r");
  EXPECT_EQ(document.Apply({{2, 1, {"B"}}, {6, 0, {"e"}}}), "a\r\nB\rc\n\nd\r\ne\x1a" "tail");
  EXPECT_EQ(FormatSingle(0.1f), "0.1");
  EXPECT_EQ(FormatSingle(-3.0f), "-3");
  EXPECT_EQ(FormatSingle(1e7f), "10000000");
}

}  // namespace
