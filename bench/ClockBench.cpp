// Music clock: the demo system's clock on the sample demo's music (which
// drives its time), read every millisecond on SDL's dummy audio driver.
// Its readings against the monotonic clock are fitted with a straight
// line; the deviation from it and the backward steps are reported, side
// by side with the system millisecond timer read at the same instants.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "bench/DemoSetup.h"
#include "platform/Clock.h"
#include "runtime/vtDSysU.h"

namespace bench {
namespace {

struct Samples {
  std::vector<double> At;     // ms on the monotonic clock
  std::vector<double> Music;  // the demo clock, ms
  std::vector<double> Timer;  // the system timer, ms
};

struct LineFit {
  double RmsMs = 0;
  double MaxMs = 0;
  double Slope = 0;
  long BackwardSteps = 0;
};

LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  LineFit fit;
  fit.Slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  const double intercept = (sy - fit.Slope * sx) / n;
  double squares = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double d = y[i] - (intercept + fit.Slope * x[i]);
    squares += d * d;
    fit.MaxMs = std::max(fit.MaxMs, std::abs(d));
    if (i > 0 && y[i] < y[i - 1]) ++fit.BackwardSteps;
  }
  fit.RmsMs = std::sqrt(squares / n);
  return fit;
}

// Reads both clocks every millisecond for `seconds`, from the first reading
// at which the music has started moving.
Samples Sample(double seconds) {
  Samples s;
  vtDemoSystem& demo = *DemoSystem;
  const auto begin = Clock::now();
  demo.UpdateClock();
  const float first = demo.CurrentTime;
  while (demo.CurrentTime == first && SecondsSince(begin) < 2.0) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
    demo.UpdateClock();
  }
  const auto start = Clock::now();
  auto next = start;
  while (SecondsSince(start) < seconds) {
    next += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(next);
    demo.UpdateClock();
    s.At.push_back(SecondsSince(start) * 1000.0);
    s.Music.push_back(demo.CurrentTime);
    s.Timer.push_back(static_cast<double>(platform::TimeGetTime()));
  }
  return s;
}

// Medians of the windows' figures; backward steps are added up.
LineFit MedianFit(const std::vector<LineFit>& fits) {
  std::vector<double> rms, max, slope;
  LineFit median;
  for (const LineFit& f : fits) {
    rms.push_back(f.RmsMs);
    max.push_back(f.MaxMs);
    slope.push_back(f.Slope);
    median.BackwardSteps += f.BackwardSteps;
  }
  median.RmsMs = Median(rms);
  median.MaxMs = Median(max);
  median.Slope = Median(slope);
  return median;
}

void PrintClockRows(const LineFit& music, const LineFit& timer, size_t readings, int windows) {
  const std::string what = "Music clock, dummy driver, " + std::to_string(windows) + " x " +
                           std::to_string(readings) + " readings 1 ms apart: ";
  PrintRow({what + "RMS from a line (ms) vs system timer", Format("%.3f", music.RmsMs), Format("%.3f", timer.RmsMs),
            Format("%.2f", music.RmsMs / timer.RmsMs), "< 1", MetText(music.RmsMs < 1)});
  PrintRow({"Music clock: largest deviation from the line (ms) vs system timer", Format("%.3f", music.MaxMs),
            Format("%.3f", timer.MaxMs), Format("%.2f", music.MaxMs / timer.MaxMs)});
  PrintRow({"Music clock: backward steps (all windows) vs system timer", std::to_string(music.BackwardSteps),
            std::to_string(timer.BackwardSteps), "-", "0", MetText(music.BackwardSteps == 0)});
  PrintRow({"Music clock: rate (demo ms per real ms) vs system timer", Format("%.5f", music.Slope),
            Format("%.5f", timer.Slope), Format("%.5f", music.Slope / timer.Slope)});
}

// The readings as CSV (real ms, music clock ms, system timer ms), to look at.
void Dump(const Samples& s, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return;
  for (size_t i = 0; i < s.At.size(); ++i) std::fprintf(f, "%.3f,%.3f,%.0f\n", s.At[i], s.Music[i], s.Timer[i]);
  std::fclose(f);
}

}  // namespace

int RunClockBench(int argc, char** argv) {
  double seconds = 5;
  int windows = 1;
  std::string dump;
  for (int i = 0; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (a == "--windows") windows = std::max(1, std::atoi(argv[i + 1]));
    else if (a == "--dump") dump = argv[i + 1];
  }
  if (!PrepareProcess() || !LoadSampleScript()) return 1;
  if (DemoSystem->ClockSource() != vtClockSource::Music) {
    std::fprintf(stderr, "the sample demo's clock is not the music (no audio driver?)\n");
    return 1;
  }
  DemoSystem->Music->Play();
  std::vector<LineFit> music, timer;
  size_t readings = 0;
  for (int w = 0; w < windows; ++w) {  // one after the other while the music plays on
    const Samples s = Sample(seconds);
    if (!dump.empty() && w == 0) Dump(s, dump);
    music.push_back(FitLine(s.At, s.Music));
    timer.push_back(FitLine(s.At, s.Timer));
    readings = s.At.size();
    std::fprintf(stderr, "window %d: RMS %.3f ms, max %.3f ms, %ld backward, rate %.5f\n", w, music.back().RmsMs,
                 music.back().MaxMs, music.back().BackwardSteps, music.back().Slope);
  }
  PrintClockRows(MedianFit(music), MedianFit(timer), readings, windows);
  return 0;
}

}  // namespace bench
