// Live reloads of a playing demo: every file kind, failures, pictures, the
// script, and what reloading leaves behind in GL.
#include "live/vtReloadU.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/vtFaultU.h"
#include "core/vtFuncU.h"
#include "edit/vtEditorU.h"
#include "items/vtMeshU.h"
#include "layers/vtLSysU.h"
#include "live/vtLiveU.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "resources/vtStoreU.h"
#include "runtime/vtDSysU.h"
#include "support/AllocCounter.h"
#include "support/AudioMedia.h"
#include "support/GlTest.h"
#include "support/Images.h"
#include "support/TestGlobals.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Rgba;

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};

// A full-picture layer of one colour, textured with picture unless it is
// "no.image".
std::string Layer(const std::string& colour, const std::string& picture = "no.image",
                  const std::string& place = "512 384 0 0 1024 768") {
  return "VT_LAYER {\n\t\tVT_TEXT_SOURCE\t\t\t\"" + picture +
         "\"\n\t\tVT_BLEND_SFACTOR\t\t770\n\t\tVT_BLEND_DFACTOR\t\t771\n\t\tVT_KEYS {\n"
         "\t\t\tVT_KEY 0 " + place + " " + colour + " 255\n"
         "\t\t\tVT_KEY 100000 " + place + " " + colour + " 255\n\t\t}\n}\n";
}

std::string Camera(const std::string& translate) {
  return "VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t" + translate + "\n}\n";
}

std::string Torus(const std::string& width, const std::string& stacks = "16") {
  return "VT_MESH_INFO {\nVT_MESH_TYPE\nVT_GEN_TYPE \"vt_TORUS\"\nVT_PARAMETER {\nVT_RADIUS 1.5\nVT_WITH " + width +
         "\nVT_STACKS " + stacks + "\nVT_SLICES 32\n}\n}\n";
}

std::string Triangle(const std::string& size, const std::string& corner = "0") {
  return "*3DSMAX_ASCIIEXPORT\t200\n*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n"
         "\t\t*MATERIAL_NAME \"m\"\n\t\t*MATERIAL_DIFFUSE 1.0 1.0 1.0\n"
         "\t\t*MAP_DIFFUSE {\n\t\t\t*BITMAP \"data\\red.png\"\n\t\t}\n\t}\n}\n*GEOMOBJECT {\n\t*NODE_TM {\n"
         "\t\t*NODE_NAME \"o\"\n\t}\n\t*MESH {\n\t\t*MESH_VERTEX_LIST {\n"
         "\t\t\t*MESH_VERTEX    0\t0.0\t0.0\t0.0\n\t\t\t*MESH_VERTEX    1\t" + size + "\t0.0\t0.0\n"
         "\t\t\t*MESH_VERTEX    2\t0.0\t" + size + "\t0.0\n\t\t}\n\t\t*MESH_FACE_LIST {\n"
         "\t\t\t*MESH_FACE    0:    A:    " + corner + " B:    1 C:    2 AB:    1 BC:    1 CA:    0\n"
         "\t\t}\n\t}\n\t*MATERIAL_REF 0\n}\n";
}

std::string Channel(const std::string& type, const std::string& file, const std::string& lines = "0 100000 0") {
  return "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"" + type + "\"\nVT_RENDER_ITEMS_FILE \"" + file +
         "\"\nVT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END " + lines + " \"vt_PLAY\"\n}\n}\n";
}

// A scene of three objects, large enough (over a megabyte) for the load
// pipeline to read it on a worker while the main thread builds it.
std::string LargeScene() {
  std::string scene = "*3DSMAX_ASCIIEXPORT\t200\n";
  for (int object = 0; object < 3; ++object) {
    scene += "*GEOMOBJECT {\n\t*NODE_TM {\n\t\t*NODE_NAME \"o\"\n\t}\n\t*MESH {\n\t\t*MESH_VERTEX_LIST {\n";
    for (int v = 0; v < 12000; ++v)
      scene += "\t\t\t*MESH_VERTEX " + std::to_string(v) + "\t0.0\t0.5\t0.0\n";
    scene += "\t\t}\n\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\n"
             "\t\t}\n\t}\n}\n";
  }
  return scene;
}

class ReloadTest : public testsupport::DemoGlTest {
 protected:
  int Width() const override { return 128; }
  int Height() const override { return 96; }
  void SetUp() override {
    DemoGlTest::SetUp();
    fs::create_directories(dir_.File("data"));
    ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/red.png"), kRed));
    ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/green.png"), kGreen));
  }
  void TearDown() override {
    reloads_.reset();
    demo_.reset();
    DemoGlTest::TearDown();
  }

