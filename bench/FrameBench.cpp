// Frame cost: the sample demo drawn offscreen at times spread over the
// whole demo, each frame timed in CPU (all threads: the GL driver
// rasterises on worker threads) around DrawFrame and glFinish, against an
// empty frame (clear and finish) on the same context. The allocations of
// the frames are counted. Under callgrind only the measured frames are
// instrumented.
#include <GL/gl.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "bench/DemoSetup.h"
#include "runtime/vtDSysU.h"
#include "support/AllocCounter.h"

namespace bench {
std::uint64_t ProcessMallocCalls();

namespace {

struct FrameOptions {
  int Width = 640;
  int Height = 480;
  int StepMs = 100;
  int Passes = 3;
  bool Callgrind = false;
};

struct FrameStats {
  std::vector<double> CpuMs;
  std::uint64_t NewCalls = 0;        // by the program's own code
  std::uint64_t DriverNewCalls = 0;  // by libraries (the GL driver)
  std::uint64_t MallocCalls = 0;
  long Frames = 0;
};

std::vector<float> FrameTimes(int stepMs) {
  std::vector<float> times;
  for (float t = 0; t <= DemoSystem->DemoEndTime; t += static_cast<float>(stepMs)) times.push_back(t);
  return times;
}

void EmptyFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// One pass over the times; draw(t) draws the frame for t.
template <typename Draw>
void Pass(const std::vector<float>& times, platform::OffscreenGL& gl, Draw draw, FrameStats& stats) {
  for (float t : times) {
    const std::uint64_t mallocs = ProcessMallocCalls();
    const testsupport::NewCallCounter news;
    const double start = ProcessCpuSeconds();
    draw(t);
    gl.Finish();
    const double cpuMs = (ProcessCpuSeconds() - start) * 1000.0;
    stats.NewCalls += news.OwnCalls();
    stats.DriverNewCalls += news.Calls() - news.OwnCalls();
    stats.MallocCalls += ProcessMallocCalls() - mallocs;
    stats.CpuMs.push_back(cpuMs);  // may allocate: after the counts
    ++stats.Frames;
  }
}

bool ParseFrameOptions(int argc, char** argv, FrameOptions& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--width" && hasValue) o.Width = std::atoi(argv[++i]);
    else if (a == "--height" && hasValue) o.Height = std::atoi(argv[++i]);
    else if (a == "--step-ms" && hasValue) o.StepMs = std::atoi(argv[++i]);
    else if (a == "--passes" && hasValue) o.Passes = std::atoi(argv[++i]);
    else if (a == "--callgrind") o.Callgrind = true;
    else return false;
  }
  return o.Width > 0 && o.Height > 0 && o.StepMs > 0 && o.Passes > 0;
}

void PrintFrameRows(const FrameOptions& o, const FrameStats& demo, const FrameStats& empty) {
  const std::string size = std::to_string(o.Width) + "x" + std::to_string(o.Height);
  const double median = Median(demo.CpuMs), p99 = Percentile(demo.CpuMs, 0.99);
  const double emptyMedian = Median(empty.CpuMs), emptyP99 = Percentile(empty.CpuMs, 0.99);
  PrintRow({"Frame CPU " + size + ", median (ms) vs empty frame", Format("%.3f", median),
            Format("%.3f", emptyMedian), Format("%.2f", median / emptyMedian)});
  PrintRow({"Frame CPU " + size + ", p99 (ms) vs empty frame", Format("%.3f", p99), Format("%.3f", emptyP99),
            Format("%.2f", p99 / emptyP99)});
  const double newsPerFrame = static_cast<double>(demo.NewCalls) / static_cast<double>(demo.Frames);
  PrintRow({"operator new per frame by the engine " + size + " (" + std::to_string(demo.Frames) +
                " frames) vs by the GL driver",
            Format("%.3f", newsPerFrame),
            Format("%.3f", static_cast<double>(demo.DriverNewCalls) / static_cast<double>(demo.Frames)), "-", "0",
            MetText(demo.NewCalls == 0)});
  PrintRow({"malloc per frame " + size + ", all threads (GL driver too) vs empty frame",
            Format("%.1f", static_cast<double>(demo.MallocCalls) / static_cast<double>(demo.Frames)),
            Format("%.1f", static_cast<double>(empty.MallocCalls) / static_cast<double>(empty.Frames)), "-"});
}

}  // namespace

int RunFrameBench(int argc, char** argv) {
  FrameOptions o;
  if (!ParseFrameOptions(argc, argv, o)) {
    std::fprintf(stderr, "usage: frame [--width W] [--height H] [--step-ms S] [--passes P] [--callgrind]\n");
    return 2;
  }
  if (!PrepareProcess() || !LoadSampleScript()) return 1;
  auto gl = OpenContext(o.Width, o.Height);
  if (!gl) return 1;
  InitDemo(false);
  const std::vector<float> times = FrameTimes(o.StepMs);
  auto drawDemo = [](float t) {
    DemoSystem->SetManualTime(t);
    DemoSystem->DrawFrame();
  };
  FrameStats warm, demo, empty;
  Pass(times, *gl, drawDemo, warm);  // the driver compiles its shaders on first use
  if (o.Callgrind) CALLGRIND_START_INSTRUMENTATION;
  for (int pass = 0; pass < o.Passes; ++pass) Pass(times, *gl, drawDemo, demo);
  if (o.Callgrind) {
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("frames=%ld\n", demo.Frames);
    return 0;
  }
  for (int pass = 0; pass < o.Passes; ++pass) Pass(times, *gl, [](float) { EmptyFrame(); }, empty);
  PrintFrameRows(o, demo, empty);
  return 0;
}

}  // namespace bench
