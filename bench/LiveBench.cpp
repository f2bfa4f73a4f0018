// Live authoring: the time from saving a file to the end of the first frame
// that shows it, and what hundreds of reloads leave behind.
//
// Change to picture: a copy of the sample demo plays offscreen at 5 s, the
// player's loop drawing as fast as it goes (the offscreen context swaps
// without waiting); an editor thread saves a file the way editors do (a new
// file renamed over the old one) at a random moment and notes the time of
// the rename; the loop notes the end of the first frame drawn after the
// reload of that file (glFinish). Median and 95th percentile over the
// edits of a layer file, a transformation file and a picture.
//
// Music reload: a 5-minute music file (Ogg Vorbis) is named by the script,
// then saved again; the longest frame while each reload is under way (the
// file opened, the stream replaced) must stay under two frames at 60 Hz.
// Edit to picture: the studio's page asks for a render line's begin to
// change (POST /api/edit/line on the real server, from another thread);
// from the moment before the POST to the end of the first frame that shows
// it: the player writes the script, reads it back, reloads it between two
// frames and draws.
//
// No growth: every item file of the demo, one of its pictures and the script
// are reloaded many times, each item file also with a malformed number (a
// tunnel has none: its file is missing instead); the display lists and
// textures alive (glIsList, glIsTexture over the names handed out) and the
// resident memory are compared before and after.
#include <GL/gl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "bench/DemoSetup.h"
#include "core/vtFuncU.h"
#include "live/vtLiveU.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtStartU.h"
#include "studio/vtStudioU.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr float kShownAt = 5000;  // ms: the title layer and the ship's orbit play
constexpr GLuint kNamesProbed = 1 << 16;

