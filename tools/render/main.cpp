// vortane-render: writes the frames the player shows at chosen demo times
// as PNG pictures, drawn offscreen with the player's own demo system.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/OffscreenGL.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtStartU.h"
#include "tools/render/AudioCapture.h"
#include "tools/render/RenderOptions.h"

namespace {

struct Frame {
  float Time;  // ms of demo time
  std::string File;
};

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

std::vector<Frame> FramesToRender(const RenderOptions& options, float endTime) {
  std::vector<Frame> frames;
  const std::string dir = options.OutDir + "/";
  for (long ms : options.At) frames.push_back({static_cast<float>(ms), dir + "at_" + std::to_string(ms) + ".png"});
  if (options.Fps > 0) {
    const double to = options.HasTo ? options.To : endTime;
    for (long i = 0;; ++i) {
      const double t = options.From + static_cast<double>(i) * 1000.0 / options.Fps;
      if (t > to + 1e-6) break;
      char name[32];
      std::snprintf(name, sizeof name, "frame_%06ld.png", i);
      frames.push_back({static_cast<float>(t), dir + name});
    }
  }
  return frames;
}

int Fail(const std::string& message) {
  std::cerr << "vortane-render: " << message << std::endl;
  return 1;
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
  // The demo's folder is the working directory, as for the player; the
  // output paths stay where the command was given.
  if (!options.DemoDir.empty()) {
    options.OutDir = std::filesystem::absolute(options.OutDir).string();
    if (!options.AudioFile.empty()) options.AudioFile = std::filesystem::absolute(options.AudioFile).string();
    if (!EnterDemoFolder(options.DemoDir, options.Script, error)) return Fail(error);
  }
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);  // pictures only: never play the music aloud
  MessagesToStderr();
  CreateProgramObjects();
  DemoSystem = std::make_unique<vtDemoSystem>();
  vtDemoSystem& demo = *DemoSystem;
  if (!demo.LoadScript(options.Script)) {
    if (!demo.ScriptError.empty()) return Fail("cannot read the script " + options.Script);
    return Fail("cannot open the script " + options.Script);
  }
  const int width = options.Width > 0 ? options.Width : demo.Config->Width;
  const int height = options.Height > 0 ? options.Height : demo.Config->Height;
  std::vector<Frame> frames = FramesToRender(options, demo.DemoEndTime);
  if (frames.empty()) return Fail("no frames to render: the span is empty (give --to?)");

  std::error_code ec;
  std::filesystem::create_directories(options.OutDir, ec);
  platform::OffscreenGL gl(width, height);
  if (!gl.Ok()) return Fail("no offscreen OpenGL context: " + gl.Error());
  ActivateGlState(width, height);
  demo.SetManualTime(0);
  demo.Init();
  demo.ShowTimeline = options.Timeline;
  for (const Frame& frame : frames) {
    demo.SetManualTime(frame.Time);
    if (!demo.DrawFrame())
      std::cerr << "vortane-render: " << frame.Time << " ms is past the demo's end; the picture is the last one drawn"
                << std::endl;
    gl.Finish();
    if (!gl.WritePng(frame.File)) return Fail("cannot write " + frame.File);
  }
  if (!options.AudioFile.empty()) {
    const std::string music = demo.Music->Loaded ? demo.Music->FileName : std::string();
    if (music.empty() && !demo.Music->Failure.empty())
      std::cerr << "vortane-render: the script names music " << demo.Music->Named
                << " but it cannot be played: " << demo.Music->Failure << std::endl;
    else if (music.empty())
      std::cerr << "vortane-render: the demo has no music; the sound track is silence" << std::endl;
    if (!WriteCapturedAudio(music, options.From, static_cast<long>(frames.size()), options.Fps, options.AudioFile,
                            error))
      return Fail(error);
  }
  return 0;
}
