#include "tools/render/RenderOptions.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "platform/VideoEncoder.h"

const char* const kRenderUsage =
    "usage: vortane-render [--script PATH] [--out DIR] [--size WxH] [--supersample K] [--timeline]\n"
    "                      --at MS[,MS...] [DEMO]\n"
    "       vortane-render [--script PATH] [--out DIR] [--size WxH] [--supersample K] [--timeline]\n"
    "                      --fps N [--from MS] [--to MS] [--audio FILE.wav] [--force] [DEMO]\n"
    "\n"
    "Renders the frames the player shows at the given demo times, offscreen, from\n"
    "the demo folder DEMO (default: the working directory) as the player does.\n"
    "--script is relative to DEMO; --out and --audio to the working directory.\n"
    "  --script PATH  demo script (default data\\tunnel_test.vds)\n"
    "  --out DIR      folder for the pictures (default: the current folder)\n"
    "  --size WxH     picture size (default: the script's window size); the demo\n"
    "                 keeps its 4:3 aspect, centred between black bars\n"
    "  --supersample K  draw each frame at K times the size (1 to 4) and scale\n"
    "                 it down, for smooth edges (default 1)\n"
    "  --timeline     draw the timeline chart, as the I key does\n"
    "  --at MS,...    write DIR/at_<MS>.png for each time, rendered in this order\n"
    "  --fps N        write DIR/frame_000000.png, ... at N frames per second;\n"
    "                 refused when DIR already holds frame_*.png files\n"
    "  --force        with --fps: remove earlier frame_*.png files from DIR first;\n"
    "                 with --video: replace FILE\n"
    "  --from MS      first time of --fps (default 0)\n"
    "  --to MS        last time of --fps (default and at most: the script's end time)\n"
    "  --audio FILE   with --fps: write the music of exactly the captured span\n"
    "                 as a 16-bit WAV file (silence when the demo has no music)\n"
    "  --video FILE   encode the frames (--fps, default 60) and the music of the\n"
    "                 span into FILE: .mp4 is H.264 with AAC, .webm VP9 with Opus;\n"
    "                 an existing FILE is refused unless --force\n"
    "  --quality Q    with --video: constant quality from 1 (best) to 51\n"
    "                 (default 18)\n"
    "  --help         this text\n";

namespace {

bool ParseLong(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool ParseTime(const std::string& text, long& ms) { return ParseLong(text, ms) && ms >= 0; }

bool ParseTimes(const std::string& text, std::vector<long>& times) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    long ms = 0;
    if (!ParseTime(item, ms)) return false;
    times.push_back(ms);
  }
  return !times.empty() && text.back() != ',';
}

bool ParseSize(const std::string& text, int& width, int& height) {
  size_t x = text.find_first_of("xX");
  long w = 0, h = 0;
  if (x == std::string::npos || !ParseLong(text.substr(0, x), w) || !ParseLong(text.substr(x + 1), h)) return false;
  if (w < 1 || h < 1 || w > 16384 || h > 16384) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

bool CheckVideoOptions(RenderOptions& options, std::string& error) {
  if (!options.At.empty()) return error = "give either --at or --video", false;
  if (!options.AudioFile.empty()) return error = "--audio is for --fps: the video holds the sound", false;
  if (options.Width % 2 != 0 || options.Height % 2 != 0)
    return error = "the video's --size must be even in both directions (the encoder needs it)", false;
  if (options.Fps == 0) options.Fps = 60;
  return true;
}

}  // namespace

bool ParseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
      return true;
    }
    if (arg == "--timeline" || arg == "--force") {
      (arg == "--force" ? options.Force : options.Timeline) = true;
      continue;
    }
    if (!arg.empty() && arg[0] != '-') {
      if (!options.DemoDir.empty()) return error = "more than one demo folder: " + options.DemoDir + " and " + arg, false;
      options.DemoDir = arg;
      continue;
    }
    if (i + 1 >= argc) {
      error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument " + arg;
      return false;
    }
    std::string value = argv[++i];
    long number = 0;
    if (arg == "--script") {
      options.Script = value;
    } else if (arg == "--out") {
      options.OutDir = value;
    } else if (arg == "--size") {
      if (!ParseSize(value, options.Width, options.Height)) return error = "bad --size " + value, false;
    } else if (arg == "--at") {
      if (!ParseTimes(value, options.At)) return error = "bad --at " + value + " (whole milliseconds from 0)", false;
    } else if (arg == "--fps") {
      if (!ParseLong(value, number) || number < 1 || number > 1000) return error = "bad --fps " + value, false;
      options.Fps = static_cast<int>(number);
    } else if (arg == "--from") {
      if (!ParseTime(value, number)) return error = "bad --from " + value + " (whole milliseconds from 0)", false;
      options.From = static_cast<double>(number);
    } else if (arg == "--to") {
      if (!ParseLong(value, number)) return error = "bad --to " + value, false;
      options.To = static_cast<double>(number);
      options.HasTo = true;
    } else if (arg == "--supersample") {
      if (!ParseLong(value, number) || number < 1 || number > 4)
        return error = "bad --supersample " + value + " (1 to 4)", false;
      options.Supersample = static_cast<int>(number);
    } else if (arg == "--video") {
      if (!platform::IsVideoFileName(value)) return error = "bad --video " + value + " (.mp4 or .webm)", false;
      options.VideoFile = value;
    } else if (arg == "--quality") {
      if (!ParseLong(value, number) || number < 1 || number > 51)
        return error = "bad --quality " + value + " (1 to 51)", false;
      options.Quality = static_cast<int>(number);
      options.HasQuality = true;
    } else if (arg == "--audio") {
      options.AudioFile = value;
    } else {
      error = "unknown argument " + arg;
      return false;
    }
  }
  if (!options.VideoFile.empty()) return CheckVideoOptions(options, error);
  if (options.HasQuality) {
    error = "--quality needs --video";
    return false;
  }
  if (options.At.empty() == (options.Fps == 0)) {
    error = "give either --at or --fps";
    return false;
  }
  if (!options.AudioFile.empty() && options.Fps == 0) {
    error = "--audio needs --fps";
    return false;
  }
  if (options.Force && options.Fps == 0) {
    error = "--force needs --fps";
    return false;
  }
  return true;
}
