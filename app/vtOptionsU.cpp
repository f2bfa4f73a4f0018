#include "app/vtOptionsU.h"

#include <cerrno>
#include <cstdlib>

#include "runtime/vtDSysU.h"

#ifndef VT_VERSION
#define VT_VERSION "unknown"
#endif

const char* const kPlayerUsage =
    "usage: vortane [OPTIONS] [DIR]\n"
    "\n"
    "Plays the demo in DIR (the folder holding data\\tunnel_test.vds; default:\n"
    "the working directory), exactly as if started there.\n"
    "  --live          live authoring: saved files reload while the demo plays,\n"
    "                  messages show in the picture; the time-control keys work\n"
    "                  without VT_CURSOR\n"
    "  --studio        the studio page: the timeline in a browser, following and\n"
    "                  steering the player (implies --live); prints its address\n"
    "  --port N        with --studio: its port on 127.0.0.1 (default 7373; 0: a\n"
    "                  free one)\n"
    "  --start MS      begin at MS milliseconds of demo time (picture and music)\n"
    "  --window        play in a window, whatever VT_FULLSCREEN says\n"
    "  --fullscreen    play full screen, whatever VT_FULLSCREEN says\n"
    "  --size WxH      window size instead of the script's\n"
    "  --mute          no sound; the demo keeps the music's time\n"
    "  --loop          at the end time start again at 0 instead of ending\n"
    "  --no-vsync      do not wait for the display's refresh (for measuring)\n"
    "  --new DIR       make a small demo to start from in DIR (a new or empty\n"
    "                  folder), then end; play it with vortane DIR\n"
    "  --check         read the demo as the player would, play nothing, and print\n"
    "                  each mistake found as FILE:LINE: error|warning: text\n"
    "  --json          with --check: one JSON document instead\n"
    "  --help          this text\n"
    "  --version       the program's name and version\n"
    "Exit status: 0 when the demo ends or is left, 1 when it cannot be played,\n"
    "2 for a wrong command line; with --check: 1 when it found an error.\n";

const char* const kNoDemoHere =
    "vortane: there is no data\\tunnel_test.vds here, so there is nothing to play; see vortane --help, or "
    "start a demo with vortane --new DIR\n";

const char* const kPlayerVersion = "vortane " VT_VERSION;

namespace {

bool ParseWholeNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text[0] == '+' || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= low && value <= high;
}

bool ParseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  long w = 0, h = 0;
  if (x == std::string::npos) return false;
  if (!ParseWholeNumber(text.substr(0, x), 1, 16384, w)) return false;
  if (!ParseWholeNumber(text.substr(x + 1), 1, 16384, h)) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// One option: its name, whether it takes a value, and what it does. Apply
// returns false when the value is malformed (the parser then names it).
struct OptionRow {
  const char* Name;
  bool TakesValue;
  const char* ValueHint;  // said when the value is malformed
  bool (*Apply)(vtPlayerOptions& options, const std::string& value);
};

const OptionRow kOptions[] = {
    {"--live", false, nullptr, [](vtPlayerOptions& o, const std::string&) { return o.Live = true; }},
    {"--studio", false, nullptr,
     [](vtPlayerOptions& o, const std::string&) { return o.Studio = o.Live = true; }},
    {"--port", true, "a port number from 0 to 65535",
     [](vtPlayerOptions& o, const std::string& v) {
       long port = 0;
       if (!ParseWholeNumber(v, 0, 65535, port)) return false;
       o.Port = static_cast<int>(port);
       return true;
     }},
    {"--start", true, "whole milliseconds, 0 or more",
     [](vtPlayerOptions& o, const std::string& v) {
       long ms = 0;
       if (!ParseWholeNumber(v, 0, 2000000000L, ms)) return false;
       o.StartMs = static_cast<float>(ms);
       return true;
     }},
    {"--window", false, nullptr,
     [](vtPlayerOptions& o, const std::string&) {
       o.Screen = vtScreenChoice::Window;
       return true;
     }},
    {"--fullscreen", false, nullptr,
     [](vtPlayerOptions& o, const std::string&) {
       o.Screen = vtScreenChoice::FullScreen;
       return true;
     }},
    {"--size", true, "WIDTHxHEIGHT, each 1 to 16384",
     [](vtPlayerOptions& o, const std::string& v) { return ParseSize(v, o.Width, o.Height); }},
    {"--mute", false, nullptr, [](vtPlayerOptions& o, const std::string&) { return o.Mute = true; }},
    {"--loop", false, nullptr, [](vtPlayerOptions& o, const std::string&) { return o.Loop = true; }},
    {"--no-vsync", false, nullptr,
     [](vtPlayerOptions& o, const std::string&) {
       o.VerticalSync = false;
       return true;
     }},
    {"--new", true, "the folder to make the new demo in",
     [](vtPlayerOptions& o, const std::string& v) {
       o.NewDir = v;
       return !v.empty();
     }},
    {"--check", false, nullptr, [](vtPlayerOptions& o, const std::string&) { return o.Check = true; }},
    {"--json", false, nullptr, [](vtPlayerOptions& o, const std::string&) { return o.Json = true; }},
    {"--help", false, nullptr, [](vtPlayerOptions& o, const std::string&) { return o.Help = true; }},
    {"--version", false, nullptr,
     [](vtPlayerOptions& o, const std::string&) { return o.Version = true; }},
};

const OptionRow* FindOption(const std::string& name) {
  for (const OptionRow& row : kOptions)
    if (name == row.Name) return &row;
  return nullptr;
}

bool Fail(std::string& error, const std::string& reason) {
  error = reason;
  return false;
}

}  // namespace

bool ParsePlayerOptions(int argc, const char* const* argv, vtPlayerOptions& options,
                        std::string& error) {
  bool optionsEnded = false;  // after "--" every argument is a folder
  bool haveDir = false;
  bool portGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-') {
      if (arg.empty()) return Fail(error, "the demo folder is an empty name");
      if (haveDir) return Fail(error, "more than one demo folder: " + options.DemoDir + " and " + arg);
      options.DemoDir = arg;
      haveDir = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h") return options.Help = true;
    // --name=value or --name value
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionRow* row = FindOption(name);
    if (!row) return Fail(error, "unknown option " + name);
    std::string value;
    if (!row->TakesValue) {
      if (equals != std::string::npos) return Fail(error, name + " takes no value");
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      return Fail(error, name + " needs a value");
    }
    if (!row->Apply(options, value))
      return Fail(error, "bad value for " + name + ": \"" + value + "\" (" + row->ValueHint + ")");
    if (options.Help || options.Version) return true;
    portGiven = portGiven || name == "--port";
  }
  // A port alone would be silently unused.
  if (portGiven && !options.Studio) return Fail(error, "--port is the studio's port: it needs --studio");
  if (!options.NewDir.empty() && haveDir) return Fail(error, "--new makes a demo; it plays none (" + options.DemoDir + ")");
  if (options.Json && !options.Check) return Fail(error, "--json goes with --check");
  return true;
}

void ApplyWindowOptions(const vtPlayerOptions& options, vtDemoSystem& demo) {
  vtConfigData& config = *demo.Config;
  if (options.Screen != vtScreenChoice::Script)
    config.FullScreen = options.Screen == vtScreenChoice::FullScreen;
  if (options.Width > 0 && options.Height > 0) {
    config.Width = options.Width;
    config.Height = options.Height;
  }
}
