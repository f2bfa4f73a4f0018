// Progress of a long render on stderr: one line updated in place on a
// terminal, a plain line every few seconds otherwise. Main thread.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

// "frame 120/600 (20%), 45.3 fps, 0:10 left" after done of total frames
// took the given seconds.
std::string ProgressLine(long done, long total, double seconds);

class Progress {
 public:
  Progress(long total, std::ostream& out, bool terminal);
  // After each frame.
  void Update(long done);
  // The last line, once the frames are done or the render stopped.
  void Finish(long done);

 private:
  double Seconds() const;

  long total_;
  std::ostream& out_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  double lastShown_ = 0;
};