  // Writes the script and the files and starts the demo as the player does.
  void StartDemo(const std::string& script, const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) dir_.Write(name, content);
    dir_.Write("data/demo.vds", "VT_DEMO_ENDTIME 100000\n" + script);
    demo_ = std::make_unique<vtDemoSystem>();
    ASSERT_TRUE(demo_->LoadScript("data\\demo.vds"));
    demo_->SetManualTime(500);
    demo_->LoadThreads = 2;  // pictures and scenes loaded on workers
    demo_->Init();
    reloads_ = std::make_unique<vtReloadController>(*demo_, "data\\demo.vds");
    reloads_->SetObserver([this](const vtReloadEvent& e) { events_.push_back(e); });
    ASSERT_TRUE(reloads_->Start());
  }

  // Saves as editors do: a new file renamed over the old one.
  void Save(const std::string& name, const std::string& content) {
    dir_.Write(name + ".new", content);
    fs::rename(dir_.File(name + ".new"), dir_.File(name));
  }

  // Lets the watch see the change and its quiet time pass; true when
  // anything was reloaded.
  bool Settle() {
    bool reloaded = reloads_->Poll(clock_);
    clock_ += 1000;
    reloaded = reloads_->Poll(clock_) || reloaded;
    while (reloads_->MusicPending()) {  // a music file opens on its worker
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      reloaded = reloads_->Poll(clock_) || reloaded;
    }
    return reloaded;
  }

  std::vector<std::uint8_t> Frame(float ms = 500) {
    demo_->SetManualTime(ms);
    demo_->DrawFrame();
    return Pixels();
  }
  Rgba Centre() const { return Pixel(Width() / 2, Height() / 2); }
  // A file of the demo as the script names it, and as the engine does.
  static std::string Named(std::string relative) {
    for (char& c : relative)
      if (c == '/') c = '\\';
    return relative;
  }
  std::string Path(const std::string& relative) const { return GlobalFunc->WorkDir + "\\" + Named(relative); }
  bool Boxed(const std::string& text) const {
    for (const auto& call : boxes_.Calls())
      if (call.Text.find(text) != std::string::npos) return true;
    return false;
  }

  testsupport::TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
  platform::MessageBoxRecorder boxes_;
  std::unique_ptr<vtDemoSystem> demo_;
  std::unique_ptr<vtReloadController> reloads_;
  std::vector<vtReloadEvent> events_;
  std::uint32_t clock_ = 1000;
};

// One item of each kind, before and after an edit of its file.
struct KindCase {
  const char* Name;
  std::string Script;
  size_t Index;  // of the edited item
  std::string File;
  std::string Before, After;
  std::vector<std::pair<std::string, std::string>> Others;
};

std::vector<KindCase> KindCases() {
  const std::string camera = Channel("vt_TRANS", "data\\camera.vtt");
  const std::pair<std::string, std::string> cameraFile{"data/camera.vtt", Camera("0 0 -6")};
  return {
      {"layer colour", Channel("vt_2D_VTL", "data\\a.vtl"), 0, "data/a.vtl", Layer("255 0 0"), Layer("0 255 0"), {}},
      {"transformation", camera + Channel("vt_MESH", "data\\ring.vto"), 0, "data/camera.vtt", Camera("0 0 -6"),
       Camera("1.5 0 -6"), {{"data/ring.vto", Torus("0.4")}}},
      {"sky picture", Channel("vt_SKY", "data\\sky.vtk"), 0, "data/sky.vtk",
       "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\red.png\"\n", "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\green.png\"\n", {}},
      {"mesh", camera + Channel("vt_MESH", "data\\ring.vto"), 1, "data/ring.vto", Torus("0.4"), Torus("0.8", "5"),
       {cameraFile}},
      {"tunnel", Channel("vt_TUNNEL", "data\\t.vts"), 0, "data/t.vts",
       "VT_DIFFUSE_MAP \"data\\red.png\"\nVT_EFFECT \"vt_EFFECT00\"\n",
       "VT_DIFFUSE_MAP \"data\\green.png\"\nVT_EFFECT \"vt_EFFECT01\"\n", {}},
      {"scene", camera + Channel("vt_3D_ASE", "data\\s.ase"), 1, "data/s.ase", Triangle("1.0"), Triangle("2.5"),
       {cameraFile}},
  };
}