struct LiveOptions {
  int Edits = 50;     // per file
  int Cycles = 500;   // reload rounds for the growth check
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// As an editor saves: the whole new file beside the old one, renamed over it.
void SaveByRename(const std::string& path, const std::string& content) {
  WriteAll(path + ".new", content);
  fs::rename(path + ".new", path);
}

// A scratch copy of the sample demo, made the working directory.
class DemoCopy {
 public:
  DemoCopy() {
    char pattern[] = "/tmp/vortane-live-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    path_ = pattern;
    fs::copy(std::string(VT_SOURCE_DIR) + "/data", path_ + "/data", fs::copy_options::recursive);
    ok_ = ::chdir(path_.c_str()) == 0;
  }
  ~DemoCopy() {
    if (!path_.empty()) fs::remove_all(path_);
  }
  bool Ok() const { return ok_; }
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
  bool ok_ = false;
};

// The two contents an edited file alternates between.
struct EditedFile {
  const char* Figure;
  std::string Path;   // on disk
  std::string Engine; // as the demo names it
  std::string A, B;
};

std::vector<EditedFile> EditedFiles(const DemoCopy& demo) {
  const std::string work = GlobalFunc->WorkDir + "\\";
  std::vector<EditedFile> files = {
      {"layer file", demo.File("data/layers/title.vtl"), work + "data\\layers\\title.vtl", "", ""},
      {"transformation file", demo.File("data/items/orbit_ship.vtt"), work + "data\\items\\orbit_ship.vtt", "", ""},
      // The store, and so the reload, knows a picture by its file on disk.
      {"picture", demo.File("data/textures/title_vortane.png"),
       platform::CanonicalPath(demo.File("data/textures/title_vortane.png")), "", ""},
  };
  for (EditedFile& file : files) file.A = ReadAll(file.Path);
  std::string layer = files[0].A, trans = files[1].A;
  layer.replace(layer.find(" 255 255 255 255"), 16, " 255 160 120 255");  // a warmer title
  trans.replace(trans.find("0 0 -15"), 7, "0 0 -12");  // the camera nearer the ship
  files[0].B = layer;
  files[1].B = trans;
  files[2].B = ReadAll(demo.File("data/textures/title_orbit.png"));
  return files;
}

// One frame as the player's idle pass draws it, finished.
void DrawFrame(vtLiveSession& live) {
  const std::uint32_t now = platform::TimeGetTime();
  live.BeforeFrame(now);
  DemoSystem->DrawFrame();
  live.AfterFrame(now);
  glFinish();
}

// Milliseconds from each rename to the end of the frame showing it.
std::vector<double> ChangeToPicture(vtLiveSession& live, const EditedFile& file, int edits,
                                    std::vector<double>& frameMs) {
  std::atomic<bool> waiting{false};
  std::atomic<std::int64_t> renamedAt{0};
  bool reloaded = false;
  live.Reloads().SetObserver([&](const vtReloadEvent& e) {
    if (e.File == file.Engine && e.What == vtReloadEvent::Status::Reloaded) reloaded = true;
  });
  std::thread editor([&] {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(60, 140);
    for (int i = 0; i < edits; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
      // Waiting before the rename: on a busy machine this thread may sleep
      // between the rename and its next line longer than the reload takes.
      renamedAt = 0;
      waiting = true;
      SaveByRename(file.Path, i % 2 == 0 ? file.B : file.A);
      renamedAt = Clock::now().time_since_epoch().count();
      while (waiting) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::vector<double> ms;
  while (static_cast<int>(ms.size()) < edits) {
    reloaded = false;
    const auto start = Clock::now();
    DrawFrame(live);
    frameMs.push_back(SecondsSince(start) * 1e3);
    if (reloaded && waiting) {
      const auto end = Clock::now().time_since_epoch().count();
      while (renamedAt == 0) std::this_thread::yield();
      ms.push_back(static_cast<double>(end - renamedAt.load()) * 1e3 * Clock::period::num / Clock::period::den);
      waiting = false;
    }
  }
  editor.join();
  live.Reloads().SetObserver(nullptr);
  return ms;
}

// Five minutes of a slow sweep, stereo at 44.1 kHz, as Ogg Vorbis.
bool WriteLongMusic(const std::string& path) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  constexpr sf_count_t kFrames = 44100 * 300, kBlock = 4096;
  std::vector<float> block(2 * kBlock);
  double phase = 0;
  for (sf_count_t at = 0; at < kFrames; at += kBlock) {
    for (sf_count_t f = 0; f < kBlock; ++f) {
      phase += 2 * M_PI * (220.0 + 220.0 * static_cast<double>(at + f) / kFrames) / 44100.0;
      block[2 * f] = block[2 * f + 1] = static_cast<float>(0.3 * std::sin(phase));
    }
    sf_writef_float(file, block.data(), std::min(kBlock, kFrames - at));
  }
  return sf_close(file) == 0;
}

// The longest frame from the save until a second after the music's reload.
double LongestFrameWhile(vtLiveSession& live, const std::function<void()>& save) {
  bool reloaded = false;
  live.Reloads().SetObserver([&](const vtReloadEvent& e) {
    if (e.File.find("long.ogg") != std::string::npos) reloaded = true;
  });
  save();
  double longest = 0;
  const auto start = Clock::now();
  std::chrono::steady_clock::time_point doneAt{};
  while (SecondsSince(start) < 20) {
    const auto frame = Clock::now();
    DrawFrame(live);
    longest = std::max(longest, SecondsSince(frame) * 1e3);
    if (reloaded && doneAt == std::chrono::steady_clock::time_point{}) doneAt = Clock::now();
    if (reloaded && SecondsSince(doneAt) > 1) break;
  }
  live.Reloads().SetObserver(nullptr);
  return reloaded ? longest : -1;
}

// The longest frame over seconds of play without any reload: what the
// machine gives at all (on a loaded one it is well above a frame).
double LongestFrameFor(vtLiveSession& live, double seconds) {
  double longest = 0;
  const auto start = Clock::now();
  while (SecondsSince(start) < seconds) {
    const auto frame = Clock::now();
    DrawFrame(live);
    longest = std::max(longest, SecondsSince(frame) * 1e3);
  }
  return longest;
}

// Milliseconds from each POST to the end of the frame showing its edit.
std::vector<double> EditToPicture(vtLiveSession& live, int edits, std::vector<double>& frameMs) {
  vtStudio studio(*DemoSystem);
  studio.SetReloads(&live.Reloads());
  std::string error;
  if (!studio.Start(0, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return {};
  }
  std::atomic<std::int64_t> postedAt{0};
  std::atomic<bool> done{false};
  std::thread page([&] {
    httplib::Client client("127.0.0.1", studio.Port());
    client.set_read_timeout(30, 0);
    const httplib::Headers token{{"X-Vortane-Token", studio.Server().Token()}};
    auto timeline = nlohmann::json::parse(client.Get("/api/timeline", token)->body);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pause(40, 120);
    for (int i = 0; i < edits; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
      const nlohmann::json line = timeline["items"][0]["lines"][0];
      const nlohmann::json edit = {{"item", 0}, {"line", 0}, {"begin", i % 2 == 0 ? 2 : 1}, {"end", line["end"]},
                                   {"version", timeline["script"]["version"]}};
      postedAt = Clock::now().time_since_epoch().count();
      const auto answer = client.Post("/api/edit/line", token, edit.dump(), "application/json");
      if (!answer || answer->status != 200) break;
      timeline = nlohmann::json::parse(answer->body);
    }
    done = true;
  });
  std::vector<double> ms;
  while (!done) {
    const std::uint64_t events = studio.Exchange().LastEventId();
    const auto start = Clock::now();
    studio.BeforeFrame();
    DrawFrame(live);
    studio.AfterFrame();
    frameMs.push_back(SecondsSince(start) * 1e3);
    if (studio.Exchange().LastEventId() != events) {  // the edit's event: this frame shows it
      const auto end = Clock::now().time_since_epoch().count();
      ms.push_back(static_cast<double>(end - postedAt.load()) * 1e3 * Clock::period::num / Clock::period::den);
    }
  }
  page.join();
  studio.SetReloads(nullptr);
  studio.Stop();
  return ms;
}

struct GlCount {
  int Lists = 0, Textures = 0;
};

GlCount CountGlObjects() {
  GlCount count;
  for (GLuint name = 1; name < kNamesProbed; ++name) {
    count.Lists += glIsList(name) == GL_TRUE;
    count.Textures += glIsTexture(name) == GL_TRUE;
  }
  return count;
}

// The resident memory once the heap's free pages are back with the system,
// so that both ends of the measure are in the same state.
double ResidentMiB() {
  platform::ReturnFreeMemory();
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A malformed number each item kind reads (a tunnel's file reads no number:
// it is removed instead).
std::string Broken(const std::string& path, const std::string& good) {
  const std::string ext = path.substr(path.rfind('.') + 1);
  if (ext == "vtl") return good + "VT_LAYER {\n\t\tVT_BLEND_SFACTOR\t\t7x\n}\n";
  if (ext == "vtt") return good + "VT_STATIC_TRANSFORMATION {\n\t\tVT_ROTATE\t\t1x 1 0 0\n}\n";
  if (ext == "vtk") return good + "VT_SKY_SIZE 5x\n";
  if (ext == "vto") return good + "VT_MESH_INFO {\nVT_GEN_TYPE \"vt_TORUS\"\nVT_PARAMETER {\nVT_STACKS 1x\n}\n}\n";
  if (ext == "ase") return good + "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE 0: A: x B: 1 C: 2\n\t\t}\n\t}\n}\n";
  return "";
}

struct GrowthResult {
  GlCount Before, After;
  double MiBBefore = 0, MiBAfter = 0;
  int Reloads = 0, Failures = 0;
  int BrokenItems = 0;  // every item of the demo, once a round
};

void ReloadRound(vtLiveSession& live, const std::vector<std::pair<std::string, std::string>>& items,
                 const EditedFile& picture, GrowthResult& result) {
  vtReloadController& reloads = live.Reloads();
  for (const auto& [engine, disk] : items) {
    const std::string good = ReadAll(disk);
    const std::string bad = Broken(disk, good);
    if (bad.empty())
      fs::remove(disk);
    else
      WriteAll(disk, bad);
    reloads.FileChanged(engine);
    WriteAll(disk, good);
    reloads.FileChanged(engine);
    result.Reloads += 2;
  }
  reloads.FileChanged(picture.Engine);
  reloads.FileChanged(DemoSystem->ScriptName);
  reloads.FileChanged(GlobalFunc->WorkDir + "\\" + DemoSystem->Requests.MusicName);
  result.Reloads += 3;
  DrawFrame(live);
}

GrowthResult NoGrowth(vtLiveSession& live, const DemoCopy& demo, const EditedFile& picture, int cycles) {
  std::vector<std::pair<std::string, std::string>> items;  // engine path, disk path
  const std::string work = GlobalFunc->WorkDir + "\\";
  for (const auto& item : DemoSystem->Items) {
    std::string relative = item->FileName.substr(work.size());
    bool named = false;
    for (const auto& known : items) named = named || known.first == item->FileName;
    if (named) continue;
    for (char& c : relative)
      if (c == '\\') c = '/';
    items.emplace_back(item->FileName, demo.File(relative));
  }
  GrowthResult result;
  live.Reloads().SetObserver([&](const vtReloadEvent& e) { result.Failures += e.What == vtReloadEvent::Status::Failed; });
  for (int i = 0; i < 5; ++i) ReloadRound(live, items, picture, result);  // the allocator settles
  live.Console().Clear();
  DrawFrame(live);  // as at the end: what the last reloads replaced is freed by the next frame
  result.Before = CountGlObjects();
  result.MiBBefore = ResidentMiB();
  result.Reloads = result.Failures = 0;
  for (int i = 0; i < cycles; ++i) ReloadRound(live, items, picture, result);
  live.Console().Clear();
  DrawFrame(live);
  result.After = CountGlObjects();
  result.MiBAfter = ResidentMiB();
  result.BrokenItems = static_cast<int>(DemoSystem->Items.size()) * cycles;
  live.Reloads().SetObserver(nullptr);
  return result;
}

}  // namespace

int RunLiveBench(int argc, char** argv) {
  LiveOptions options;
  for (int i = 0; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--edits") options.Edits = std::atoi(argv[i + 1]);
    if (name == "--cycles") options.Cycles = std::atoi(argv[i + 1]);
  }
  if (!PrepareProcess()) return 1;
  DemoCopy demo;
  if (!demo.Ok()) {
    std::fprintf(stderr, "cannot copy the sample demo\n");
    return 1;
  }
  CreateProgramObjects();
  DemoSystem = std::make_unique<vtDemoSystem>();
  auto live = std::make_unique<vtLiveSession>(*DemoSystem, kSampleScript);
  if (!DemoSystem->LoadScript(kSampleScript)) return 1;
  auto gl = OpenContext(640, 480);
  if (!gl) return 1;
  InitDemo(false);
  DemoSystem->SetManualTime(kShownAt);
  if (!live->Start()) return 1;
  for (int i = 0; i < 10; ++i) DrawFrame(*live);

  const std::vector<EditedFile> files = EditedFiles(demo);
  for (const EditedFile& file : files) {
    std::vector<double> frameMs;
    const std::vector<double> ms = ChangeToPicture(*live, file, options.Edits, frameMs);
    const double median = Median(ms), p95 = Percentile(ms, 0.95);
    std::printf("%s: %zu edits, median %.1f ms, p95 %.1f ms, max %.1f ms; frames: median %.1f ms, p95 %.1f ms\n",
                file.Figure, ms.size(), median, p95, Percentile(ms, 1.0), Median(frameMs), Percentile(frameMs, 0.95));
    PrintRow({std::string("Live reload, ") + file.Figure + ": rename to end of frame, median / p95",
              Format("%.1f", median) + " / " + Format("%.1f", p95) + " ms", "-", "-", "< 50 / < 100 ms",
              MetText(median < 50 && p95 < 100)});
  }

  const std::string music = demo.File("data/music/long.ogg");
  const std::string script = ReadAll(demo.File("data/tunnel_test.vds"));
  if (WriteLongMusic(music)) {
    std::string named = script;
    named.replace(named.find("data\\music\\tune.ogg"), 19, "data\\music\\long.ogg");
    const double byScript =
        LongestFrameWhile(*live, [&] { SaveByRename(demo.File("data/tunnel_test.vds"), named); });
    const std::string bytes = ReadAll(music);
    const double bySave = LongestFrameWhile(*live, [&] { SaveByRename(music, bytes); });
    const double quiet = LongestFrameFor(*live, 2.0);
    std::printf("music reload (5 minutes, Ogg Vorbis): longest frame %.1f ms (script), %.1f ms (file saved); "
                "%.1f ms over 2 s without a reload\n",
                byScript, bySave, quiet);
    PrintRow({"Live reload, 5-minute music: longest frame, named by the script / file saved (no reload)",
              Format("%.1f", byScript) + " / " + Format("%.1f", bySave) + " ms (" + Format("%.1f", quiet) + " ms)",
              "-", "-", "< 33.3 ms",
              MetText(byScript >= 0 && bySave >= 0 && std::max(byScript, bySave) < 1000.0 / 30)});
    SaveByRename(demo.File("data/tunnel_test.vds"), script);
    for (int i = 0; i < 20; ++i) DrawFrame(*live);
}

  {
    std::vector<double> frameMs;
    const std::vector<double> ms = EditToPicture(*live, options.Edits, frameMs);
    const double median = Median(ms), p95 = Percentile(ms, 0.95);
    std::printf("studio edit: %zu edits, median %.1f ms, p95 %.1f ms, max %.1f ms; frames: median %.1f ms\n", ms.size(),
                median, p95, Percentile(ms, 1.0), Median(frameMs));
    PrintRow({"Studio edit of a render line: POST to end of frame, median / p95",
              Format("%.1f", median) + " / " + Format("%.1f", p95) + " ms", "-", "-", "< 50 / < 100 ms",
              MetText(!ms.empty() && median < 50 && p95 < 100)});
  }

  const GrowthResult growth = NoGrowth(*live, demo, files[2], options.Cycles);
  const double mib = growth.MiBAfter - growth.MiBBefore;
  std::printf("growth: %d reloads (%d failed, %d broken on purpose) in %d cycles; lists %d -> %d, textures %d -> %d, resident %.2f -> %.2f MiB\n",
              growth.Reloads, growth.Failures, growth.BrokenItems, options.Cycles, growth.Before.Lists, growth.After.Lists,
              growth.Before.Textures, growth.After.Textures, growth.MiBBefore, growth.MiBAfter);
  const bool met = growth.After.Lists == growth.Before.Lists && growth.After.Textures == growth.Before.Textures &&
                   mib < 2.0 && growth.Failures == growth.BrokenItems;
  PrintRow({"Live reload, " + std::to_string(options.Cycles) + " cycles of every kind: lists, textures, resident",
            Format("%+.0f", growth.After.Lists - growth.Before.Lists) + ", " +
                Format("%+.0f", growth.After.Textures - growth.Before.Textures) + ", " + Format("%+.2f", mib) + " MiB",
            std::to_string(growth.Before.Lists) + " lists, " + std::to_string(growth.Before.Textures) + " textures",
            "-", "+0, +0, < 2 MiB", MetText(met)});
  live.reset();
  DemoSystem.reset();
  return 0;
}

}  // namespace bench
