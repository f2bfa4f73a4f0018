// Loading with workers gives what loading on one thread gives: the sample
// demo's frames bit for bit, every corpus scene's data and picture, the log
// and the message boxes in the same order, failing pictures with texture
// name 0 and their warnings where they were, a reader's progress on the
// main thread in the same steps, and a malformed number the same error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/vtFuncU.h"
#include "core/vtLoadPipelineU.h"
#include "core/vtLogU.h"
#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtFontU.h"
#include "runtime/vtStartU.h"
#include "scene/vtSceneASEU.h"
#include "support/GlTest.h"
#include "support/Images.h"
#include "support/TestGlobals.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWorkers = 3;  // more than this machine's cores: jobs overtake each other

// The log's entries (not its dated header) without their times; texture
// names numbered by first appearance (0 stays 0), since each load in one
// context gets new names.
std::vector<std::string> NormalizedLog(const std::string& path) {
  std::istringstream in(testsupport::ReadFileText(path));
  std::vector<std::string> lines, names;
  const std::regex time(R"(@ \d+ MSG)"), resource(R"(Resource ID: (\d+))");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("* ", 0) != 0 && lines.empty()) continue;  // the header, up to the first entry
    line = std::regex_replace(line, time, "@ MSG");
    std::smatch id;
    if (std::regex_search(line, id, resource) && id[1] != "0") {
      auto at = std::find(names.begin(), names.end(), id[1].str());
      if (at == names.end()) at = names.insert(names.end(), id[1].str());
      line = std::regex_replace(line, resource, "Resource ID: #" + std::to_string(at - names.begin()));
    }
    lines.push_back(line);
  }
  return lines;
}

// The message boxes, each with the number of log lines written before it,
// so the order of boxes and log entries is compared too.
class BoxesAmidTheLog {
 public:
  explicit BoxesAmidTheLog(std::string logPath) : logPath_(std::move(logPath)) {
    platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& call) {
      const std::string log = testsupport::ReadFileText(logPath_);
      texts_.push_back(std::to_string(std::count(log.begin(), log.end(), '\n')) + " " + call.Caption + ": " +
                       call.Text);
      return platform::MsgAnswer::Ok;
    });
  }
  ~BoxesAmidTheLog() { platform::SetMessageBoxHandler(nullptr); }
  const std::vector<std::string>& Texts() const { return texts_; }

 private:
  std::string logPath_;
  std::vector<std::string> texts_;
};

// Texture names numbered by first appearance, 0 kept.
class NameNumbers {
 public:
  std::uint32_t Of(std::uint32_t name) {
    if (name == 0) return 0;
    auto at = std::find(names_.begin(), names_.end(), name);
    if (at == names_.end()) at = names_.insert(names_.end(), name);
    return static_cast<std::uint32_t>(at - names_.begin()) + 1;
  }

 private:
  std::vector<std::uint32_t> names_;
};

template <typename T>
void AppendBytes(std::string& out, const std::vector<T>& list) {
  out.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(T));
  out += '|';
}

// Everything a scene read and built, texture names numbered.
std::string Describe(const vtScene& scene) {
  std::string out;
  NameNumbers names;
  for (const auto& m : scene.Materials) {
    out += m->Name + '|';
    for (const auto* colour : {&m->Ambient, &m->Diffuse, &m->Specular})
      out.append(reinterpret_cast<const char*>(colour->data()), sizeof(float) * colour->size());
    const vtMap* maps[] = {m->DiffuseMap.get(), m->ReflectMap.get()};
    for (const vtMap* map : maps)
      out += map ? map->Texture->FileName + '#' + std::to_string(names.Of(map->Texture->Id)) + '|' : "-|";
  }
  for (const auto& o : scene.Objects) {
    out += o->Name + '|' + std::to_string(o->MaterialRef) + (o->Refused ? "R" : "") +
           std::to_string(static_cast<int>(o->NormalSource)) + '|';
    AppendBytes(out, o->Vertices);
    AppendBytes(out, o->Faces);
    AppendBytes(out, o->Normals);
    AppendBytes(out, o->TexVertices);
    AppendBytes(out, o->TexFaces);
    AppendBytes(out, o->Geometry);
    AppendBytes(out, o->Indices);
    out += o->NormalList != 0 ? "L" : "-";
  }
  return out;
}

// What loading a scene gave: its data, its picture, the log and the boxes,
// the names of its diffuse maps' textures, the error it ended with.
struct SceneOutcome {
  std::string Data, Error;
  std::vector<std::uint8_t> Frame;
  std::vector<std::string> Log, Boxes;
  std::vector<std::uint32_t> DiffuseNames;
};

class ParallelLoad : public testsupport::GlTest {
 protected:
  int Width() const override { return 160; }
  int Height() const override { return 120; }
  void SetUp() override {
    GlTest::SetUp();
    std::filesystem::create_directories(dir_.File("data"));
  }

