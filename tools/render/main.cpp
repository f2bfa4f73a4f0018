// vortane-render: draws the frames the player shows at chosen demo times,
// offscreen with the player's own demo system, and hands them to a sink:
// PNG pictures of single times, a PNG sequence at a frame rate, or an
// encoded video with the demo's music.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/vtScopeEndU.h"
#include "platform/MessageBox.h"
#include "platform/OffscreenGL.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtStartU.h"
#include "tools/render/AudioCapture.h"
#include "tools/render/FrameSink.h"
#include "tools/render/Framing.h"
#include "tools/render/Progress.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/VideoSink.h"

namespace fs = std::filesystem;

namespace {

// Set by SIGINT or SIGTERM: the render stops after the frame being drawn
// and finishes its output.
volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) { gStopSignal = signal; }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Message boxes would wait for a user: print them instead.
void MessagesToStderr() {
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall& call) {
    std::string text = call.Text;
    for (char& c : text)
      if (c == '\r') c = '\n';
    std::cerr << call.Caption << ": " << text << std::endl;
    return call.Buttons == platform::MsgButtons::YesNo ? platform::MsgAnswer::Yes : platform::MsgAnswer::Ok;
  });
}

int Fail(const std::string& message) {
  std::cerr << "vortane-render: " << message << std::endl;
  return 1;
}

int Refuse(const std::string& message) {
  std::cerr << "vortane-render: " << message << std::endl;
  return 2;
}

// The demo times of the frames: the --at times, or from --from to --to
// (both included) at --fps.
std::vector<float> FrameTimes(const RenderOptions& options, double to) {
  std::vector<float> times;
  for (long ms : options.At) times.push_back(static_cast<float>(ms));
  for (long i = 0; options.Fps > 0; ++i) {
    const double t = options.From + static_cast<double>(i) * 1000.0 / options.Fps;
    if (t > to + 1e-6) break;
    times.push_back(static_cast<float>(t));
  }
  return times;
}

std::vector<std::string> PngNames(const RenderOptions& options, size_t count) {
  std::vector<std::string> names;
  const std::string dir = options.OutDir + "/";
  for (long ms : options.At) names.push_back(dir + "at_" + std::to_string(ms) + ".png");
  for (size_t i = 0; options.Fps > 0 && i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06zu.png", i);
    names.push_back(dir + name);
  }
  return names;
}

// The frame_*.png files of an earlier sequence in dir.
std::vector<fs::path> SequenceFiles(const std::string& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("frame_", 0) == 0 && entry.path().extension() == ".png") files.push_back(entry.path());
  }
  return files;
}

// An earlier sequence would mix into the new one: refused before anything
// is drawn, unless --force, which removes it once the demo has loaded.
std::string OldSequenceRefusal(const RenderOptions& options) {
  if (options.Fps == 0 || options.Force) return "";
  const size_t count = SequenceFiles(options.OutDir).size();
  if (count == 0) return "";
  return options.OutDir + " already holds " + std::to_string(count) +
         " frame_*.png files of an earlier run; remove them or give --force";
}

bool RemoveOldSequence(const std::string& dir, std::string& error) {
  for (const fs::path& file : SequenceFiles(dir)) {
    std::error_code ec;
    if (!fs::remove(file, ec)) return error = "cannot remove " + file.string() + ": " + ec.message(), false;
  }
  return true;
}

// The last time of the sequence: --to, clamped once to the demo's end.
double LastTime(const RenderOptions& options, float endTime) {
  if (!options.HasTo) return endTime;
  if (endTime >= 0 && options.To > endTime) {
    std::cerr << "vortane-render: --to " << options.To << " is past the demo's end; the frames stop at " << endTime
              << " ms" << std::endl;
    return endTime;
  }
  return options.To;
}

// Draws each time, frames it and hands it to the sink. Returns how many
// frames the sink took; stops early on a stop signal or a sink failure.
long RenderFrames(vtDemoSystem& demo, platform::OffscreenGL& gl, const Framer& framer,
                  const std::vector<float>& times, FrameSink& sink) {
  Progress progress(static_cast<long>(times.size()), std::cerr, ::isatty(STDERR_FILENO) == 1);
  const bool showProgress = times.size() > 1;
  long done = 0;
  std::vector<std::uint8_t> drawn;
  for (float time : times) {
    if (gStopSignal) break;
    demo.SetManualTime(time);
    if (!demo.DrawFrame())
      std::cerr << "vortane-render: " << time << " ms is past the demo's end; the picture is the last one drawn"
                << std::endl;
    gl.Finish();
    gl.ReadPixelsBgra(drawn);
    Picture picture = sink.Spare();
    framer.Compose(drawn, PixelOrder::Bgra, picture);
    if (!sink.Take(std::move(picture))) break;
    ++done;
    if (showProgress) progress.Update(done);
  }
  if (showProgress) progress.Finish(done);
  return done;
}

// The demo's music file, or "" with the reason on stderr.
std::string MusicFile(const vtDemoSystem& demo, const char* withoutMusic) {
  const std::string music = demo.Music->Loaded ? demo.Music->FileName : std::string();
  if (music.empty() && !demo.Music->Failure.empty())
    std::cerr << "vortane-render: the script names music " << demo.Music->Named
              << " but it cannot be played: " << demo.Music->Failure << std::endl;
  else if (music.empty())
    std::cerr << "vortane-render: the demo has no music; " << withoutMusic << std::endl;
  return music;
}

