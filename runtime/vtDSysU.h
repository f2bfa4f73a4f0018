// The demo system: the window configuration, the demo script reader, the
// timeline of render items, the demo clock with seeking and pausing, and
// the debug overlays (frame counter in the title, timeline chart).
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <functional>
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

// A span of demo time that playback repeats (the [ and ] keys).
struct vtLoopSpan {
  bool HasStart = false, HasEnd = false;
  float Start = 0, End = 0;  // ms
  bool Active() const { return HasStart && HasEnd && Start < End; }
};

// What a script asked for beyond the demo system's fields, recorded as it
// is read.
struct vtScriptRequests {
  bool Logger = false;      // VT_LOGGER
  std::string MusicName;    // VT_BASS_MUSIC, as written
  std::int32_t MusicLine = 0;  // the script line that named it
  bool MusicTimer = false;  // VT_BASS_TIMER after VT_BASS_MUSIC
};

// What adopting a freshly read script did to one item (see AdoptScript).
struct vtItemChange {
  enum class Kind { Added, AddFailed, Removed };
  Kind What = Kind::Added;
  int Index = 0;  // in Items after the change (before it for Removed)
  std::string File;
  std::string Message;  // with AddFailed: the item's LoadError
};

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
  vtScriptRequests Requests;
  // When false, reading the script records the log and music requests
  // without opening the log or the music: live authoring reads an edited
  // script into a fresh demo system this way and compares.
  bool ApplyRequests = true;
  // Threads of the load pipeline Init loads the items with (pictures decoded
  // and ASE files read on workers); 0: vtLoadPipeline::ConfiguredThreads(),
  // 1: everything on the calling thread. The result is the same either way.
  int LoadThreads = 0;

  void AddItem(std::unique_ptr<vtRenderItem> item);
  // Reads the demo script. False when it cannot be opened (nothing changes)
  // or when it holds a malformed number (ScriptError tells which).
  bool LoadScript(const std::string& scriptPath);
  // Shows a black frame, loads every item, builds the font and the chart,
  // starts the music and the clock. Needs the window's GL context. Every
  // picture is in its texture when it returns.
  void Init();
  // One frame; false once the demo time is past DemoEndTime (see LoopDemo
  // and HoldAtEnd for the exceptions).
  bool DrawFrame();
  // Takes over a script read into fresh (live authoring): items of the same
  // kind and file, in the old order, are the same items (they keep what
  // they loaded and take the new lines), new ones are loaded with load
  // (false: it failed), the others released; end time, title, switches,
  // window size and the log follow the script. Time, clock and music are
  // the caller's. changes lists what happened to items; true when the
  // window size changed.
  bool AdoptScript(vtDemoSystem& fresh, const std::function<bool(vtRenderItem&)>& load,
                   std::vector<vtItemChange>& changes);
  // Loads one item: the one place where its malformed or unreadable file is
  // reported (the item is then marked LoadFailed and never drawn). Init
  // loads every item through it, live authoring each fresh one. GL current.
  void LoadItem(vtRenderItem& item);

  // Relative seeks (the arrow keys). On the system clock the time may go
  // one step below 0 and stops at the end time; on the music clock the
  // music moves and the clock follows. Past the music's end (see
  // UpdateClock) and at speeds other than 1 they seek with SeekTo.
  void SeekBackward(std::int32_t step);  // ms
  void SeekForward(std::int32_t step);   // ms
  void Pause();
  void Resume();

  // ---- Time control for authors: main thread only, after Init. Every
  // control moves picture and music together through SeekTo. Unused, they
  // change nothing: the clock behaves as the rest of this header says.

  // The demo time := ms clamped to 0..DemoEndTime, now (CurrentTime) and
  // for the next frame, on whatever clock runs; while paused the paused
  // time moves. The music goes to the same time, or to its end when ms
  // lies past it (with VT_BASS_TIMER the system timer then goes on from
  // ms, as after the music's end).
  void SeekTo(float ms);
  // Playback rate (the keys use 0.25, 0.5, 1 and 2; rates <= 0 are
  // ignored). At any rate but 1 the music is silent and the demo time runs
  // on the system timer at that rate; back at 1 the music plays on from the
  // current demo time. The manual clock ignores the rate.
  void SetSpeed(float rate);
  float Speed() const { return speed_; }
  // The loop span. With both ends set and start < end, a frame whose time
  // has passed the end since the last frame (playing or a relative seek;
  // not a SeekTo) goes on at the start, music too.
  void SetLoopStart(float ms);
  void SetLoopEnd(float ms);
  void ClearLoop();
  const vtLoopSpan& Loop() const { return loop_; }
  bool LoopDemo = false;  // past the end time start again at 0 instead of ending
  // Past the end time (without LoopDemo) hold the frame of the end time,
  // paused, instead of ending: live authoring never ends by itself, also
  // when an edit moves the end time below the time or removes it.
  bool HoldAtEnd = false;
  bool Paused() const { return paused_; }  // between Pause and Resume
  // The demo time under a point of the window, given as fractions of its
  // width and height from the top left: the timeline chart's 1024 x 768
  // units span the window. ms is the time at x, clamped to 0..the chart's
  // span; the result tells whether the point lies on the chart's rows.
  bool ChartTimeAt(float fx, float fy, float& ms) const;

  std::int32_t CalcFps(float currentTime);
  void BuildTimeline();
  void BuildTimelineList();  // TimelineList := a new list of the chart
  void DrawTimeline();

  // The clock seam. The source is the script's choice after LoadScript;
  // SetManualTime switches to the manual clock and sets its reading.
  vtClockSource ClockSource() const;
  void SetManualTime(float ms);
  // CurrentTime := the clock's reading (while Running). On the music clock,
  // once the music has played to its end the time goes on from there on
  // the system timer, until a seek goes back into the music.
  void UpdateClock();

 private:
  void ReadTopLevelLine();
  void ReadChannel();
  void ReadLinesBlock(vtRenderItem* pending);
  void AddRenderLine(vtRenderItem* pending);
  bool FailScript(const std::string& message);
  float ClockReading() const;
  void MoveClock(float deltaMs);
  void MoveMusic(float deltaMs);
  float ChartSpan() const;
  float TimeNow() const;  // the live reading, or the paused time
  float TimerReading() const;
  float MusicLengthMs() const;
  void PlaceMusic(float ms);
  void MoveTimeTo(float ms);
  void SetClockTo(float ms);
  void StartTimerClock(float from);
  void ReturnToMusicClock();
  void WrapLoop();
  bool Ended();
  void AdoptItems(vtDemoSystem& fresh, const std::function<bool(vtRenderItem&)>& load,
                  std::vector<vtItemChange>& changes);
  bool AdoptSettings(const vtDemoSystem& fresh);

  vtType currentType_ = vt_NONE;  // carried from channel to channel
  bool manualClock_ = false;
  float manualTime_ = 0;
  // The system timer at speed_ from timerBase_ at timerTick_ drives the
  // time at speeds other than 1 and after the music's end.
  bool timerClock_ = false;
  float timerBase_ = 0;
  std::uint32_t timerTick_ = 0;
  float speed_ = 1;
  bool paused_ = false;
  vtLoopSpan loop_;
  float lastTime_ = 0;  // the previous frame's time, or the last SeekTo's
  std::string titleText_;  // the debug title, kept to reuse its buffer
};

// The local time of an item for demo time t on one of its lines: true and
// local set when the line covers t (both ends included) and plays.
bool LineLocalTime(const vtItemLine& line, float t, float& local);

// The text of a conversion error with the file and the line it came from.
std::string ConvertErrorText(const vtConvertError& error);

extern std::unique_ptr<vtDemoSystem> DemoSystem;
