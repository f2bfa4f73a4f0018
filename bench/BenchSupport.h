// What every benchmark program shares: statistics, child processes with
// their peak memory, CPU clocks and the rows of the one result table.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start);
double ProcessCpuSeconds();  // every thread of this process
double ThreadCpuSeconds();   // the calling thread only

double Median(std::vector<double> values);
// "min - max" of the values, each with the format.
std::string Spread(const std::vector<double>& values, const char* format);
// The value below which `share` (0..1) of the values lie (nearest rank).
double Percentile(std::vector<double> values, double share);

struct ChildRun {
  double Seconds = 0;  // wall time around the whole process
  double PeakMiB = 0;  // its peak resident memory
  double CpuSeconds = 0;  // its user and system time, every thread
  std::string Output;  // its standard output
  // With a file to watch: from the start to the first time the child
  // closed that file after writing it (0: it never did).
  double FileSeconds = 0;
};

// Runs args (args[0] looked up in PATH) in a new process and waits for it;
// false when it could not run or did not exit with 0. With watchFile (a
// path whose folder exists) it also notes when the child wrote that file.
bool RunChild(const std::vector<std::string>& args, ChildRun& run, const std::string& watchFile = {});

// The path of the running program, for running itself as a child.
std::string SelfPath();
long FileSize(const std::string& path);
// Lines of a file as `wc -l` counts them (line ends).
long CountLineEnds(const std::string& path);

// "--file F" and "--runs N" (at least 1) from a benchmark's arguments.
void FileAndRuns(int argc, char** argv, std::string& path, int& runs);

// The value of "key=value" in text (one pair per line), or fallback.
double Field(const std::string& text, const std::string& key, double fallback = 0);

// One row of the result table. bench/run collects the lines starting with
// "ROW" from every benchmark and prints them as one table.
struct Row {
  std::string Figure;
  std::string Ours;
  std::string Reference;
  std::string Ratio;
  std::string Target = "-";
  std::string Met = "info";
};
void PrintRow(const Row& row);

std::string Format(const char* format, double value);
std::string MetText(bool met);

}  // namespace bench