int WriteAudio(const vtDemoSystem& demo, const RenderOptions& options, long frames) {
  const std::string music = MusicFile(demo, "the sound track is silence");
  std::string error;
  if (!WriteCapturedAudio(music, options.From, frames, options.Fps, options.AudioFile, error)) return Fail(error);
  return 0;
}

std::unique_ptr<FrameSink> MakeSink(const vtDemoSystem& demo, const RenderOptions& options, int width, int height,
                                    size_t frames) {
  if (options.VideoFile.empty()) return std::make_unique<PngSink>(PngNames(options, frames));
  platform::VideoSettings settings;
  settings.Width = width;
  settings.Height = height;
  settings.Fps = options.Fps;
  settings.Quality = options.Quality;
  const std::string music = MusicFile(demo, "the video has no sound");
  return std::make_unique<VideoSink>(options.VideoFile, settings, SpanSound::Open(music, options.From));
}

// Refusals that need no demo: earlier output that would be overwritten.
std::string OutputRefusal(const RenderOptions& options) {
  if (!options.VideoFile.empty() && !options.Force && fs::exists(options.VideoFile))
    return options.VideoFile + " exists; give --force to replace it";
  return OldSequenceRefusal(options);
}

// The demo's folder is the working directory, as for the player; the
// output paths stay where the command was given.
bool EnterDemo(RenderOptions& options, std::string& error) {
  if (options.DemoDir.empty()) return true;
  options.OutDir = fs::absolute(options.OutDir).string();
  if (!options.AudioFile.empty()) options.AudioFile = fs::absolute(options.AudioFile).string();
  if (!options.VideoFile.empty()) options.VideoFile = fs::absolute(options.VideoFile).string();
  return EnterDemoFolder(options.DemoDir, options.Script, error);
}

bool LoadDemo(const RenderOptions& options, std::string& error) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);  // never play the music aloud
  MessagesToStderr();
  CreateProgramObjects();
  DemoSystem = std::make_unique<vtDemoSystem>();
  if (DemoSystem->LoadScript(options.Script)) return true;
  error = (DemoSystem->ScriptError.empty() ? "cannot open the script " : "cannot read the script ") + options.Script;
  return false;
}

// Draws the frames into the sink the options ask for; the exit status.
int Render(vtDemoSystem& demo, const RenderOptions& options, int width, int height, const std::vector<float>& times) {
  std::string error;
  if (options.VideoFile.empty()) {
    std::error_code ec;
    fs::create_directories(options.OutDir, ec);
    if (options.Fps > 0 && !RemoveOldSequence(options.OutDir, error)) return Fail(error);
  }
  const Framer framer(width, height, kStartupAspect, options.Supersample);
  platform::OffscreenGL gl(framer.DrawWidth(), framer.DrawHeight());
  if (!gl.Ok()) return Fail("no offscreen OpenGL context: " + gl.Error());
  // The items' display lists go while their context is there: the demo
  // itself lives on until the program ends.
  const auto releaseItems = OnScopeEnd([&demo] { demo.Items.clear(); });
  ActivateGlState(framer.DrawWidth(), framer.DrawHeight());
  demo.SetManualTime(0);
  demo.Init();
  demo.Music->Stop();  // the sinks decode the music themselves; nothing plays
  demo.ShowTimeline = options.Timeline;
  CatchStopSignals();
  std::unique_ptr<FrameSink> sink = MakeSink(demo, options, width, height, times.size());
  if (!sink->Error().empty()) return Fail(sink->Error());
  const long done = RenderFrames(demo, gl, framer, times, *sink);
  if (done < static_cast<long>(times.size()) && !gStopSignal) return Fail(sink->Error());
  // Stopped before the first frame: no output at all rather than an empty one.
  if (done > 0 && !sink->Finish()) return Fail(sink->Error());
  if (!options.AudioFile.empty()) {
    if (const int status = WriteAudio(demo, options, done)) return status;
  }
  return gStopSignal ? 128 + gStopSignal : 0;
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseRenderOptions(argc, argv, options, error)) {
    std::cerr << "vortane-render: " << error << "\n\n" << kRenderUsage;
    return 2;
  }
  if (options.Help) {
    std::cout << kRenderUsage;
    return 0;
  }
  const std::string refusal = OutputRefusal(options);
  if (!refusal.empty()) return Refuse(refusal);
  if (!EnterDemo(options, error) || !LoadDemo(options, error)) return Fail(error);
  vtDemoSystem& demo = *DemoSystem;
  const int width = options.Width > 0 ? options.Width : demo.Config->Width;
  const int height = options.Height > 0 ? options.Height : demo.Config->Height;
  if (!options.VideoFile.empty() && (width % 2 != 0 || height % 2 != 0))
    return Refuse("the script's window size is odd; a video needs an even --size");
  const std::vector<float> times = FrameTimes(options, LastTime(options, demo.DemoEndTime));
  if (times.empty()) return Fail("no frames to render: the span is empty (give --to?)");
  return Render(demo, options, width, height, times);
}
