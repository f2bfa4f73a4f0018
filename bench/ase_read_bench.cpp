// Reads one large ASE file with vtSceneASE and with the assimp importer,
// each run in a fresh process of its own so that its peak memory is its
// own, and prints the medians side by side with `wc -l` on the same file.
//
//   vortane-ase-bench [--file F.ase | --target-mb N] [--runs R]
//   vortane-ase-bench --render PATH/vortane-render --shape F.ase [--shape ...] [--runs R]
//
// Without --file a file of --target-mb MiB (100 by default) is generated
// with tools/ase/make_scenes.py --big (20000 vertices per object) into /tmp.
// With --render each shape is loaded whole by the renderer (a demo that
// draws the scene, `vortane-render --at 0`: process start to the first
// picture written) against assimp reading the same file.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/AseChild.h"
#include "bench/BenchSupport.h"

namespace {

using bench::Clock;

// ---- the measured work, each in a child process; prints its seconds ----

int RunAssimp(const std::string& path) {
  Assimp::Importer importer;
  const auto start = Clock::now();
  const double cpuStart = bench::ProcessCpuSeconds();
  const aiScene* scene = importer.ReadFile(path, 0);
  const double seconds = bench::SecondsSince(start);
  const double cpu = bench::ProcessCpuSeconds() - cpuStart;
  if (!scene) return 1;
  std::printf("%.6f %u %.6f\n", seconds, scene->mNumMeshes, cpu);
  return 0;
}

// ---- the parent: child processes, their times and peak memory ----

struct Row {
  std::string What;
  double Seconds = 0;  // medians of the runs
  double Cpu = 0;
  double PeakMiB = 0;
  std::vector<double> Times;  // every run's
  double ExitSeconds = 0;     // with a watched file: the median wall time to the process's end
};

// One program measured by MeasureSideBySide. Its times are the child's own
// measurement when it prints one ("seconds count cpu-seconds"), else those
// from its start to its writing WatchFile when one is given, else the wall
// and CPU time of the whole process.
struct Child {
  std::string What;
  std::vector<std::string> Args;
  bool ChildTimes = false;
  std::string WatchFile;
  Row* Result = nullptr;
  std::string* Output = nullptr;  // the last run's standard output, when wanted
};

struct RunSamples {
  std::vector<double> Cpus, Peaks, Exits;
};

bool RunOnce(const Child& child, RunSamples& samples) {
  bench::ChildRun run;
  if (!bench::RunChild(child.Args, run, child.WatchFile) || (!child.WatchFile.empty() && run.FileSeconds == 0)) {
    std::fprintf(stderr, "%s failed\n", child.What.c_str());
    return false;
  }
  double seconds = child.WatchFile.empty() ? run.Seconds : run.FileSeconds, cpu = run.CpuSeconds, count = 0;
  if (child.ChildTimes && std::sscanf(run.Output.c_str(), "%lf %lf %lf", &seconds, &count, &cpu) != 3) return false;
  child.Result->Times.push_back(seconds);
  samples.Cpus.push_back(cpu);
  samples.Peaks.push_back(run.PeakMiB);
  samples.Exits.push_back(run.Seconds);
  if (child.Output) *child.Output = run.Output;
  return true;
}

// Runs each child `runs` times, taking turns (one run of each, then the
// next round), so that a machine whose speed moves while the rows are
// measured moves every row alike.
bool MeasureSideBySide(const std::vector<Child>& children, int runs) {
  std::vector<RunSamples> samples(children.size());
  for (const Child& child : children) {
    *child.Result = Row{};
    child.Result->What = child.What;
  }
  for (int i = 0; i < runs; ++i)
    for (size_t c = 0; c < children.size(); ++c)
      if (!RunOnce(children[c], samples[c])) return false;
  for (size_t c = 0; c < children.size(); ++c) {
    Row& row = *children[c].Result;
    row.Seconds = bench::Median(row.Times);
    row.Cpu = bench::Median(samples[c].Cpus);
    row.PeakMiB = bench::Median(samples[c].Peaks);
    if (!children[c].WatchFile.empty()) row.ExitSeconds = bench::Median(samples[c].Exits);
  }
  return true;
}

// How many cores a run kept busy: a busy machine shows as fewer.
std::string CpusUsed(const Row& row) {
  return bench::Format("%.2f CPUs", row.Cpu / (row.ExitSeconds > 0 ? row.ExitSeconds : row.Seconds));
}

// A throughput cell: MB/s, then the wall and CPU seconds it came from.
std::string Throughput(double mb, const Row& row) {
  return bench::Format("%.1f", mb / row.Seconds) + bench::Format(" (%.3f s", row.Seconds) +
         bench::Format(", CPU %.3f s, ", row.Cpu) + CpusUsed(row) + ")";
}

// A reference that moved by more than this between runs (slowest to
// fastest) is named under the table: its ratios are worth less.
constexpr double kSteadySpread = 1.25;

void NoteMovedReference(const Row& reference) {
  const auto [low, high] = std::minmax_element(reference.Times.begin(), reference.Times.end());
  if (*high > kSteadySpread * *low)
    std::printf("NOTE: %s moved between runs: %.3f to %.3f s\n", reference.What.c_str(), *low, *high);
}

// The spread of a row's runs in MB/s, slowest to fastest.
std::string SpreadOf(double mb, const Row& row) {
  std::vector<double> rates;
  for (double t : row.Times) rates.push_back(mb / t);
  return bench::Spread(rates, "%.0f");
}

void PrintRows(double mb, int runs, const Row& wc, const Row& assimp, const Row& ours, const Row& load) {
  using bench::Format;
  using bench::PrintRow;
  const std::string file = Format("%.0f", mb) + " MB, medians of " + std::to_string(runs) + " runs";
  const double readRatio = assimp.Seconds / ours.Seconds, loadRatio = assimp.Seconds / load.Seconds;
  PrintRow({"ASE ReadFile (MB/s, wall and CPU s; " + file + ") vs assimp ReadFile", Throughput(mb, ours),
            Throughput(mb, assimp), Format("%.2f", readRatio), ">= 4", bench::MetText(readRatio >= 4)});
  PrintRow({"  spread of the runs (MB/s, slowest - fastest)", SpreadOf(mb, ours), SpreadOf(mb, assimp), "-"});
  const std::string assimpRate = Format(" (assimp read %.0f MB/s)", mb / assimp.Seconds);
  PrintRow({"ASE ReadFile (MB/s) vs wc -l" + assimpRate, Throughput(mb, ours), Throughput(mb, wc),
            Format("%.2f", wc.Seconds / ours.Seconds)});
  PrintRow({"ASE ReadFile peak memory (MiB) vs assimp" + assimpRate, Format("%.1f", ours.PeakMiB),
            Format("%.1f", assimp.PeakMiB), Format("%.2f", ours.PeakMiB / assimp.PeakMiB)});
  PrintRow({"ASE LoadFromFile with display lists (MB/s, wall and CPU s) vs assimp ReadFile", Throughput(mb, load),
            Throughput(mb, assimp), Format("%.2f", loadRatio), ">= 1.5", bench::MetText(loadRatio >= 1.5)});
  PrintRow({"  spread of the runs (MB/s, slowest - fastest)", SpreadOf(mb, load), SpreadOf(mb, assimp), "-"});
  PrintRow({"ASE LoadFromFile peak memory (MiB) vs assimp" + assimpRate, Format("%.1f", load.PeakMiB),
            Format("%.1f", assimp.PeakMiB), Format("%.2f", load.PeakMiB / assimp.PeakMiB)});
  NoteMovedReference(assimp);
}

// ---- whole loads through the renderer ----

constexpr const char* kShapeScript =
    "VT_DEMO_NAME \"ASE shape\"\n"
    "VT_WINDOW_WIDTH 640\n"
    "VT_WINDOW_HEIGHT 480\n"
    "VT_DEMO_ENDTIME 1000\n"
    "VT_RENDER_CHANNEL {\n"
    "\tVT_RENDER_ITEMS_TYPE \"vt_3D_ASE\"\n"
    "\tVT_RENDER_ITEMS_FILE \"data\\scene\\shape.ase\"\n"
    "\tVT_RENDER_LINES {\n"
    "\t\tVT_RENDER_TIMES_BEGIN_END 0 1000 0 \"vt_PLAY\"\n"
    "\t}\n"
    "}\n";

// A demo folder beside the file whose only item draws it from time 0.
std::string MakeShapeDemo(const std::string& ase) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::absolute(ase).string() + ".demo";
  fs::create_directories(dir / "data" / "scene");
  fs::create_directories(dir / "out");
  const fs::path link = dir / "data" / "scene" / "shape.ase";
  fs::remove(link);
  fs::create_symlink(fs::absolute(ase), link);
  std::ofstream(dir / "shape.vds") << kShapeScript;
  return dir.string();
}

