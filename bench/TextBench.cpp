// Text reader: lines per second of vtText reading a large file and testing
// every line for keys the way the ASE reader does, against `wc -l` on the
// same file (each run of either a process of its own, the file in the page
// cache for both).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "core/vtTextU.h"

namespace bench {
namespace {

// The keys an ASE geometry object's lines are tested for, most frequent first.
constexpr std::string_view kKeys[] = {"*MESH_VERTEX ", "*MESH_FACE ", "*MESH_TVERT ", "*MESH_TFACE ",
                                      "*MESH_VERTEXNORMAL", "*MESH_FACENORMAL", "}"};

struct ReadResult {
  double Seconds = 0;
  double Cpu = 0;
  long Lines = 0;
  long Hits = 0;
};

bool ReadWithKeys(const std::string& path, ReadResult& result) {
  vtText reader("ase");
  const auto start = Clock::now();
  const double cpuStart = ProcessCpuSeconds();
  if (!reader.Open(path)) return false;
  long hits = 0;
  while (!reader.Eof()) {
    if (!reader.ReadLine()) continue;
    for (std::string_view key : kKeys)
      if (reader.Contains(key)) {
        ++hits;
        break;
      }
  }
  result.Lines = reader.LineNumber;
  reader.Close();
  result.Seconds = SecondsSince(start);
  result.Cpu = ProcessCpuSeconds() - cpuStart;
  result.Hits = hits;
  return true;
}

// One read in a process of its own ("text --child F"): its seconds, lines,
// CPU seconds and key hits on standard output.
int RunTextChild(const std::string& path) {
  ReadResult result;
  if (!ReadWithKeys(path, result)) return 1;
  std::printf("%.6f %ld %.6f %ld\n", result.Seconds, result.Lines, result.Cpu, result.Hits);
  return 0;
}

// Each read runs in a process of its own, as `wc -l` does, taking turns
// with it: a process that happens to run slowly for its whole life (this
// machine has such) then costs one run of each side, not all of one.
bool ReadInChild(const std::string& path, ReadResult& result) {
  ChildRun run;
  if (!RunChild({SelfPath(), "text", "--child", path}, run)) return false;
  return std::sscanf(run.Output.c_str(), "%lf %ld %lf %ld", &result.Seconds, &result.Lines, &result.Cpu,
                     &result.Hits) == 4;
}

}  // namespace

int RunTextBench(int argc, char** argv) {
  for (int i = 0; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--child") return RunTextChild(argv[i + 1]);
  std::string path;
  int runs = 5;
  FileAndRuns(argc, argv, path, runs);
  if (FileSize(path) <= 0) {
    std::fprintf(stderr, "usage: text --file F [--runs N]\n");
    return 2;
  }
  ChildRun warm;
  RunChild({"cat", path}, warm);
  std::vector<double> ours, wc, oursCpu, wcCpu;
  ReadResult result;
  long wcLines = 0;
  for (int r = 0; r < runs; ++r) {
    if (!ReadInChild(path, result)) return 1;
    ours.push_back(static_cast<double>(result.Lines) / result.Seconds);
    oursCpu.push_back(result.Cpu);
    ChildRun run;
    if (!RunChild({"wc", "-l", path}, run)) return 1;
    wcLines = std::atol(run.Output.c_str());
    wc.push_back(static_cast<double>(wcLines) / run.Seconds);
    wcCpu.push_back(run.CpuSeconds);
  }
  std::fprintf(stderr, "text: %ld lines read (wc -l: %ld), %ld key hits\n", result.Lines, wcLines, result.Hits);
  const double ratio = Median(ours) / Median(wc);
  auto cell = [](const std::vector<double>& rates, const std::vector<double>& cpus, long lines) {
    return Format("%.2f", Median(rates) / 1e6) + Format(" (%.3f s", lines / Median(rates)) +
           Format(", CPU %.3f s)", Median(cpus));
  };
  auto millions = [](std::vector<double> rates) {
    for (double& r : rates) r /= 1e6;
    return Spread(rates, "%.1f");
  };
  PrintRow({"Text reader: vtText lines/s with key tests (M, wall and CPU s; medians of " + std::to_string(runs) +
                " runs) vs wc -l",
            cell(ours, oursCpu, result.Lines), cell(wc, wcCpu, wcLines), Format("%.2f", ratio), ">= 0.33",
            MetText(ratio >= 1.0 / 3.0)});
  PrintRow({"  spread of the runs (M lines/s, slowest - fastest)", millions(ours), millions(wc), "-"});
  return 0;
}

}  // namespace bench
