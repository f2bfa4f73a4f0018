#include "bench/BenchSupport.h"

#include <poll.h>
#include <sys/inotify.h>
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

namespace {

// An inotify watch for one file's being written and closed.
class FileWriteWatch {
 public:
  explicit FileWriteWatch(const std::string& path) {
    if (path.empty()) return;
    const size_t slash = path.rfind('/');
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE) < 0) close(fd_), fd_ = -1;
  }
  ~FileWriteWatch() {
    if (fd_ >= 0) close(fd_);
  }
  int Fd() const { return fd_; }
  // Reads the events waiting; true when one is the file's.
  bool Written() {
    alignas(inotify_event) char events[4096];
    bool written = false;
    ssize_t n;
    while ((n = read(fd_, events, sizeof events)) > 0)
      for (char* p = events; p < events + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        written |= event->len > 0 && name_ == event->name;
        p += sizeof(inotify_event) + event->len;
      }
    return written;
  }

 private:
  int fd_ = -1;
  std::string name_;
};

}  // namespace

bool RunChild(const std::vector<std::string>& args, ChildRun& run, const std::string& watchFile) {
  FileWriteWatch watch(watchFile);
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
  pollfd waits[2] = {{fds[0], POLLIN, 0}, {watch.Fd(), POLLIN, 0}};
  for (bool open = true; open;) {
    if (poll(waits, watch.Fd() >= 0 ? 2 : 1, -1) < 0) continue;
    if (waits[1].revents && watch.Written() && run.FileSeconds == 0) run.FileSeconds = SecondsSince(start);
    if (waits[0].revents) {
      char buffer[4096];
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n > 0) run.Output.append(buffer, static_cast<size_t>(n));
      open = n > 0;
    }
  }
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.Seconds = SecondsSince(start);
  if (watch.Fd() >= 0 && watch.Written() && run.FileSeconds == 0) run.FileSeconds = run.Seconds;
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