bool MeasureShape(const std::string& self, const std::string& render, const std::string& ase, int runs) {
  using bench::Format;
  const std::string dir = MakeShapeDemo(ase);
  Row ignored, assimp, whole;
  const Child warm{"cat", {"cat", ase}, false, {}, &ignored};
  const Child reference{"assimp ReadFile(path, 0)", {self, "--child", "assimp", ase}, true, {}, &assimp};
  const Child ours{"vortane-render --at 0",
                   {render, "--script", "shape.vds", "--out", dir + "/out", "--at", "0", dir},
                   false,
                   dir + "/out/at_0.png",
                   &whole};
  if (!MeasureSideBySide({warm}, 1) || !MeasureSideBySide({reference, ours}, runs)) return false;
  const double mb = bench::FileSize(ase) / 1e6, ratio = assimp.Seconds / whole.Seconds;
  const std::string name = std::filesystem::path(ase).filename().string();
  auto cell = [mb](const Row& row) {
    const std::string exit = row.ExitSeconds > 0 ? Format("; process ended at %.3f s", row.ExitSeconds) : "";
    return Format("%.3f s (", row.Seconds) + Format("%.0f MB/s, ", mb / row.Seconds) + CpusUsed(row) + exit + ")";
  };
  bench::PrintRow({"ASE whole load, " + name + Format(" (%.0f MB): vortane-render --at 0, start to picture", mb) +
                       " vs assimp ReadFile",
                   cell(whole), cell(assimp), Format("%.2f", ratio), ">= 1.2", bench::MetText(ratio >= 1.2)});
  bench::PrintRow({"  spread of the runs (s, fastest - slowest)", bench::Spread(whole.Times, "%.3f"),
                   bench::Spread(assimp.Times, "%.3f"), "-"});
  NoteMovedReference(assimp);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file, render;
  std::vector<std::string> shapes;
  int targetMb = 100;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--child" && i + 2 < argc) {
      const std::string mode = argv[i + 1], path = argv[i + 2];
      if (mode == "ours") return bench::TimeAseRead(path, false);
      if (mode == "load") return bench::TimeAseRead(path, true);
      if (mode == "assimp") return RunAssimp(path);
      return 2;
    }
    if (a == "--file" && i + 1 < argc) file = argv[++i];
    else if (a == "--render" && i + 1 < argc) render = argv[++i];
    else if (a == "--shape" && i + 1 < argc) shapes.push_back(argv[++i]);
    else if (a == "--target-mb" && i + 1 < argc) targetMb = std::atoi(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr,
                   "usage: %s [--file F.ase | --target-mb N] [--runs R]\n"
                   "       %s --render VORTANE_RENDER --shape F.ase [--shape F.ase ...] [--runs R]\n",
                   argv[0], argv[0]);
      return 2;
    }
  }
  if (!render.empty()) {
    for (const std::string& shape : shapes)
      if (!MeasureShape(bench::SelfPath(), render, shape, runs)) return 1;
    return 0;
  }
  if (file.empty()) {
    file = "/tmp/vortane-bench-" + std::to_string(targetMb) + ".ase";
    if (bench::FileSize(file) <= 0) {
      const std::string command = "python3 " VT_SOURCE_DIR "/tools/ase/make_scenes.py --big " + file +
                                  " --target-mb " + std::to_string(targetMb) + " --verts-per-object 20000 >&2";
      if (std::system(command.c_str()) != 0) return 1;
    }
  }
  const long bytes = bench::FileSize(file);
  if (bytes <= 0) {
    std::fprintf(stderr, "no file %s\n", file.c_str());
    return 1;
  }
  const std::string self = bench::SelfPath();
  // Warm the page cache so that every reader starts from memory.
  Row ignored, wc, assimp, ours, load;
  std::string wcOutput;
  if (!MeasureSideBySide({{"cat", {"cat", file}, false, {}, &ignored}}, 1) ||
      !MeasureSideBySide({{"wc -l", {"wc", "-l", file}, false, {}, &wc, &wcOutput},
                          {"assimp ReadFile(path, 0)", {self, "--child", "assimp", file}, true, {}, &assimp},
                          {"vtSceneASE.ReadFile", {self, "--child", "ours", file}, true, {}, &ours},
                          {"vtSceneASE.LoadFromFile (display lists, offscreen GL)", {self, "--child", "load", file},
                           true, {}, &load}},
                         runs))
    return 1;

  const double mb = bytes / 1e6;
  std::printf("File %s: %ld bytes, %ld lines; medians of %d runs, each in its own process, the programs taking turns\n\n", file.c_str(), bytes,
              std::atol(wcOutput.c_str()), runs);
  std::printf("| %-54s | %9s | %9s | %9s | %13s |\n", "what", "seconds", "CPU s", "MB/s", "peak RSS MiB");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(56, '-').c_str(), std::string(11, '-').c_str(),
              std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(15, '-').c_str());
  for (const Row* r : {&wc, &assimp, &ours, &load})
    std::printf("| %-54s | %9.4f | %9.4f | %9.1f | %13.1f |\n", r->What.c_str(), r->Seconds, r->Cpu, mb / r->Seconds,
                r->PeakMiB);
  const double ratio = assimp.Seconds / ours.Seconds;
  std::printf("\nReadFile throughput / assimp: %.2f (target >= 4): %s\n", ratio, ratio >= 4 ? "met" : "NOT met");
  std::printf("ReadFile peak memory / assimp: %.2f (target <= 1): %s\n", ours.PeakMiB / assimp.PeakMiB,
              ours.PeakMiB <= assimp.PeakMiB ? "met" : "NOT met");
  PrintRows(mb, runs, wc, assimp, ours, load);
  return 0;
}