// The picture after a live reload is the picture of a demo started with
// the edited file: reloading gives what loading once gives.
TEST_F(ReloadTest, EachFileKindReloadsAsIfTheDemoStartedWithIt) {
  for (const KindCase& c : KindCases()) {
    SCOPED_TRACE(c.Name);
    auto files = c.Others;
    files.emplace_back(c.File, c.Before);
    StartDemo(c.Script, files);
    const std::vector<std::uint8_t> before = Frame();
    const vtRenderItem* old = demo_->Items[c.Index].get();
    events_.clear();

    Save(c.File, c.After);
    ASSERT_TRUE(Settle());
    EXPECT_NE(demo_->Items[c.Index].get(), old);
    ASSERT_EQ(demo_->Items[c.Index]->Lines.size(), 1u);  // the lines moved over
    EXPECT_EQ(demo_->Items[c.Index]->Lines[0]->EndTime, 100000.0f);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].What, vtReloadEvent::Status::Reloaded);
    EXPECT_EQ(events_[0].ItemIndex, static_cast<int>(c.Index));
    EXPECT_EQ(events_[0].File, Path(c.File));
    Frame();
    const std::vector<std::uint8_t> after = Frame();
    EXPECT_NE(after, before);

    vtDemoSystem fresh;
    ASSERT_TRUE(fresh.LoadScript("data\\demo.vds"));
    fresh.SetManualTime(500);
    fresh.Init();
    fresh.DrawFrame();
    fresh.DrawFrame();
    EXPECT_EQ(Pixels(), after);
    EXPECT_TRUE(boxes_.Calls().empty()) << boxes_.Calls()[0].Text;
  }
}

TEST_F(ReloadTest, AFailedReloadKeepsTheOldItemAndSaysWhereUntilAGoodSave) {
  StartDemo(Channel("vt_2D_VTL", "data\\a.vtl"), {{"data/a.vtl", Layer("255 0 0")}});
  const vtRenderItem* old = demo_->Items[0].get();
  Frame();
  ASSERT_EQ(Centre(), kRed);

  // A malformed number on line 7, then a missing file: the red layer stays.
  Save("data/a.vtl", Layer("255 0 0") + Layer("0 2x5 0"));
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(Boxed("File: data\\a.vtl\rLINE: 15")) << boxes_.Calls().back().Text;
  fs::remove(dir_.File("data/a.vtl"));
  Settle();
  EXPECT_TRUE(Boxed("cannot be read; the item keeps what it showed.\rFile: data\\a.vtl"));
  EXPECT_EQ(demo_->Items[0].get(), old);
  Frame();
  EXPECT_EQ(Centre(), kRed);
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[1].What, vtReloadEvent::Status::Failed);

  Save("data/a.vtl", Layer("0 255 0"));
  Settle();
  Frame();
  EXPECT_EQ(Centre(), kGreen);
}

TEST_F(ReloadTest, AnItemThatFailedAtStartUpDrawsOnceItsFileIsFixed) {
  StartDemo(Channel("vt_2D_VTL", "data\\a.vtl") + Channel("vt_2D_VTL", "data\\b.vtl", "0 100000 0"),
            {{"data/a.vtl", Layer("0 2x5 0")}});
  EXPECT_TRUE(demo_->Items[0]->LoadFailed);
  Frame();
  EXPECT_EQ(Centre(), (Rgba{0, 0, 0, 0}));
  Save("data/a.vtl", Layer("255 0 0"));
  Settle();
  EXPECT_FALSE(demo_->Items[0]->LoadFailed);
  Frame();
  EXPECT_EQ(Centre(), kRed);
  // b.vtl did not exist at start-up: its folder is watched all the same.
  Save("data/b.vtl", Layer("0 255 0"));
  Settle();
  Frame();
  EXPECT_EQ(Centre(), kGreen);
}

// Two layers and a sky use one picture: a new picture shows in all of them
// under the same texture name, without reloading them.
TEST_F(ReloadTest, AnEditedPictureShowsInEveryItemUsingItAtOnce) {
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/pic.png"), kRed));
  StartDemo(Channel("vt_SKY", "data\\sky.vtk") + Channel("vt_2D_VTL", "data\\left.vtl") +
                Channel("vt_2D_VTL", "data\\right.vtl"),
            {{"data/sky.vtk", "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\pic.png\"\n"},
             {"data/left.vtl", Layer("255 255 255", "data\\pic.png", "128 384 0 0 256 768")},
             {"data/right.vtl", Layer("255 255 255", "data\\pic.png", "896 384 0 0 256 768")}});
  ASSERT_TRUE(GlobalStore->Find(platform::CanonicalPath(dir_.File("data/pic.png")), vt_TEXTURE));
  const std::uint32_t name = GlobalStore->FoundId;
  std::vector<const vtRenderItem*> items;
  for (const auto& item : demo_->Items) items.push_back(item.get());
  Frame();
  const int xs[] = {Width() / 8, Width() / 2, Width() * 7 / 8};  // left layer, sky, right layer
  for (int x : xs) EXPECT_EQ(Pixel(x, Height() / 2), kRed) << x;

  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/new.png"), kGreen));
  fs::rename(dir_.File("data/new.png"), dir_.File("data/pic.png"));
  ASSERT_TRUE(Settle());
  Frame();
  for (int x : xs) EXPECT_EQ(Pixel(x, Height() / 2), kGreen) << x;
  ASSERT_TRUE(GlobalStore->Find(platform::CanonicalPath(dir_.File("data/pic.png")), vt_TEXTURE));
  EXPECT_EQ(GlobalStore->FoundId, name);
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(demo_->Items[i].get(), items[i]);
}