  // Fresh program-wide objects with the log on, in the scratch folder.
  void FreshStart() {
    fs::remove(dir_.File("data/Vortane.log"));
    testsupport::ResetGlobals();
    GlobalFont = std::make_unique<vtFont>();
    GlobalLog->Open();
    ActivateGlState(Width(), Height());
  }
  std::vector<std::string> Log() { return NormalizedLog(dir_.File("data/Vortane.log")); }

  // Loads the scene as the demo system would with that many threads (its
  // pictures in their textures), then draws it.
  SceneOutcome LoadScene(const std::string& path, int threads) {
    FreshStart();
    BoxesAmidTheLog boxes(dir_.File("data/Vortane.log"));
    vtLoadPipeline pipeline(threads);
    vtLoadPipeline::Attachment attached(pipeline);
    vtSceneASE scene;
    scene.FileName = path;
    scene.Reader.SetBufferSize(64);  // small files of many blocks: read on a worker too
    SceneOutcome outcome;
    try {
      scene.LoadFromFile();
    } catch (const vtConvertError& e) {
      outcome.Error = std::string(e.what()) + " @" + std::to_string(e.LineNumber);
    }
    pipeline.Finish();
    outcome.Data = Describe(scene);
    glTranslatef(0, 0, -200);
    scene.Render(0);
    glFinish();
    outcome.Frame = Pixels();
    outcome.Log = Log();
    outcome.Boxes = boxes.Texts();
    NameNumbers numbers;
    for (const auto& m : scene.Materials)
      if (m->DiffuseMap) outcome.DiffuseNames.push_back(numbers.Of(m->DiffuseMap->Texture->Id));
    return outcome;
  }

  // Loads with one thread and with workers; both must give the same. (A
  // scene whose reading failed is never drawn: with workers, the objects
  // read before the failure have their lists.)
  SceneOutcome LoadBothWays(const std::string& path) {
    const SceneOutcome sequential = LoadScene(path, 1), parallel = LoadScene(path, kWorkers);
    if (sequential.Error.empty()) {
      EXPECT_TRUE(parallel.Data == sequential.Data);
    }
    EXPECT_TRUE(parallel.Frame == sequential.Frame);
    EXPECT_EQ(parallel.Log, sequential.Log);
    EXPECT_EQ(parallel.Boxes, sequential.Boxes);
    EXPECT_EQ(parallel.DiffuseNames, sequential.DiffuseNames);
    EXPECT_EQ(parallel.Error, sequential.Error);
    return sequential;
  }

  testsupport::TempDir dir_;
};

