// The on-screen console of live authoring: every message box the engine
// would show (panic, warning, information, debug) becomes one line of text
// in the bottom-left corner of the picture instead, newest at the bottom,
// for kShowMs, at most kMaxLines at once, and goes to standard error as
// well. Nothing waits for a click. Yes/no questions (the window's
// full-screen question) are still asked as before.
//
// The lines are a fixed ring of fixed buffers, drawn with font lists built
// once, so drawing allocates nothing; adding a line may. Each line keeps
// the demo time it arrived at and its kind.
//
// Threads: main thread only. Attach, Add, Draw and the observer all run
// there (the engine shows its boxes from the main thread).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/MessageBox.h"
#include "runtime/vtFontU.h"

enum class vtConsoleKind : std::uint8_t { Debug, Information, Warning, Panic };

// A message as it arrived, for observers such as a browser front end.
struct vtConsoleMessage {
  vtConsoleKind Kind;
  std::string Caption;
  std::string Text;         // as the box would show it ('\r' breaks lines)
  std::string Line;         // the line as drawn
  float DemoTime = 0;       // ms of demo time when it arrived
  std::uint32_t Sequence = 0;  // 1, 2, ... in arrival order
};

class vtConsole {
 public:
  static constexpr int kMaxLines = 8;
  static constexpr std::uint32_t kShowMs = 8000;
  static constexpr std::size_t kLineChars = 240;  // longer lines are cut
  static constexpr int kFontPixels = 13;

  struct Line {
    vtConsoleKind Kind = vtConsoleKind::Information;
    std::uint32_t ShownAt = 0;  // ms of the clock given to Add
    float DemoTime = 0;
    std::uint32_t Sequence = 0;
    std::size_t Length = 0;
    char Text[kLineChars + 1] = {};  // printable ASCII only
  };

  vtConsole() = default;
  ~vtConsole();  // detaches
  vtConsole(const vtConsole&) = delete;
  vtConsole& operator=(const vtConsole&) = delete;

  // Makes the console the engine's message path
  // (platform::SetMessageBoxHandler) until Detach; boxes arriving then are
  // stamped with the clock and demo time last given to SetNow (at first the
  // platform clock).
  void Attach();
  void Detach();
  bool Attached() const { return attached_; }

  // The part of paths to leave out of lines ("/home/me/demo\" of
  // "/home/me/demo\data\a.vtl"); usually GlobalFunc's WorkDir.
  void SetWorkDir(const std::string& workDir) { workDir_ = workDir; }
  // The clock (Draw's) and the demo time that boxes arriving from now on
  // are stamped with; set once per frame.
  void SetNow(std::uint32_t nowMs, float demoTime) {
    now_ = nowMs;
    demoTime_ = demoTime;
  }
  // Called for every message after it became a line, on the thread that
  // showed the box (the main thread). nullptr: none.
  void SetObserver(std::function<void(const vtConsoleMessage&)> observer) { observer_ = std::move(observer); }

  // One box as a line, at nowMs of any millisecond clock (Draw's clock),
  // stamped with the demo time last set.
  void Add(const platform::MessageBoxCall& call, std::uint32_t nowMs);
  // Drops the lines shown for kShowMs or longer at nowMs (Add and Draw do).
  void Expire(std::uint32_t nowMs);
  // The lines kept, oldest first.
  int Count() const { return count_; }
  const Line& At(int index) const;  // 0: the oldest
  void Clear() { count_ = 0; }

  // Builds the font lists; Draw builds them on first need. Main thread,
  // GL current. ReleaseFont deletes them.
  void BuildFont();
  void ReleaseFont();
  // Draws the lines shown at nowMs over the picture, in the viewport's
  // pixels, and leaves every GL state as it found it (attributes and both
  // matrices are pushed and popped; the matrix mode is kept). Without lines
  // it makes no GL call at all.
  void Draw(std::uint32_t nowMs);
  // Pixels kept free at the picture's bottom (the time overlay's height
  // while it shows); the lines start above them. 0 by default.
  void SetBottom(float pixels) { bottom_ = pixels; }

  // The text a box becomes: caption, then the text with its line breaks as
  // " | " and the work folder left out of paths.
  std::string Format(const platform::MessageBoxCall& call) const;

 private:
  void DrawLine(const Line& line, float y) const;

  std::array<Line, kMaxLines> lines_;
  int first_ = 0;  // the oldest line in the ring
  int count_ = 0;
  std::uint32_t sequence_ = 0;
  std::uint32_t now_ = 0;
  float demoTime_ = 0;
  float bottom_ = 0;
  std::string workDir_;
  std::function<void(const vtConsoleMessage&)> observer_;
  bool attached_ = false;
  vtFont font_;
  bool fontBuilt_ = false;
};