TEST_F(ReloadTest, APictureThatWasMissingIsLoadedWhenItAppears) {
  StartDemo(Channel("vt_2D_VTL", "data\\a.vtl") + Channel("vt_SKY", "data\\sky.vtk", "0 0 0"),
            {{"data/a.vtl", Layer("255 255 255", "data\\late.png")},
             {"data/sky.vtk", "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\late.png\"\n"}});
  EXPECT_TRUE(Boxed("Cannot load the texture"));
  Frame();
  EXPECT_EQ(Centre(), (Rgba{255, 255, 255, 255}));  // untextured
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/late.png"), kGreen));
  ASSERT_TRUE(Settle());
  Frame();
  EXPECT_EQ(Centre(), kGreen);
  ASSERT_TRUE(GlobalStore->Find(platform::CanonicalPath(dir_.File("data/late.png")), vt_TEXTURE));
  EXPECT_NE(GlobalStore->FoundId, 0u);
}

// Reloading every kind again and again, also with failures, leaves as many
// display lists and textures as there were.
TEST_F(ReloadTest, ReloadsLeaveNoDisplayListOrTextureBehind) {
  const auto count = [](GLboolean (*is)(GLuint)) {
    int n = 0;
    for (GLuint name = 1; name < 4096; ++name) n += is(name) == GL_TRUE;
    return n;
  };
  std::string script;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::pair<std::string, std::string>> broken;
  for (const KindCase& c : KindCases()) {
    std::string channel = c.Script.substr(c.Script.rfind("VT_RENDER_CHANNEL"));
    script += channel;
    files.emplace_back(c.File, c.After);
    for (const auto& other : c.Others) files.push_back(other);
  }
  broken = {{"data/a.vtl", Layer("0 2x5 0")},
            {"data/camera.vtt", "VT_STATIC_TRANSFORMATION {\n\t\tVT_ROTATE\t\t1x 1 0 0\n}\n"},
            {"data/sky.vtk", "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\red.png\"\nVT_SKY_SIZE 5x\n"},
            {"data/ring.vto", Torus("0.4", "1x")},
            {"data/s.ase", Triangle("1.0", "x")}};
  StartDemo(script, files);
  Frame();
  const int lists = count(glIsList), textures = count(glIsTexture);
  ASSERT_GT(lists, 0);
  ASSERT_GT(textures, 0);
  for (int round = 0; round < 3; ++round) {
    events_.clear();
    for (const auto& [name, content] : broken) Save(name, content);
    Settle();
    ASSERT_EQ(events_.size(), broken.size());
    for (const vtReloadEvent& e : events_) EXPECT_EQ(e.What, vtReloadEvent::Status::Failed) << e.File;
    for (const auto& [name, content] : files) Save(name, content);
    Settle();
    // The sky names another picture and back: its texture goes and comes.
    Save("data/sky.vtk", "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\red.png\"\n");
    Settle();
    Save("data/sky.vtk", "VT_SKY_SIZE 50\nVT_TEXT_SOURCE \"data\\green.png\"\n");
    Settle();
    Frame();
  }
  EXPECT_EQ(count(glIsList), lists);
  EXPECT_EQ(count(glIsTexture), textures);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

// Saving a layer system while it plays writes the whole file before it
// replaces the old one; the reload that follows shows the saved state.
TEST_F(ReloadTest, ALayerSystemSavedWhilePlayingShowsWhatWasSaved) {
  StartDemo(Channel("vt_2D_VTL", "data\\a.vtl"), {{"data/a.vtl", Layer("255 0 0")}});
  auto* layers = dynamic_cast<vtLayerSystem*>(demo_->Items[0].get());
  ASSERT_NE(layers, nullptr);
  for (auto& key : *layers->Layers[0]->Keys) key->Color = vtColRGBA{0, 255, 0, 255};
  ASSERT_TRUE(layers->SaveToFile(layers->FileName));
  ASSERT_TRUE(Settle());
  EXPECT_NE(demo_->Items[0].get(), layers);
  Frame();
  EXPECT_EQ(Centre(), kGreen);
  EXPECT_FALSE(fs::exists(dir_.File("data/a.vtl.saving")));
}

TEST_F(ReloadTest, AnEditedScriptKeepsTimePauseMusicAndTheItemsItStillNames) {
  const std::vector<std::int16_t> tones = testsupport::TestTones(44100 * 3, 2, 44100);
  for (const char* name : {"data/one.wav", "data/two.wav"})
    ASSERT_TRUE(testsupport::WriteSound(dir_.File(name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, tones));
  const std::string camera = Channel("vt_TRANS", "data\\camera.vtt");
  StartDemo("VT_BASS_MUSIC \"data\\one.wav\"\n" + Channel("vt_2D_VTL", "data\\a.vtl") + camera +
                Channel("vt_MESH", "data\\ring.vto"),
            {{"data/a.vtl", Layer("255 0 0", "no.image", "512 384 0 0 256 256")},
             {"data/camera.vtt", Camera("0 0 -6")},
             {"data/ring.vto", Torus("0.4")}});
  ASSERT_NE(demo_->Music->Stream, 0u);
  demo_->Pause();
  demo_->Music->SetPosition(demo_->Music->Seconds2Bytes(1.5));
  const std::uint32_t stream = demo_->Music->Stream;
  const std::uint64_t position = demo_->Music->GetPosition();
  const vtRenderItem* layer = demo_->Items[0].get();
  const vtRenderItem* cameraItem = demo_->Items[1].get();
  const GLuint ringList = dynamic_cast<vtMesh&>(*demo_->Items[2]).TexturedList;
  ASSERT_TRUE(glIsList(ringList));
  std::vector<int> size;
  reloads_->SetResizeWindow([&](int w, int h) { size = {w, h}; });
  events_.clear();

  // The ring goes, a second layer comes, the first layer's line changes.
  const std::string head = "VT_DEMO_ENDTIME 90000\nVT_DEMO_NAME \"Two\"\nVT_DEBUG_MODE\nVT_CURSOR\n"
                           "VT_WINDOW_WIDTH 320\nVT_WINDOW_HEIGHT 200\n";
  const std::string items = Channel("vt_2D_VTL", "data\\b.vtl") + camera +
                            Channel("vt_2D_VTL", "data\\a.vtl", "0 50000 0");
  dir_.Write("data/b.vtl", Layer("0 255 0", "no.image", "900 100 0 0 64 64"));
  Save("data/demo.vds", head + "VT_BASS_MUSIC \"data\\one.wav\"\n" + items);
  ASSERT_TRUE(Settle());
  ASSERT_EQ(demo_->Items.size(), 3u);
  EXPECT_EQ(demo_->Items[1].get(), cameraItem);
  EXPECT_EQ(demo_->Items[2].get(), layer);
  EXPECT_EQ(demo_->Items[2]->Lines[0]->EndTime, 50000.0f);
  EXPECT_EQ(demo_->Items[0]->FileName, Path("data/b.vtl"));
  EXPECT_FALSE(glIsList(ringList));
  EXPECT_EQ(demo_->CurrentTime, 500.0f);
  EXPECT_FALSE(demo_->Running);  // still paused
  EXPECT_EQ(demo_->Music->Stream, stream);
  EXPECT_EQ(demo_->Music->GetPosition(), position);
  EXPECT_EQ(demo_->DemoEndTime, 90000.0f);
  EXPECT_EQ(demo_->Config->Title.substr(demo_->Config->Title.size() - 6), " : Two");
  EXPECT_TRUE(demo_->DebugMode);
  EXPECT_TRUE(demo_->CursorMode);
  EXPECT_EQ(size, (std::vector<int>{320, 200}));
  ASSERT_EQ(events_.size(), 3u);
  EXPECT_EQ(events_[0].What, vtReloadEvent::Status::Loaded);
  EXPECT_EQ(events_[0].ItemIndex, 0);
  EXPECT_EQ(events_[1].What, vtReloadEvent::Status::Removed);
  EXPECT_EQ(events_[1].ItemIndex, 2);
  EXPECT_EQ(events_[2].What, vtReloadEvent::Status::Reloaded);
  EXPECT_EQ(events_[2].File, "data\\demo.vds");
  Frame();
  EXPECT_EQ(Centre(), kRed);
  EXPECT_EQ(Pixel(Width() * 900 / 1024, Height() * 100 / 768), kGreen);

  // Another music file continues at the demo time, paused as before.
  Save("data/demo.vds", head + "VT_BASS_MUSIC \"data\\two.wav\"\n" + items);
  ASSERT_TRUE(Settle());
  EXPECT_NE(demo_->Music->Stream, stream);
  EXPECT_EQ(demo_->Music->GetPosition(), demo_->Music->Seconds2Bytes(0.5));
  EXPECT_FALSE(demo_->Music->Playing());

  // A malformed number changes nothing and says where it is.
  const std::uint32_t second = demo_->Music->Stream;
  Save("data/demo.vds", "VT_DEMO_ENDTIME 9x\n" + items);
  Settle();
  EXPECT_TRUE(Boxed("File: data\\demo.vds\rLINE: 1")) << boxes_.Calls().back().Text;
  EXPECT_EQ(demo_->DemoEndTime, 90000.0f);
  EXPECT_EQ(demo_->Items[2].get(), layer);
  EXPECT_EQ(demo_->Music->Stream, second);
  EXPECT_EQ(events_.back().What, vtReloadEvent::Status::Failed);
}

// The music file itself changes: a new stream goes on at the demo time; a
// file that does not play leaves the old one.
TEST_F(ReloadTest, AChangedMusicFileGoesOnAtTheDemoTimeUnlessItDoesNotPlay) {
  const std::vector<std::int16_t> tones = testsupport::TestTones(44100 * 2, 2, 44100);
  ASSERT_TRUE(testsupport::WriteSound(dir_.File("data/one.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, tones));
  StartDemo("VT_BASS_MUSIC \"data\\one.wav\"\n" + Channel("vt_2D_VTL", "data\\a.vtl"),
            {{"data/a.vtl", Layer("255 0 0")}});
  ASSERT_NE(demo_->Music->Stream, 0u);
  demo_->Pause();
  const std::uint32_t first = demo_->Music->Stream;
  ASSERT_TRUE(testsupport::WriteSound(dir_.File("data/new.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, tones));
  fs::rename(dir_.File("data/new.wav"), dir_.File("data/one.wav"));
  ASSERT_TRUE(Settle());
  const std::uint32_t second = demo_->Music->Stream;
  EXPECT_NE(second, first);
  EXPECT_EQ(demo_->Music->GetPosition(), demo_->Music->Seconds2Bytes(0.5));
  EXPECT_EQ(demo_->Music->Bytes2Seconds(demo_->Music->Seconds2Bytes(1.0)), 1.0);
  EXPECT_FALSE(demo_->Music->Playing());

  Save("data/one.wav", "not a sound");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(demo_->Music->Stream, second);
  EXPECT_TRUE(Boxed("The music cannot be played.\rFile: data\\one.wav"));
  EXPECT_EQ(events_.back().What, vtReloadEvent::Status::Failed);
}

// Live, an edit that takes away what the demo stood on leaves it in a known
// state: the player never ends by itself (it holds the end time's frame,
// paused), and a script without music is a demo without music, not a
// failure.
TEST_F(ReloadTest, ALiveScriptEditNeitherEndsThePlayerNorClaimsAFailure) {
  const std::vector<std::int16_t> tones = testsupport::TestTones(44100, 2, 44100);
  ASSERT_TRUE(testsupport::WriteSound(dir_.File("data/one.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, tones));
  const struct {
    const char* Name;
    std::string Head;  // of the edited script, which names no music
    float Time;        // after the next frame
    bool Paused;
  } cases[] = {
      {"end time below the time", "VT_DEMO_ENDTIME 300\n", 300, true},
      {"end time removed", "", 0, true},
      {"music removed", "VT_DEMO_ENDTIME 100000\n", 600, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    StartDemo("VT_BASS_MUSIC \"data\\one.wav\"\n" + Channel("vt_2D_VTL", "data\\a.vtl"),
              {{"data/a.vtl", Layer("255 0 0")}});
    reloads_.reset();
    vtLiveSession live(*demo_, "data\\demo.vds");
    live.Reloads().SetObserver([this](const vtReloadEvent& e) { events_.push_back(e); });
    ASSERT_TRUE(live.Start());
    events_.clear();
    Save("data/demo.vds", c.Head + Channel("vt_2D_VTL", "data\\a.vtl"));
    live.BeforeFrame(clock_);
    ASSERT_TRUE(live.BeforeFrame(clock_ += 1000));
    demo_->SetManualTime(600);  // the clock runs on
    EXPECT_TRUE(demo_->DrawFrame());
    EXPECT_EQ(demo_->CurrentTime, c.Time);
    EXPECT_EQ(demo_->Paused(), c.Paused);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].What, vtReloadEvent::Status::Reloaded);
    EXPECT_EQ(live.Console().Count(), 0) << live.Console().At(0).Text;
    EXPECT_EQ(demo_->Music->FileName, "") << "no waveform is read from the folder";
  }
}

// A file cut short ends inside an open block: the reader says so, the
// reload fails and the old item stays, in every block-structured format.
TEST_F(ReloadTest, AFileCutInsideABlockFailsItsReloadAndTheOldItemStays) {
  const std::string camera = Channel("vt_TRANS", "data\\camera.vtt");
  const struct {
    const char* Name;
    std::string Script, File, Good;
    std::size_t Index;
  } cases[] = {
      {"scene", camera + Channel("vt_3D_ASE", "data\\s.ase"), "data/s.ase", Triangle("1.0"), 1},
      {"layers", Channel("vt_2D_VTL", "data\\a.vtl"), "data/a.vtl", Layer("255 0 0"), 0},
      {"mesh", camera + Channel("vt_MESH", "data\\ring.vto"), "data/ring.vto", Torus("0.4"), 1},
      {"script", Channel("vt_2D_VTL", "data\\a.vtl"), "data/demo.vds", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    StartDemo(c.Script, {{"data/camera.vtt", Camera("0 0 -6")}, {"data/a.vtl", Layer("255 0 0")},
                         {c.File, c.Good}});
    const std::string good = c.Good.empty() ? testsupport::ReadFileText(dir_.File(c.File)) : c.Good;
    const vtRenderItem* old = demo_->Items[c.Index].get();
    events_.clear();
    Save(c.File, good.substr(0, good.rfind('\n', good.size() * 2 / 3) + 1));
    Settle();
    ASSERT_FALSE(events_.empty());
    EXPECT_EQ(events_.back().What, vtReloadEvent::Status::Failed);
    EXPECT_NE(events_.back().Message.find("ends inside the block opened on line"), std::string::npos)
        << events_.back().Message;
    EXPECT_NE(events_.back().Message.find("File: " + Named(c.File)), std::string::npos) << events_.back().Message;
    EXPECT_EQ(demo_->Items[c.Index].get(), old);
    EXPECT_EQ(demo_->Items.size(), c.Index + 1);
  }
}

// A throw injected at each point of loading and reloading ends as that
// file's failure: no hang, no end of the player, the other items drawn.
TEST_F(ReloadTest, AnExceptionAnywhereInLoadingIsThatFilesFailure) {
  const std::string layer = Channel("vt_2D_VTL", "data\\a.vtl");
  const std::string textured = Layer("255 255 255", "data\\red.png");
  const struct {
    const char* Name;
    const char* Point;
    std::string Script, File, Content;
    std::string Edited;  // saved with the point armed; empty: armed at start-up
    const char* Says;    // in the failure's message
  } cases[] = {
      {"an item's load", "item.load", layer, "data/a.vtl", Layer("255 0 0"), "", "injected fault at item.load"},
      {"an item's reload", "item.load", layer, "data/a.vtl", Layer("255 0 0"), Layer("0 255 0"),
       "injected fault at item.load"},
      {"a picture decoded on a worker", "picture.decode", layer, "data/a.vtl", textured, "",
       "Cannot load the texture"},
      {"a picture's reload", "picture.decode", layer, "data/a.vtl", textured, "picture",
       "injected fault at picture.decode"},
      {"a scene built while read", "ase.build", layer + Channel("vt_3D_ASE", "data\\big.ase"), "data/big.ase",
       LargeScene(), "", "injected fault at ase.build"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    boxes_.Clear();
    const std::vector<std::pair<std::string, std::string>> files{{"data/a.vtl", Layer("255 0 0")},
                                                                 {c.File, c.Content}};
    if (c.Edited.empty()) {
      vtArmFault armed(c.Point);
      StartDemo(c.Script, files);
      EXPECT_TRUE(Boxed(c.Says));
    } else {
      StartDemo(c.Script, files);
      const vtRenderItem* old = demo_->Items[0].get();
      vtArmFault armed(c.Point);
      if (c.Edited == "picture")
        ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/red.png"), kGreen));
      else
        Save(c.File, c.Edited);
      Settle();
      ASSERT_FALSE(events_.empty());
      EXPECT_EQ(events_.back().What, vtReloadEvent::Status::Failed);
      EXPECT_NE(events_.back().Message.find(c.Says), std::string::npos) << events_.back().Message;
      EXPECT_EQ(demo_->Items[0].get(), old);
    }
    EXPECT_TRUE(demo_->DrawFrame());
  }
}

// A script that did not read at start-up left nothing to play; once it
// reads, the demo starts as Init would have started it.
TEST_F(ReloadTest, AScriptThatFailedAtStartUpPlaysOnceItReads) {
  dir_.Write("data/a.vtl", Layer("255 0 0"));
  dir_.Write("data/demo.vds", "VT_DEMO_ENDTIME 1x\n" + Channel("vt_2D_VTL", "data\\a.vtl"));
  demo_ = std::make_unique<vtDemoSystem>();
  EXPECT_FALSE(demo_->LoadScript("data\\demo.vds"));
  demo_->SetManualTime(500);
  demo_->Init();
  reloads_ = std::make_unique<vtReloadController>(*demo_, "data\\demo.vds");
  ASSERT_TRUE(reloads_->Start());
  EXPECT_TRUE(demo_->Items.empty());

  Save("data/demo.vds", "VT_DEMO_ENDTIME 100000\n" + Channel("vt_2D_VTL", "data\\a.vtl"));
  ASSERT_TRUE(Settle());
  ASSERT_EQ(demo_->Items.size(), 1u);
  EXPECT_TRUE(demo_->Loaded);
  EXPECT_NE(demo_->TimelineList, 0u);
  Frame();
  EXPECT_EQ(Centre(), kRed);
}

// Live, a file read again is looked at as `vortane --check` looks at it: a
// line the reader reads otherwise than it looks is a warning line and one
// of the file's findings, until a save mends it.
TEST_F(ReloadTest, AReloadedFileShowsWhatTheCheckerFindsInIt) {
  StartDemo(Channel("vt_2D_VTL", "data\\a.vtl"), {{"data/a.vtl", Layer("255 0 0")}});
  reloads_.reset();
  vtLiveSession live(*demo_, "data\\demo.vds");
  ASSERT_TRUE(live.Start());
  std::string layer = Layer("255 0 0");
  layer.replace(layer.find("VT_KEYS {\n"), 10, "VT_KEYS {\tVT_KEY 0 1 1 0 0 9 9 1 1 1 1\n");  // line 5
  std::uint32_t now = 1000;
  const auto save = [&](const std::string& content) {
    Save("data/a.vtl", content);
    live.BeforeFrame(now += 1000);
    live.BeforeFrame(now += 1000);
  };
  save(layer);
  std::vector<vtFinding> found = live.Findings().For(Path("data/a.vtl"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Code, "after-opener");
  ASSERT_EQ(live.Console().Count(), 1);
  EXPECT_EQ(std::string(live.Console().At(0).Text).find("VortaneE Warning: data\\a.vtl:5: warning: "), 0u)
      << live.Console().At(0).Text;
  // Read again unchanged, or by the studio's editor (its staged copy too):
  // the line stands once.
  save(layer);
  vtEditor editor;
  vtLayerModel model;
  std::string version;
  ASSERT_EQ(editor.ReadLayers(Path("data/a.vtl"), model, version).Status, 200);
  ASSERT_EQ(editor.EditKey(Path("data/a.vtl"), version, 0, 1, [](vtKeyValues& key) { key.X = 5; }).Status, 200);
  live.BeforeFrame(now += 1000);
  live.BeforeFrame(now += 1000);
  EXPECT_EQ(live.Console().Count(), 1) << live.Console().At(live.Console().Count() - 1).Text;
  save(Layer("0 255 0"));
  EXPECT_TRUE(live.Findings().For(Path("data/a.vtl")).empty());
}

// With the live session no box waits for a click: the message is a line on
// the picture, and a frame with the line allocates nothing.
TEST_F(ReloadTest, InLiveModeMessagesAreLinesOnThePictureAndFramesAllocateNothing) {
  StartDemo(Channel("vt_2D_VTL", "data\\a.vtl"), {{"data/a.vtl", Layer("255 0 0")}});
  reloads_.reset();
  vtLiveSession live(*demo_, "data\\demo.vds");
  ASSERT_TRUE(live.Start());
  Save("data/a.vtl", Layer("0 2x5 0"));
  live.BeforeFrame(1000);
  live.BeforeFrame(2000);
  EXPECT_TRUE(boxes_.Calls().empty());
  ASSERT_EQ(live.Console().Count(), 1);
  const std::string line(live.Console().At(0).Text);
  EXPECT_NE(line.find("VortaneF Panic: \"2x5\" is an invalid float | File: data\\a.vtl | LINE: 6"), std::string::npos)
      << line;
  const auto frame = [&](std::uint32_t now) {
    live.BeforeFrame(now);
    demo_->DrawFrame();
    live.AfterFrame(now);
  };
  for (std::uint32_t t = 2000; t < 2100; t += 10) frame(t);
  EXPECT_EQ(Centre(), kRed);  // the old layer still draws
  EXPECT_NE(Pixel(8, 8), kRed);  // under the line
  testsupport::NewCallCounter counter;
  for (std::uint32_t t = 2100; t < 2300; t += 10) frame(t);
  EXPECT_EQ(counter.OwnCalls(), 0u);
}

}  // namespace
