#include "bench/BenchSupport.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {
double CpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
}  // namespace

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
double ProcessCpuSeconds() { return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }
double ThreadCpuSeconds() { return CpuSeconds(CLOCK_THREAD_CPUTIME_ID); }

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Spread(const std::vector<double>& values, const char* format) {
  if (values.empty()) return "-";
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return Format(format, *low) + " - " + Format(format, *high);
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(share * static_cast<double>(values.size()));
  const size_t index = static_cast<size_t>(std::max(1.0, rank)) - 1;
  return values[std::min(index, values.size() - 1)];
}

bool RunChild(const std::vector<std::string>& args, ChildRun& run) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) run.Output.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.Seconds = SecondsSince(start);
  run.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  run.CpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string SelfPath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

long FileSize(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

long CountLineEnds(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  static char buffer[1 << 16];
  long lines = 0;
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) lines += std::count(buffer, buffer + n, '\n');
  std::fclose(f);
  return lines;
}

void FileAndRuns(int argc, char** argv, std::string& path, int& runs) {
  for (int i = 0; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--file") path = argv[i + 1];
    else if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
  }
}

double Field(const std::string& text, const std::string& key, double fallback) {
  const std::string needle = key + "=";
  size_t at = 0;
  while ((at = text.find(needle, at)) != std::string::npos) {
    if (at == 0 || text[at - 1] == '\n') return std::atof(text.c_str() + at + needle.size());
    at += needle.size();
  }
  return fallback;
}

void PrintRow(const Row& row) {
  std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\n", row.Figure.c_str(), row.Ours.c_str(), row.Reference.c_str(),
              row.Ratio.c_str(), row.Target.c_str(), row.Met.c_str());
  std::fflush(stdout);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string MetText(bool met) { return met ? "yes" : "NO"; }

}  // namespace bench