// The picture of the texture bound now (loading leaves one bound, and the
// first frame may draw with it).
std::vector<std::uint8_t> BoundPicture() {
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  if (!pixels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

struct DemoOutcome {
  std::vector<std::uint8_t> Bound;
  std::vector<std::vector<std::uint8_t>> Frames;
  std::vector<std::string> Log, Boxes;
};

TEST_F(ParallelLoad, TheSampleDemoDrawsTheSameFramesLogsAndMessages) {
  fs::copy(testsupport::SourceDir() + "/data", dir_.File("data"), fs::copy_options::recursive);
  testsupport::ChangeDir cd(dir_.Path());
  auto play = [&](int threads) {
    FreshStart();
    BoxesAmidTheLog boxes(dir_.File("data/Vortane.log"));
    DemoOutcome outcome;
    vtDemoSystem demo;
    demo.LoadThreads = threads;
    EXPECT_TRUE(demo.LoadScript("data\\tunnel_test.vds"));
    demo.SetManualTime(0);
    demo.Init();
    demo.Music->Stop();
    outcome.Bound = BoundPicture();
    for (float t : {0.0f, 1000.0f, 7500.0f, 20000.0f, 36000.0f, 50000.0f}) {
      demo.SetManualTime(t);
      demo.DrawFrame();
      glFinish();
      outcome.Frames.push_back(Pixels());
    }
    outcome.Log = Log();
    outcome.Boxes = boxes.Texts();
    return outcome;
  };
  const DemoOutcome sequential = play(1);
  const DemoOutcome parallel = play(kWorkers);
  EXPECT_FALSE(sequential.Bound.empty());
  EXPECT_TRUE(parallel.Bound == sequential.Bound);
  ASSERT_EQ(parallel.Frames.size(), sequential.Frames.size());
  for (size_t i = 0; i < sequential.Frames.size(); ++i) EXPECT_TRUE(parallel.Frames[i] == sequential.Frames[i]) << i;
  EXPECT_GT(sequential.Log.size(), 40u);  // every picture's entries
  EXPECT_EQ(parallel.Log, sequential.Log);
  EXPECT_EQ(parallel.Boxes, sequential.Boxes);
}

// Pictures that cannot be loaded fail where they did, with texture name 0
// and the same warning, between pictures that load; a picture named twice
// is loaded once.
TEST_F(ParallelLoad, FailingPicturesYieldNameZeroAndTheirWarningInOrder) {
  testsupport::ChangeDir cd(dir_.Path());
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/good.png"), {255, 0, 0, 255}, 16));
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/other.tga"), {0, 0, 255, 255}, 8));
  dir_.Write("data/bad.png", "not a picture");
  dir_.Write("data/web.webp", std::string("RIFF\x10\0\0\0WEBPVP8 ", 16));
  const char* const pictures[] = {"good.png", "missing.png", "bad.png", "other.tga", "web.webp", "good.png"};
  std::string text = "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 6\n";
  for (int i = 0; i < 6; ++i)
    text += "\t*MATERIAL " + std::to_string(i) + " {\n\t\t*MATERIAL_NAME \"m" + std::to_string(i) +
            "\"\n\t\t*MAP_DIFFUSE {\n\t\t\t*BITMAP \"data\\" + pictures[i] + "\"\n\t\t}\n\t}\n";
  text += "}\n";
  const SceneOutcome outcome = LoadBothWays(dir_.Write("data/pictures.ase", text));
  EXPECT_EQ(outcome.DiffuseNames, (std::vector<std::uint32_t>{1, 0, 0, 2, 0, 1}));
  EXPECT_EQ(outcome.Boxes.size(), 3u);
}

// The build's warnings come after everything reading said, and not at all
// when reading fails, even for an object that was built before the failure.
TEST_F(ParallelLoad, TheBuildSpeaksOnlyAfterTheWholeFileWasRead) {
  testsupport::ChangeDir cd(dir_.Path());
  const std::string refused =
      "*GEOMOBJECT {\n\t*NODE_TM {\n\t\t*NODE_NAME \"Bad\"\n\t}\n\t*MESH {\n\t\t*MESH_VERTEX_LIST {\n"
      "\t\t\t*MESH_VERTEX    0\t0.0\t0.0\t0.0\n\t\t}\n\t\t*MESH_FACE_LIST {\n"
      "\t\t\t*MESH_FACE    0:    A:    0 B:    5 C:    0 AB: 1\n\t\t}\n\t}\n}\n";
  const std::string material =
      "*MATERIAL_LIST {\n\t*MATERIAL 0 {\n\t\t*MAP_DIFFUSE {\n\t\t\t*BITMAP \"data\\none.png\"\n\t\t}\n\t}\n}\n";
  const std::string later = dir_.Write("data/later.ase", refused + material);
  const std::string broken = dir_.Write("data/broken.ase", refused + material + "*GEOMOBJECT {\n\t*MATERIAL_REF x\n}\n");
  for (const std::string& path : {later, broken}) {
    SCOPED_TRACE(path);
    const std::vector<std::string> boxes = LoadBothWays(path).Boxes;
    const bool refusal = boxes.size() == 2 && boxes[1].find("is not drawn") != std::string::npos;
    EXPECT_EQ(refusal, path == later);
  }
}

// Every file of the shared corpus reads and builds to the same data, draws
// the same picture and says the same, with and without workers.
TEST_F(ParallelLoad, EveryCorpusSceneLoadsTheSame) {
  const std::string corpus = testsupport::SharedDir() + "/corpus/ase";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no ASE corpus at " << corpus;
  testsupport::ChangeDir cd(dir_.Path());
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (entry.path().extension() != ".ase") continue;
    SCOPED_TRACE(entry.path().string());
    ++files;
    LoadBothWays(entry.path().string());
  }
  EXPECT_GE(files, 60u);
}

// A scene of several reader blocks: its progress reaches the hook on the
// main thread in the same steps, and a malformed number ends the load with
// the same error, after the same texture entries and without the build's.
TEST_F(ParallelLoad, ProgressAndErrorsComeAsWithoutWorkers) {
  testsupport::ChangeDir cd(dir_.Path());
  const std::string good = dir_.File("data/big.ase"), bad = dir_.File("data/bad.ase");
  const std::string command = "python3 " + testsupport::SourceDir() + "/tools/ase/make_scenes.py --big " + good +
                              " --target-mb 2.5 --verts-per-object 3000 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string text = testsupport::ReadFileText(good);
  const size_t lastFace = text.rfind("*MESH_TFACE ");
  text.replace(text.find('\t', lastFace) + 1, 1, "x");  // the first corner of the last texture face
  dir_.Write("data/bad.ase", text);

  static std::vector<double> fractions;
  static bool offMain = false;
  static std::thread::id mainThread;
  mainThread = std::this_thread::get_id();
  vtText::SetProgressHook([](double f) {
    fractions.push_back(f);
    offMain = offMain || std::this_thread::get_id() != mainThread;
  });
  for (const std::string& path : {good, bad}) {
    SCOPED_TRACE(path);
    std::vector<double> steps[2];
    for (int threads : {1, kWorkers}) {
      fractions.clear();
      const SceneOutcome outcome = LoadScene(path, threads);
      steps[threads > 1] = fractions;
      EXPECT_EQ(outcome.Error.empty(), path == good) << outcome.Error;
    }
    EXPECT_GE(steps[0].size(), 3u);
    EXPECT_EQ(steps[1], steps[0]);
    LoadBothWays(path);
  }
  vtText::SetProgressHook(nullptr);
  EXPECT_FALSE(offMain);
}

}  // namespace
