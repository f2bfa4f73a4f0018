// Reads one large ASE file with vtSceneASE and with the assimp importer,
// each run in a fresh process of its own so that its peak memory is its
// own, and prints the medians side by side with `wc -l` on the same file.
//
//   vortane-ase-bench [--file F.ase | --target-mb N] [--runs R]
//
// Without --file a file of --target-mb MiB (100 by default) is generated
// with tools/ase/make_scenes.py --big (20000 vertices per object) into /tmp.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdio>
#include <cstdlib>
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
  const aiScene* scene = importer.ReadFile(path, 0);
  const double seconds = bench::SecondsSince(start);
  if (!scene) return 1;
  std::printf("%.6f\n", seconds);
  return 0;
}

// ---- the parent: child processes, their times and peak memory ----

struct Row {
  std::string What;
  double Seconds = 0;
  double PeakMiB = 0;
};

// Runs a child `runs` times; the time is the child's own measurement when
// it prints one, else the wall time around the process.
bool Measure(const std::string& what, const std::vector<std::string>& args, int runs, bool childTimes, Row& row,
             std::string* output = nullptr) {
  std::vector<double> times, peaks;
  for (int i = 0; i < runs; ++i) {
    bench::ChildRun run;
    if (!bench::RunChild(args, run)) {
      std::fprintf(stderr, "%s failed\n", what.c_str());
      return false;
    }
    times.push_back(childTimes ? std::atof(run.Output.c_str()) : run.Seconds);
    peaks.push_back(run.PeakMiB);
    if (output) *output = run.Output;
  }
  row = {what, bench::Median(times), bench::Median(peaks)};
  return true;
}

// The rows of bench/run's table ("ROW" and tab-separated cells).
void PrintRow(const std::string& figure, double ours, double reference, const char* target = "-",
              const char* met = "info") {
  std::printf("ROW\t%s\t%.1f\t%.1f\t%.2f\t%s\t%s\n", figure.c_str(), ours, reference, ours / reference, target, met);
}

void PrintRows(double mb, int runs, const Row& wc, const Row& assimp, const Row& ours, const Row& load) {
  const std::string file = std::to_string(static_cast<long>(mb + 0.5)) + " MB, " + std::to_string(runs) + " runs";
  const double ratio = (mb / ours.Seconds) / (mb / assimp.Seconds);
  PrintRow("ASE ReadFile (MB/s, " + file + ") vs assimp ReadFile", mb / ours.Seconds, mb / assimp.Seconds, ">= 3",
           ratio >= 3 ? "yes" : "NO");
  PrintRow("ASE ReadFile (MB/s) vs wc -l", mb / ours.Seconds, mb / wc.Seconds);
  PrintRow("ASE ReadFile peak memory (MiB) vs assimp", ours.PeakMiB, assimp.PeakMiB);
  PrintRow("ASE LoadFromFile with display lists (MB/s) vs assimp ReadFile", mb / load.Seconds, mb / assimp.Seconds);
  PrintRow("ASE LoadFromFile peak memory (MiB) vs assimp", load.PeakMiB, assimp.PeakMiB);
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
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
    else if (a == "--target-mb" && i + 1 < argc) targetMb = std::atoi(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: %s [--file F.ase | --target-mb N] [--runs R]\n", argv[0]);
      return 2;
    }
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
  Row ignored;
  Measure("cat", {"cat", file}, 1, false, ignored);

  Row wc, assimp, ours, load;
  std::string wcOutput;
  if (!Measure("wc -l", {"wc", "-l", file}, runs, false, wc, &wcOutput) ||
      !Measure("assimp ReadFile(path, 0)", {self, "--child", "assimp", file}, runs, true, assimp) ||
      !Measure("vtSceneASE.ReadFile", {self, "--child", "ours", file}, runs, true, ours) ||
      !Measure("vtSceneASE.LoadFromFile (display lists, offscreen GL)", {self, "--child", "load", file}, runs,
               true, load))
    return 1;

  const double mb = bytes / 1e6;
  std::printf("File %s: %ld bytes, %ld lines; medians of %d runs, each in its own process\n\n", file.c_str(), bytes,
              std::atol(wcOutput.c_str()), runs);
  std::printf("| %-54s | %9s | %9s | %13s |\n", "what", "seconds", "MB/s", "peak RSS MiB");
  std::printf("|%s|%s|%s|%s|\n", std::string(56, '-').c_str(), std::string(11, '-').c_str(),
              std::string(11, '-').c_str(), std::string(15, '-').c_str());
  for (const Row* r : {&wc, &assimp, &ours, &load})
    std::printf("| %-54s | %9.4f | %9.1f | %13.1f |\n", r->What.c_str(), r->Seconds, mb / r->Seconds, r->PeakMiB);
  const double ratio = assimp.Seconds / ours.Seconds;
  std::printf("\nReadFile throughput / assimp: %.2f (target >= 3): %s\n", ratio, ratio >= 3 ? "met" : "NOT met");
  std::printf("ReadFile peak memory / assimp: %.2f (target <= 1): %s\n", ours.PeakMiB / assimp.PeakMiB,
              ours.PeakMiB <= assimp.PeakMiB ? "met" : "NOT met");
  PrintRows(mb, runs, wc, assimp, ours, load);
  return 0;
}
