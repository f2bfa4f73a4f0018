// The player's command line: vortane [OPTIONS] [DIR].
//
// One struct of defaults (a plain `vortane` plays as it always did), one
// parse function and one usage text. Every option is one row of the table
// in vtOptionsU.cpp: a new option is a new field here and a new row there.
// Parsing is pure (it reads nothing but the arguments; the folder is
// checked later by EnterDemoFolder) and may run on any thread.
#pragma once

#include <string>

class vtDemoSystem;

// Where the window goes: as the script says (VT_FULLSCREEN), or forced.
enum class vtScreenChoice { Script, Window, FullScreen };

inline constexpr int kDefaultStudioPort = 7373;

struct vtPlayerOptions {
  std::string DemoDir;  // the demo's folder; "" plays the working directory
  bool Live = false;    // live authoring: the time-control keys work without VT_CURSOR
  bool Studio = false;  // the studio page on 127.0.0.1 (implies Live)
  int Port = kDefaultStudioPort;  // the studio's port; 0 picks a free one
  float StartMs = 0;    // demo time of the first frame (picture and music)
  vtScreenChoice Screen = vtScreenChoice::Script;
  int Width = 0;  // window size; 0 keeps the script's
  int Height = 0;
  bool Mute = false;          // no sound heard; the music clock still runs
  bool Loop = false;          // at the end time start again at 0 instead of ending
  bool VerticalSync = true;   // --no-vsync: swaps do not wait for the display
  std::string NewDir;         // --new: write a new demo there and end
  bool Check = false;         // report the demo's mistakes instead of playing it
  bool Json = false;          // with Check: one JSON document
  bool Help = false;          // print kPlayerUsage and end
  bool Version = false;       // print kPlayerVersion and end
};

// Parses argv[1..argc-1] into options (which keeps its defaults for what
// is not given). False with a one-line reason in error for an unknown
// option, a missing or malformed value, or a second DIR. --help and
// --version end the parsing at once: what follows them is not looked at.
bool ParsePlayerOptions(int argc, const char* const* argv, vtPlayerOptions& options,
                        std::string& error);

// The window settings of the options over those the script gave.
// Main thread, after LoadScript and before the window opens.
void ApplyWindowOptions(const vtPlayerOptions& options, vtDemoSystem& demo);

extern const char* const kPlayerUsage;    // ends with a newline
// Said on standard error when started without DIR where there is no demo.
extern const char* const kNoDemoHere;     // one line, ends with a newline
extern const char* const kPlayerVersion;  // the program name and version, no newline
