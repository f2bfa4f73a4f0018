// Time to first frame: each run a fresh process, from main() to the end of
// the first DrawFrame (finished), split by the engine's load phases. The
// reference is the floor of any demo: a process that opens the offscreen
// context and finishes one empty frame.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "bench/DemoSetup.h"
#include "core/vtLoadProfileU.h"
#include "runtime/vtDSysU.h"

namespace bench {
namespace {

const Clock::time_point processStart = Clock::now();  // before main()

constexpr int kWidth = 800, kHeight = 600;  // the sample demo's window

double MsSince(Clock::time_point start) { return SecondsSince(start) * 1000.0; }

struct Part {
  const char* Key;
  const char* Label;
};

// The parts of the time to first frame, in the order they happen.
const Part kParts[] = {
    {"script", "script (read .vds, item files created)"},
    {"music", "music (audio device, decoder)"},
    {"context", "GL context (EGL surfaceless)"},
    {"textures", "textures on the main thread (header, upload; decoding and mipmaps on the load workers)"},
    {"ase", "ASE scenes (read)"},
    {"other_items", "other items (read .vtt/.vtl/.vts/.vto/.vtk)"},
    {"lists", "geometry and display lists (meshes, sky, font, chart)"},
    {"first_frame", "first DrawFrame"},
    {"rest", "the rest: Init's black frame and loading bar (the driver compiles their shaders), waiting for the "
             "last pictures, music start"},
};

void PrintPhase(const char* key, double seconds) { std::printf("%s=%.4f\n", key, seconds * 1000.0); }

int DemoChild() {
  if (!PrepareProcess()) return 1;
  vtLoadProfile profile;
  AttachLoadProfile(&profile);
  if (!LoadSampleScript()) return 1;
  auto contextStart = Clock::now();
  auto gl = OpenContext(kWidth, kHeight);
  if (!gl) return 1;
  const double contextMs = MsSince(contextStart);
  InitDemo(true);
  const auto frameStart = Clock::now();
  DemoSystem->SetManualTime(0);
  DemoSystem->DrawFrame();
  gl->Finish();
  const double frameMs = MsSince(frameStart);
  const double totalMs = MsSince(processStart);
  AttachLoadProfile(nullptr);
  PrintPhase("script", profile.Of(vtLoadPhase::Script));
  PrintPhase("music", profile.Of(vtLoadPhase::Music));
  PrintPhase("textures", profile.Of(vtLoadPhase::Textures));
  PrintPhase("ase", profile.Of(vtLoadPhase::AseScene));
  PrintPhase("other_items", profile.Of(vtLoadPhase::OtherItems));
  PrintPhase("lists", profile.Of(vtLoadPhase::DisplayLists));
  std::printf("context=%.4f\nfirst_frame=%.4f\ntotal=%.4f\n", contextMs, frameMs, totalMs);
  double known = contextMs + frameMs;
  for (size_t p = 1; p < kLoadPhaseCount; ++p) known += profile.Seconds[p] * 1000.0;
  std::printf("rest=%.4f\n", totalMs - known);
  return 0;
}

int EmptyChild() {
  if (!PrepareProcess()) return 1;
  auto gl = OpenContext(kWidth, kHeight);
  if (!gl) return 1;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl->Finish();
  std::printf("total=%.4f\n", MsSince(processStart));
  return 0;
}

// Medians of every key over the runs of one child kind.
bool RunChildren(const std::string& kind, int runs, std::vector<std::string>& outputs) {
  for (int i = 0; i < runs; ++i) {
    ChildRun run;
    if (!RunChild({SelfPath(), kind}, run)) {
      std::fprintf(stderr, "%s failed\n", kind.c_str());
      return false;
    }
    outputs.push_back(run.Output);
  }
  return true;
}

double MedianField(const std::vector<std::string>& outputs, const std::string& key) {
  std::vector<double> values;
  for (const auto& o : outputs) values.push_back(Field(o, key));
  return Median(values);
}

}  // namespace

int RunStartupChild(bool emptyDemo) { return emptyDemo ? EmptyChild() : DemoChild(); }

int RunStartupBench(int argc, char** argv) {
  int runs = 5;
  if (argc == 2 && std::string(argv[0]) == "--runs") runs = std::max(1, std::atoi(argv[1]));
  std::vector<std::string> demo, empty;
  if (!RunChildren("startup-child", runs, demo) || !RunChildren("startup-empty-child", runs, empty)) return 1;
  const double total = MedianField(demo, "total"), floor = MedianField(empty, "total");
  PrintRow({"Time to first frame, sample demo 800x600 (ms) vs empty frame", Format("%.1f", total),
            Format("%.1f", floor), Format("%.2f", total / floor), "< 60", MetText(total < 60)});
  for (const Part& part : kParts) {
    const double ms = MedianField(demo, part.Key);
    PrintRow({std::string("  of which ") + part.Label + " (ms; ratio = share)", Format("%.1f", ms), "-",
              Format("%.0f%%", 100.0 * ms / total)});
  }
  return 0;
}

}  // namespace bench
