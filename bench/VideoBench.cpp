// Video export: the sample demo rendered and encoded (H.264 at the default
// quality, on the encoder's own thread) against rendering alone, frames
// read back and dropped; supersampling 2x against 1x; and the PNG writer
// against stb's on a rendered 800x600 frame. Wall time: the point of the
// encoder thread is that drawing and encoding overlap. Each measurement
// runs in a child process of its own, with a fresh demo and context.
#include <stb/stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "bench/DemoSetup.h"
#include "platform/PngWriter.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtStartU.h"
#include "tools/render/AudioCapture.h"
#include "tools/render/Framing.h"
#include "tools/render/VideoSink.h"

namespace bench {
namespace {

struct VideoOptions {
  int Width = 1280;
  int Height = 720;
  int Fps = 60;
  double Seconds = 10;
  double FromMs = 20000;
  int PngRuns = 20;
  std::string Out = "/tmp/vortane-bench-video.mp4";
};

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Draws the span at the options' rate as vortane-render does; each framed
// picture goes to sink (nullptr: dropped). Returns the wall seconds.
double RenderSpan(const VideoOptions& o, int supersample, FrameSink* sink) {
  const Framer framer(o.Width, o.Height, kStartupAspect, supersample);
  std::unique_ptr<platform::OffscreenGL> gl = OpenContext(framer.DrawWidth(), framer.DrawHeight());
  InitDemo(false);
  const long frames = static_cast<long>(o.Seconds * o.Fps) + 1;
  std::vector<std::uint8_t> drawn;
  Picture dropped;
  const double start = WallSeconds();
  for (long i = 0; i < frames; ++i) {
    DemoSystem->SetManualTime(static_cast<float>(o.FromMs + i * 1000.0 / o.Fps));
    DemoSystem->DrawFrame();
    gl->Finish();
    gl->ReadPixelsBgra(drawn);
    Picture picture = sink ? sink->Spare() : std::move(dropped);
    framer.Compose(drawn, PixelOrder::Bgra, picture);
    if (!sink)
      dropped = std::move(picture);
    else if (!sink->Take(std::move(picture)))
      return -1;
  }
  if (sink && !sink->Finish()) return -1;
  return WallSeconds() - start;
}

double EncodeSpan(const VideoOptions& o) {
  platform::VideoSettings settings;
  settings.Width = o.Width;
  settings.Height = o.Height;
  settings.Fps = o.Fps;
  const std::string music = DemoSystem->Music->Loaded ? DemoSystem->Music->FileName : "";
  VideoSink sink(o.Out, settings, SpanSound::Open(music, o.FromMs));
  if (!sink.Error().empty()) {
    std::fprintf(stderr, "video: %s\n", sink.Error().c_str());
    return -1;
  }
  const double seconds = RenderSpan(o, 1, &sink);
  std::remove(o.Out.c_str());
  return seconds;
}

// The old writer: stb's PNG at its default level, rows flipped first.
bool WriteStbPng(const std::string& path, const Picture& p) {
  const size_t row = static_cast<size_t>(p.Width) * 4;
  std::vector<std::uint8_t> flipped(p.Rgba.size());
  for (int y = 0; y < p.Height; ++y) std::memcpy(&flipped[y * row], &p.Rgba[(p.Height - 1 - y) * row], row);
  return stbi_write_png(path.c_str(), p.Width, p.Height, 4, flipped.data(), static_cast<int>(row)) != 0;
}

// Seconds per picture of write(picture), over the runs.
template <typename Write>
double PerPicture(int runs, Write write) {
  const double start = WallSeconds();
  for (int i = 0; i < runs; ++i)
    if (!write()) return -1;
  return (WallSeconds() - start) / runs;
}

void PngRow(const VideoOptions& o) {
  const Framer framer(800, 600, kStartupAspect, 1);
  std::unique_ptr<platform::OffscreenGL> gl = OpenContext(800, 600);
  InitDemo(false);
  DemoSystem->SetManualTime(static_cast<float>(o.FromMs));
  DemoSystem->DrawFrame();
  gl->Finish();
  const Picture picture = framer.Compose(gl->ReadPixels());
  const std::string path = o.Out + ".png";
  std::string error;
  const double ours = PerPicture(o.PngRuns, [&] {
    return platform::WritePngBottomUp(path, picture.Width, picture.Height, picture.Rgba.data(), error);
  });
  const double stb = PerPicture(o.PngRuns, [&] { return WriteStbPng(path, picture); });
  std::remove(path.c_str());
  PrintRow({"PNG frame 800x600, libpng level 1 vs stb (ms per frame)", Format("%.1f", ours * 1000),
            Format("%.1f", stb * 1000), Format("%.1fx", stb / ours), ">= 3x", MetText(stb >= 3 * ours)});
}

bool ParseVideoOptions(int argc, char** argv, VideoOptions& o) {
  for (int i = 0; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--seconds") o.Seconds = std::atof(argv[i + 1]);
    else if (a == "--png-runs") o.PngRuns = std::atoi(argv[i + 1]);
    else if (a == "--out") o.Out = argv[i + 1];
    else return false;
  }
  return o.Seconds > 0 && o.PngRuns > 0;
}

}  // namespace

// One measurement, in this process: prints "seconds=S" (or the PNG row).
int RunVideoChild(int argc, char** argv) {
  VideoOptions o;
  if (argc < 1 || !ParseVideoOptions(argc - 1, argv + 1, o)) return 2;
  if (!PrepareProcess() || !LoadSampleScript()) return 1;
  const std::string mode = argv[0];
  if (mode == "png") return PngRow(o), 0;
  const double seconds = mode == "encode" ? EncodeSpan(o) : RenderSpan(o, mode == "supersample" ? 2 : 1, nullptr);
  if (seconds <= 0) return 1;
  std::printf("seconds=%.3f\n", seconds);
  return 0;
}

int RunVideoBench(int argc, char** argv) {
  VideoOptions o;
  if (!ParseVideoOptions(argc, argv, o)) {
    std::fprintf(stderr, "usage: vortane-bench video [--seconds S] [--png-runs N] [--out FILE.mp4]\n");
    return 2;
  }
  // Wall and CPU seconds (every thread) of one measurement in a child.
  struct Measured {
    double Wall = -1, Cpu = 0;
  };
  auto measure = [&](const char* mode) {
    std::vector<std::string> args = {SelfPath(), "video-child", mode};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    ChildRun run;
    if (!RunChild(args, run)) return Measured{};
    if (std::string(mode) == "png") std::fputs(run.Output.c_str(), stdout);
    return Measured{Field(run.Output, "seconds", -1), run.CpuSeconds};
  };
  const Measured alone = measure("drop");
  const Measured encoded = measure("encode");
  const Measured supersampled = measure("supersample");
  measure("png");
  if (alone.Wall <= 0 || encoded.Wall <= 0 || supersampled.Wall <= 0) return 1;
  const std::string span = Format("%.0f s", o.Seconds) + " at " + std::to_string(o.Width) + "x" +
                           std::to_string(o.Height) + " " + std::to_string(o.Fps) + " fps";
  auto seconds = [](const Measured& m) { return Format("%.1f", m.Wall) + Format(" (CPU %.1f)", m.Cpu); };
  PrintRow({"Video, render + H.264 encode vs render + readback alone (wall s, process CPU s), " + span,
            seconds(encoded), seconds(alone), Format("%+.0f%%", (encoded.Wall / alone.Wall - 1) * 100), "<= +30%",
            MetText(encoded.Wall <= 1.3 * alone.Wall)});
  PrintRow({"Supersample 2x vs 1x, render + readback (wall s, process CPU s), " + span, seconds(supersampled),
            seconds(alone), Format("%.2fx", supersampled.Wall / alone.Wall), "-", "info"});
  return 0;
}

}  // namespace bench
