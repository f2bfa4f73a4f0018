// Decimal numbers: the reader's conversion (short decimals by hand, the rest
// through fast_float) against the library path alone (the grammar check and
// fast_float's from_chars for every number), on the numbers of an ASE file
// as its vertex, texture-vertex and normal lines write them. The faster of
// the two is the one the reader keeps; the row shows by how much, in CPU
// time (the thread's own, steadier than wall time on a shared machine).
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

// The words of the geometry lines that read as numbers, signs included.
std::vector<std::string> NumbersOf(const std::string& path, size_t most) {
  std::vector<std::string> numbers;
  vtText reader("ase");
  if (!reader.Open(path)) return numbers;
  while (!reader.Eof() && numbers.size() < most) {
    reader.ReadLine();
    if (!reader.Contains("*MESH_VERTEX") && !reader.Contains("*MESH_TVERT")) continue;
    const std::string_view line = reader.Line;
    for (size_t at = line.find(' ', line.find('*')); at < line.size();) {
      const size_t start = line.find_first_not_of(' ', at);
      if (start == std::string_view::npos) break;
      const size_t end = std::min(line.find(' ', start), line.size());
      float value = 0;
      const std::string_view word = line.substr(start, end - start);
      if (word.find('.') != std::string_view::npos && ParseDecimal(word, value)) numbers.emplace_back(word);
      at = end;
    }
  }
  return numbers;
}

struct Timing {
  double Wall = 0;
  double Cpu = 0;
};

template <typename Parse>
Timing TimeParsing(const std::vector<std::string>& numbers, Parse parse, int runs, float& sink) {
  std::vector<double> walls, cpus;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    const double cpuStart = ThreadCpuSeconds();
    for (const std::string& number : numbers) {
      float value = 0;
      parse(number, value);
      sink += value;
    }
    cpus.push_back(ThreadCpuSeconds() - cpuStart);
    walls.push_back(SecondsSince(start));
  }
  return {Median(walls), Median(cpus)};
}

}  // namespace

int RunNumbersBench(int argc, char** argv) {
  std::string path;
  int runs = 5;
  FileAndRuns(argc, argv, path, runs);
  const std::vector<std::string> numbers = NumbersOf(path, 4000000);
  if (numbers.empty()) {
    std::fprintf(stderr, "usage: numbers --file F.ase [--runs N]\n");
    return 2;
  }
  float sink = 0;
  const Timing ours = TimeParsing(numbers, ParseDecimal, runs, sink);
  const Timing library = TimeParsing(numbers, ParseDecimalWithLibrary, runs, sink);
  std::fprintf(stderr, "numbers: %zu, sum %g\n", numbers.size(), sink);
  const double n = static_cast<double>(numbers.size()) / 1e6;
  const double ratio = library.Cpu / ours.Cpu;
  PrintRow({"Decimal numbers of the ASE file (M/s of CPU time, wall s in brackets; " +
                std::to_string(numbers.size()) + " numbers): ParseDecimal, short ones by hand, vs fast_float for all",
            Format("%.1f", n / ours.Cpu) + Format(" (%.3f s)", ours.Wall),
            Format("%.1f", n / library.Cpu) + Format(" (%.3f s)", library.Wall), Format("%.2f", ratio),
            ">= 1 (keeps the faster)", MetText(ratio >= 1.0)});
  return 0;
}

}  // namespace bench
