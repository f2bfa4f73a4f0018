#include "tools/render/Progress.h"

#include <cstdio>

namespace {

constexpr double kTerminalInterval = 0.25;  // s between redraws of the line in place
constexpr double kLogInterval = 5.0;        // s between plain lines

}  // namespace

std::string ProgressLine(long done, long total, double seconds) {
  const double fps = seconds > 0 ? done / seconds : 0;
  const long percent = total > 0 ? done * 100 / total : 100;
  char line[128];
  if (fps > 0) {
    const long left = static_cast<long>((total - done) / fps + 0.5);
    std::snprintf(line, sizeof line, "frame %ld/%ld (%ld%%), %.1f fps, %ld:%02ld left", done, total, percent, fps,
                  left / 60, left % 60);
  } else {
    std::snprintf(line, sizeof line, "frame %ld/%ld (%ld%%)", done, total, percent);
  }
  return line;
}

Progress::Progress(long total, std::ostream& out, bool terminal)
    : total_(total), out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

double Progress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Update(long done) {
  const double now = Seconds();
  if (now - lastShown_ < (terminal_ ? kTerminalInterval : kLogInterval)) return;
  lastShown_ = now;
  if (terminal_)
    out_ << "\r" << ProgressLine(done, total_, now) << "\033[K" << std::flush;
  else
    out_ << "vortane-render: " << ProgressLine(done, total_, now) << std::endl;
}

void Progress::Finish(long done) {
  const double seconds = Seconds();
  char line[96];
  std::snprintf(line, sizeof line, "%ld of %ld frames in %.1f s", done, total_, seconds);
  if (terminal_)
    out_ << "\r" << line << "\033[K" << std::endl;
  else
    out_ << "vortane-render: " << line << std::endl;
}
