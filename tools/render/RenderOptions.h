// Command line of vortane-render.
#pragma once

#include <string>
#include <vector>

struct RenderOptions {
  std::string DemoDir;  // the demo's folder; "" renders the working directory's demo
  std::string Script = "data\\tunnel_test.vds";
  std::string OutDir = ".";
  int Width = 0;  // 0: the script's window size
  int Height = 0;
  bool Timeline = false;
  bool Help = false;
  // Either single times ...
  std::vector<long> At;
  // ... or a fixed frame rate over a span (To < 0: the script's end time).
  int Fps = 0;
  double From = 0;
  double To = -1;
  bool HasTo = false;
  // With --fps: also write the music of exactly the captured span here.
  std::string AudioFile;
  // Each frame drawn at this many times the size, then scaled down (1..4).
  int Supersample = 1;
  // Existing output (earlier frame_*.png files, the video file) is
  // replaced, not refused.
  bool Force = false;
  // An encoded video of the frames and the music instead of pictures
  // (.mp4 or .webm); Fps defaults to 60.
  std::string VideoFile;
  int Quality = 18;  // constant quality, 1 (best) to 51
  bool HasQuality = false;
};

// Parses the arguments; false with a message in error when they are wrong.
bool ParseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error);

extern const char* const kRenderUsage;
