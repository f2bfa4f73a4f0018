// The demo system: the window configuration, the demo script reader, the
// timeline of render items, the demo clock with seeking and pausing, and
// the debug overlays (frame counter in the title, timeline chart).
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/vtFuncU.h"
#include "runtime/vtBassU.h"
#include "runtime/vtRItemU.h"

class vtText;
class vtConvertError;

// Window settings; the title comes from "data\versio.inf" when it exists.
class vtConfigData {
 public:
  vtConfigData();

  std::string Title = "Vortane Engine";
  std::int32_t Width = 640;
  std::int32_t Height = 480;
  std::int32_t Bits = 32;
  bool FullScreen = false;
};

// Where the demo time comes from. The script decides between the system
// timer and the music position; front ends that choose every frame's time
// themselves (tests, the offscreen renderer) switch to Manual.
enum class vtClockSource { System, Music, Manual };

class vtDemoSystem {
 public:
  vtDemoSystem();
  ~vtDemoSystem();
  vtDemoSystem(const vtDemoSystem&) = delete;
  vtDemoSystem& operator=(const vtDemoSystem&) = delete;

  static std::unique_ptr<vtDemoSystem> CreateFromScript(const std::string& scriptPath);

  std::unique_ptr<vtBass> Music;
  std::unique_ptr<vtConfigData> Config;
  std::string DemoName;
  std::vector<std::unique_ptr<vtRenderItem>> Items;  // drawn in this order
  std::unique_ptr<vtText> Reader;
  float DemoEndTime = -1.0f;  // ms; the demo ends when the clock passes it
  std::string ScriptName;
  std::uint32_t StartTick = 0;  // system timer at demo time zero
  float CurrentTime = 0;        // ms, the clock of the current frame
  bool DebugMode = false;
  bool CursorMode = false;
  bool Running = true;  // the clock advances
  float PausedAt = 0;   // demo time at the last pause
  bool SpaceStop = false;
  bool Loaded = false;  // the script file was opened
  bool ShowTimeline = false;
  std::uint32_t FpsTick = 0;
  std::int32_t Fps = 0;
  std::int32_t FrameCount = 0;
  GLuint TimelineList = 0;
  // Set when the script could not be read to its end (a malformed number,
  // a read error): the message with the script's name and line. The demo
  // is then empty.
  std::string ScriptError;

  void AddItem(std::unique_ptr<vtRenderItem> item);
  // Reads the demo script. False when it cannot be opened (nothing changes)
  // or when it holds a malformed number (ScriptError tells which).
  bool LoadScript(const std::string& scriptPath);
  // Shows a black frame, loads every item, builds the font and the chart,
  // starts the music and the clock. Needs the window's GL context.
  void Init();
  // One frame; false once the demo time is past DemoEndTime.
  bool DrawFrame();

  void SeekBackward(std::int32_t step);  // ms
  void SeekForward(std::int32_t step);   // ms
  void Pause();
  void Resume();

  std::int32_t CalcFps(float currentTime);
  void BuildTimeline();
  void BuildTimelineList();  // TimelineList := a new list of the chart
  void DrawTimeline();

  // The clock seam. The source is the script's choice after LoadScript;
  // SetManualTime switches to the manual clock and sets its reading.
  vtClockSource ClockSource() const;
  void SetManualTime(float ms);
  void UpdateClock();  // CurrentTime := the clock's reading (while Running)

 private:
  void ReadTopLevelLine();
  void ReadChannel();
  void ReadLinesBlock(vtRenderItem* pending);
  void AddRenderLine(vtRenderItem* pending);
  void LoadItem(vtRenderItem& item);
  bool FailScript(const std::string& message);
  float ClockReading() const;
  void MoveClock(float deltaMs);
  void MoveMusic(float deltaMs);
  float ChartSpan() const;

  vtType currentType_ = vt_NONE;  // carried from channel to channel
  bool manualClock_ = false;
  float manualTime_ = 0;
  std::string titleText_;  // the debug title, kept to reuse its buffer
};

// The local time of an item for demo time t on one of its lines: true and
// local set when the line covers t (both ends included) and plays.
bool LineLocalTime(const vtItemLine& line, float t, float& local);

// The text of a conversion error with the file and the line it came from.
std::string ConvertErrorText(const vtConvertError& error);

extern std::unique_ptr<vtDemoSystem> DemoSystem;
