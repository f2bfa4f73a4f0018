// vortane-bench: the benchmarks of bench/run, one per figure.
//
//   vortane-bench frame [--width W] [--height H] [--step-ms S] [--passes P] [--callgrind]
//   vortane-bench startup [--runs N]
//   vortane-bench clock [--seconds S]
//   vortane-bench textures [--dir D] [--rounds N]
//   vortane-bench text --file F [--runs N]
//   vortane-bench numbers --file F.ase [--runs N]
//   vortane-bench live [--edits N] [--cycles N]
//   vortane-bench video [--seconds S] [--png-runs N] [--out FILE.mp4]
//   vortane-bench gl-info      the offscreen context's renderer and version
//
// Each prints its rows of the result table as "ROW" lines.
#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "bench/Benchmarks.h"
#include "platform/OffscreenGL.h"

namespace {
int PrintGlInfo() {
  platform::OffscreenGL gl(16, 16);
  if (!gl.Ok()) return 1;
  std::printf("GL_RENDERER: %s\nGL_VERSION: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
              reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  char** rest = argv + 2;
  const int count = argc > 2 ? argc - 2 : 0;
  if (what == "frame") return bench::RunFrameBench(count, rest);
  if (what == "startup") return bench::RunStartupBench(count, rest);
  if (what == "startup-child") return bench::RunStartupChild(false);
  if (what == "startup-empty-child") return bench::RunStartupChild(true);
  if (what == "clock") return bench::RunClockBench(count, rest);
  if (what == "textures") return bench::RunTextureBench(count, rest);
  if (what == "text") return bench::RunTextBench(count, rest);
  if (what == "numbers") return bench::RunNumbersBench(count, rest);
  if (what == "live") return bench::RunLiveBench(count, rest);
  if (what == "video") return bench::RunVideoBench(count, rest);
  if (what == "video-child") return bench::RunVideoChild(count, rest);
  if (what == "gl-info") return PrintGlInfo();
  std::fprintf(stderr, "usage: %s frame|startup|clock|textures|text|numbers|live|video|gl-info [options]\n", argv[0]);
  return 2;
}
