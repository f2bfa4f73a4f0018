#include "runtime/vtDSysU.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/vtDemoPathU.h"
#include "core/vtFaultU.h"
#include "core/vtFindingsU.h"
#include "core/vtKeysU.h"
#include "core/vtLoadPipelineU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtLogU.h"
#include "core/vtTextU.h"
#include "core/vtWorkDirU.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Present.h"
#include "platform/Title.h"
#include "runtime/vtFontU.h"
#include "runtime/vtLoadBarU.h"

std::unique_ptr<vtDemoSystem> DemoSystem;

namespace {

constexpr const char* kDefaultTitle = "Vortane Engine";

// The first line of the version file, or false when there is none.
bool ReadVersionTitle(const std::string& path, std::string& title) {
  if (!platform::IsRegularFile(path)) return false;
  std::FILE* f = platform::OpenFile(path, "rb");
  if (!f) return false;
  std::string line;
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n' || c == '\r') break;
    line.push_back(static_cast<char>(c));
  }
  std::fclose(f);
  if (!any) return false;  // an empty file keeps the default
  title = line;
  return true;
}

// The six item types a channel may name.
bool IsItemTypeName(const std::string& name) {
  static const char* const kNames[] = {"vt_3D_ASE", "vt_2D_VTL", "vt_SKY", "vt_TRANS", "vt_MESH", "vt_TUNNEL"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Chart geometry: the demo spans 1000 units from x = 12; one row of 10
// units per item, going down from y = 756 on a 1024 x 768 screen.
constexpr float kChartLeft = 12.0f;
constexpr float kChartWidth = 1000.0f;
constexpr float kChartTop = 756.0f;
constexpr float kRowHeight = 10.0f;
constexpr float kChartScreenWidth = 1024.0f;
constexpr float kChartScreenHeight = 768.0f;

float ChartX(float time, float span) { return time / span * kChartWidth + kChartLeft; }

// A misspelt file name would otherwise only show as an item that never
// draws: a line on standard error and in the log, and a finding.
void ReportMissingFile(const vtRenderItem& item, const std::string& scriptName) {
  const std::string text = "the item file \"" + DemoPath(item.FileName) + "\" does not exist";
  vtReportFileProblem(text, "vtDemoSystem.LoadItem");
  ReportFinding({scriptName, item.Place.File, "missing-file", vtSeverity::Error, text + ": the item is not drawn"});
}

// The pipeline's tasks now (or, finishing, until no job is left). A task
// that fails (a job's failure raised again) is reported; the rest run.
void RunLoadTasks(vtLoadPipeline& pipeline, bool finish) {
  for (;;) {
    try {
      if (finish)
        pipeline.Finish();
      else
        pipeline.RunMainTasks();
      return;
    } catch (const std::exception& error) {
      if (GlobalFunc) GlobalFunc->Panic(std::string("Loading failed: ") + error.what());
    }
  }
}

}  // namespace

vtConfigData::vtConfigData() {
  std::string title;
  if (ReadVersionTitle(WorkDir() + "\\data\\versio.inf", title))
    Title = title;
  else
    Title = kDefaultTitle;
}

bool LineLocalTime(const vtItemLine& line, float t, float& local) {
  if (t < line.BeginTime || t > line.EndTime) return false;
  if (line.PlayType == vt_PLAY)
    local = t - line.BeginTime;
  else if (line.PlayType == vt_UNPLAY)
    local = line.EndTime - t;
  else
    return false;
  if (line.TimeMode == 1) local = local * (t / 20000.0f);
  return true;
}

std::string ConvertErrorText(const vtConvertError& error) {
  return std::string(error.what()) + "\rFile: " + error.FileName + "\rLINE: " + std::to_string(error.LineNumber);
}

vtDemoSystem::vtDemoSystem()
    : Music(std::make_unique<vtBass>()), Config(std::make_unique<vtConfigData>()), Reader(std::make_unique<vtText>()) {}

vtDemoSystem::~vtDemoSystem() = default;

std::unique_ptr<vtDemoSystem> vtDemoSystem::CreateFromScript(const std::string& scriptPath) {
  auto demo = std::make_unique<vtDemoSystem>();
  demo->LoadScript(scriptPath);
  return demo;
}

void vtDemoSystem::AddItem(std::unique_ptr<vtRenderItem> item) {
  if (item) Items.push_back(std::move(item));
}

// ---------------------------------------------------------------- script

bool vtDemoSystem::LoadScript(const std::string& scriptPath) {
  vtLoadPhaseScope phase(vtLoadPhase::Script);
  ScriptError.clear();
  Reader = std::make_unique<vtText>("vds");
  if (!Reader->Open(scriptPath)) return false;
  Loaded = true;
  ScriptName = scriptPath;
  currentType_ = vt_NONE;
  try {
    while (!Reader->Eof())
      if (Reader->ReadLine()) ReadTopLevelLine();
  } catch (vtConvertError& error) {
    ReportFinding({error.FileName, error.LineNumber, "conversion", vtSeverity::Error,
                   std::string(error.what()) + ": the player stops here"});
    error.FileName = DemoPath(error.FileName);
    return FailScript(ConvertErrorText(error));
  } catch (const vtIOError& error) {
    // The disk failed under the reader: the lines after LineNumber are lost.
    ReportFinding({scriptPath, Reader->LineNumber, "read-error", vtSeverity::Error, error.what()});
    return FailScript(std::string(error.what()) + "\rFile: " + DemoPath(scriptPath) + "\rLINE: " +
                      std::to_string(Reader->LineNumber));
  }
  Reader->Close();
  return true;
}

// A half-read script is no demo: report it and leave the demo empty.
bool vtDemoSystem::FailScript(const std::string& message) {
  ScriptError = message;
  if (GlobalFunc) GlobalFunc->Panic(ScriptError);
  Items.clear();
  Loaded = false;
  Reader->Close();
  return false;
}

// Every key is tested on its own, so one line may act several times.
void vtDemoSystem::ReadTopLevelLine() {
  vtText& r = *Reader;
  if (r.Contains(vtScriptKeys::Logger.Name)) {
    Requests.Logger = true;
    if (ApplyRequests && GlobalLog) GlobalLog->Open();
  }
  if (r.Contains(vtScriptKeys::DemoName.Name)) {
    DemoName = r.ReadQuoted();
    Config->Title += " : " + DemoName;
  }
  if (r.Contains(vtScriptKeys::WindowWidth.Name)) Config->Width = r.ReadInt(vtScriptKeys::WindowWidth.Cut());
  if (r.Contains(vtScriptKeys::WindowHeight.Name)) Config->Height = r.ReadInt(vtScriptKeys::WindowHeight.Cut());
  if (r.Contains(vtScriptKeys::WindowBits.Name)) Config->Bits = r.ReadInt(vtScriptKeys::WindowBits.Cut());
  if (r.Contains(vtScriptKeys::FullScreen.Name)) Config->FullScreen = true;
  if (r.Contains(vtScriptKeys::DebugMode.Name)) DebugMode = true;
  if (r.Contains(vtScriptKeys::Music.Name)) {
    Requests.MusicName = r.ReadQuoted();
    Requests.MusicLine = r.LineNumber;
    if (ApplyRequests) Music->LoadMusic(Requests.MusicName);
  }
  if (r.Contains(vtScriptKeys::MusicTimer.Name) && !Requests.MusicName.empty()) {
    Requests.MusicTimer = true;
    if (ApplyRequests && Music->Stream != 0) Music->Timer = true;
  }
  if (r.Contains(vtScriptKeys::Cursor.Name)) CursorMode = true;
  if (r.Contains(vtScriptKeys::SpaceStop.Name)) SpaceStop = true;
  if (r.Contains(vtScriptKeys::StreamMode.Name) && GlobalFunc)
    GlobalFunc->StreamMode = GlobalFunc->TypeFromName(r.ReadQuoted());
  if (r.Contains(vtScriptKeys::EndTime.Name)) DemoEndTime = static_cast<float>(r.ReadInt(vtScriptKeys::EndTime.Cut()));
  if (r.Contains(vtScriptKeys::Channel.Name)) ReadChannel();
}

// A channel ends at the first line holding "}" (the opening line included)
// or at the end of the file. Only an item created in this channel is
// appended, so no item is listed twice.
void vtDemoSystem::ReadChannel() {
  vtText& r = *Reader;
  std::map<vtType, std::unique_ptr<vtRenderItem>> created;  // per type, this channel only
  auto pending = [&]() -> vtRenderItem* {
    auto it = created.find(currentType_);
    return it == created.end() ? nullptr : it->second.get();
  };
  vtScriptPlace place;
  place.Channel = r.LineNumber;
  bool append = true;
  while (!r.Contains("}") && !r.Eof()) {
    if (!r.ReadLine()) {
      append = !r.Contains("}");  // a comment closing the channel drops its item
      continue;
    }
    if (r.Contains(vtScriptKeys::ItemType.Name)) {
      std::string name = r.ReadQuoted();
      if (IsItemTypeName(name)) {
        currentType_ = GlobalFunc->TypeFromName(name);
        place.Type = r.LineNumber;
      } else {
        NoteLine(r, "item-type", vtSeverity::Warning,
                 "\"" + name + "\" is no item type (vt_2D_VTL, vt_3D_ASE, vt_MESH, vt_SKY, vt_TRANS, vt_TUNNEL): "
                 "the channel keeps the type before it");
      }
    }
    if (r.Contains(vtScriptKeys::ItemFile.Name)) {
      auto item = CreateRenderItem(currentType_, WorkDir() + "\\" + r.ReadQuoted());
      if (item) {
        item->Place = place;
        item->Place.File = r.LineNumber;
        created[currentType_] = std::move(item);
      } else {
        NoteLine(r, "no-item-type", vtSeverity::Warning, "no VT_RENDER_ITEMS_TYPE before this file: no item is made");
      }
    }
    if (r.Contains(vtScriptKeys::Lines.Name)) {
      if (vtRenderItem* item = pending()) item->Place.LinesOpen = r.LineNumber;
      ReadLinesBlock(pending());
    }
  }
  if (!append) return;
  auto it = created.find(currentType_);
  if (it == created.end()) return;
  it->second->Place.End = r.LineNumber;
  it->second->Place.Closed = r.Contains("}");
  Items.push_back(std::move(it->second));
}

// From its opening line on, the block ends at the first line holding "}",
// comment or not, or at the end of the file.
void vtDemoSystem::ReadLinesBlock(vtRenderItem* pending) {
  vtText& r = *Reader;
  while (!r.Contains("}") && !r.Eof())
    if (r.ReadLine() && r.Contains(vtScriptKeys::Line.Name)) AddRenderLine(pending);
}

// 'VT_RENDER_TIMES_BEGIN_END b e m "tag"'
void vtDemoSystem::AddRenderLine(vtRenderItem* pending) {
  vtText& r = *Reader;
  if (!pending) {
    NoteLine(r, "line-without-item", vtSeverity::Warning,
             "a render line without an item of its own channel is ignored");
    if (GlobalFunc)
      GlobalFunc->ShowWarning("Render line without an item of its own channel, ignored.\rFile: " +
                              DemoPath(ScriptName) + "\rLINE: " + std::to_string(r.LineNumber));
    return;
  }
  r.SkipPast(vtScriptKeys::Line.Cut());
  auto line = std::make_unique<vtItemLine>();
    line->BeginTime = static_cast<float>(r.ToInt(r.NextToken()));
  line->EndTime = static_cast<float>(r.ToInt(r.NextToken()));
  line->TimeMode = r.ToInt(r.NextToken());
  line->PlayType = GlobalFunc->TypeFromName(r.ReadQuoted());
  line->SourceLine = r.LineNumber;
  pending->Lines.push_back(std::move(line));
}

// ---------------------------------------------------------------- frames

void vtDemoSystem::Init() {
  if (GlobalFunc) GlobalFunc->DeviceContext = platform::ActiveWindow();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  platform::SwapWindowBuffers();
  const bool notes = DebugMode && !Config->FullScreen && GlobalFunc;
  if (!Loaded) {
    if (notes) GlobalFunc->ShowTitle("no *.ds File");
    return;
  }
  if (Items.empty()) {
    if (notes) GlobalFunc->ShowTitle("not render items");
    return;
  }
  GlobalFunc->Begin2D(800, 600);
  vtLoadPipeline pipeline(LoadThreads > 0 ? LoadThreads : vtLoadPipeline::ConfiguredThreads());
  vtLoadPipeline::Attachment attached(pipeline);
  vtLoadingBar bar;
  bar.Begin(Items.size());
  for (size_t i = 0; i < Items.size(); ++i) {
    bar.StartItem(i);
    LoadItem(*Items[i]);
    RunLoadTasks(pipeline, false);  // pictures decoded meanwhile go into their textures
  }
  RunLoadTasks(pipeline, true);
  bar.End();
  GlobalFunc->End2D();
  if (GlobalFont) GlobalFont->Build(GlobalFunc->DeviceContext);
  BuildTimelineList();
  Music->Play();
  StartTick = platform::TimeGetTime();
  lastTime_ = 0;
}

// The one place where an item's malformed or unreadable file is reported
// (naming it as the demo writes it): the item is marked and never drawn,
// the others load and play.
void vtDemoSystem::LoadItem(vtRenderItem& item) {
  vtLoadPhaseScope phase(item.ItemType == vt_3D_ASE ? vtLoadPhase::AseScene : vtLoadPhase::OtherItems);
  if (!platform::IsRegularFile(item.FileName)) ReportMissingFile(item, ScriptName);
  try {
    vtFaultPoint("item.load");
    item.LoadFromFile();
  } catch (vtConvertError& error) {
    ReportFinding({error.FileName.empty() ? item.FileName : error.FileName, error.LineNumber, "conversion",
                   vtSeverity::Error, std::string(error.what()) + ": the item is not drawn"});
    error.FileName = DemoPath(error.FileName.empty() ? item.FileName : error.FileName);
    item.LoadFailed = true;
    item.LoadError = ConvertErrorText(error);
    if (GlobalFunc) GlobalFunc->Panic(item.LoadError);
  } catch (const vtIOError& error) {
    item.LoadFailed = true;
    item.LoadError = std::string(error.what()) + "\rFile: " + DemoPath(item.FileName);
    ReportFinding({item.FileName, 0, "read-error", vtSeverity::Error, error.what()});
    if (GlobalFunc) GlobalFunc->Panic(item.LoadError);
  } catch (const std::exception& error) {  // memory, say: this item fails, the demo plays on
    item.LoadFailed = true;
    item.LoadError = "The item cannot be loaded: " + std::string(error.what()) + "\rFile: " + DemoPath(item.FileName);
    if (GlobalFunc) GlobalFunc->Panic(item.LoadError);
  }
}

bool vtDemoSystem::DrawFrame() {
  if (Items.empty()) return true;
  UpdateClock();
  WrapLoop();
  if (Ended()) return false;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const float t = CurrentTime;
  for (auto& item : Items) {
    if (item->LoadFailed) continue;
    for (auto& line : item->Lines) {
      float local = 0;
      if (LineLocalTime(*line, t, local)) item->Render(local);
    }
  }
  if (DebugMode && Loaded && GlobalFunc) {
    char text[96];
    std::snprintf(text, sizeof text, "FPS: %d FRAME: %.2f", CalcFps(CurrentTime), CurrentTime);
    titleText_.assign(text);  // reuses its buffer: frames allocate nothing
    GlobalFunc->ShowTitle(titleText_);
  }
  if (ShowTimeline) DrawTimeline();
  return true;
}

// Past the end time: true when the demo ends; otherwise the time has gone
// back to the start (LoopDemo) or stands at the end, paused (HoldAtEnd).
bool vtDemoSystem::Ended() {
  if (CurrentTime <= DemoEndTime) return false;
  if (LoopDemo) {
    SeekTo(0);
    if (CurrentTime <= DemoEndTime) return false;
  }
  if (!HoldAtEnd) return true;
  if (!paused_) Pause();
  SeekTo(DemoEndTime);  // without an end time: 0
  return false;
}

// ---------------------------------------------------------------- adopting a script

bool vtDemoSystem::AdoptScript(vtDemoSystem& fresh, const std::function<bool(vtRenderItem&)>& load,
                               std::vector<vtItemChange>& changes) {
  AdoptItems(fresh, load, changes);
  return AdoptSettings(fresh);
}

void vtDemoSystem::AdoptItems(vtDemoSystem& fresh, const std::function<bool(vtRenderItem&)>& load,
                              std::vector<vtItemChange>& changes) {
  std::vector<std::unique_ptr<vtRenderItem>> old = std::move(Items);
  Items.clear();
  std::vector<bool> kept(old.size(), false);
  for (auto& item : fresh.Items) {
    auto same = std::find_if(old.begin(), old.end(), [&](const std::unique_ptr<vtRenderItem>& o) {
      return o && o->ItemType == item->ItemType && o->FileName == item->FileName;
    });
    if (same != old.end()) {
      kept[static_cast<std::size_t>(same - old.begin())] = true;
      (*same)->Lines = std::move(item->Lines);
      (*same)->Place = item->Place;
      Items.push_back(std::move(*same));
      continue;
    }
    const bool loaded = load(*item);
    Items.push_back(std::move(item));
    const vtRenderItem& added = *Items.back();
    changes.push_back({loaded ? vtItemChange::Kind::Added : vtItemChange::Kind::AddFailed,
                       static_cast<int>(Items.size() - 1), added.FileName, added.LoadError});
  }
  for (std::size_t i = 0; i < old.size(); ++i) {
    if (kept[i]) continue;
    const std::string file = old[i]->FileName;
    old[i].reset();
    changes.push_back({vtItemChange::Kind::Removed, static_cast<int>(i), file, ""});
  }
}

// True when the window size changed (the caller resizes the window).
bool vtDemoSystem::AdoptSettings(const vtDemoSystem& fresh) {
  Loaded = true;
  ScriptName = fresh.ScriptName;
  ScriptError.clear();
  DemoEndTime = fresh.DemoEndTime;
  DemoName = fresh.DemoName;
  DebugMode = fresh.DebugMode;
  CursorMode = fresh.CursorMode;
  SpaceStop = fresh.SpaceStop;
  if (fresh.Requests.Logger && GlobalLog && !GlobalLog->Enabled) GlobalLog->Open();
  if (Config->Title != fresh.Config->Title) {
    Config->Title = fresh.Config->Title;
    if (!DebugMode) platform::SetWindowTitle(Config->Title);
  }
  if (Config->Width == fresh.Config->Width && Config->Height == fresh.Config->Height) return false;
  Config->Width = fresh.Config->Width;
  Config->Height = fresh.Config->Height;
  return true;
}

// ---------------------------------------------------------------- clock

vtClockSource vtDemoSystem::ClockSource() const {
  if (manualClock_) return vtClockSource::Manual;
  if (Music->Timer && Music->Stream != 0) return vtClockSource::Music;
  return vtClockSource::System;
}

void vtDemoSystem::SetManualTime(float ms) {
  manualClock_ = true;
  manualTime_ = ms;
}

float vtDemoSystem::ClockReading() const {
  if (ClockSource() == vtClockSource::Manual) return manualTime_;
  if (timerClock_) return TimerReading();
  if (ClockSource() == vtClockSource::Music)
    return static_cast<float>(Music->Bytes2Seconds(Music->GetPosition()) * 1000.0);
  // Signed difference: right across the timer's wrap-around and below zero.
  return static_cast<float>(static_cast<std::int32_t>(platform::TimeGetTime() - StartTick));
}

float vtDemoSystem::TimerReading() const {
  const auto elapsed = static_cast<std::int32_t>(platform::TimeGetTime() - timerTick_);
  return timerBase_ + static_cast<float>(elapsed) * speed_;
}

float vtDemoSystem::TimeNow() const { return Running ? ClockReading() : PausedAt; }

void vtDemoSystem::UpdateClock() {
  if (!Running) return;
  CurrentTime = ClockReading();
  // Music shorter than the demo: the time goes on where the music ended.
  if (ClockSource() == vtClockSource::Music && !timerClock_ && Music->AtEnd())
    StartTimerClock(CurrentTime);
}

// Moves the system or manual clock; while paused the paused time moves
// with it, so Resume continues from the moved time.
void vtDemoSystem::MoveClock(float deltaMs) {
  if (!Running) {
    PausedAt += deltaMs;
    CurrentTime = PausedAt;
    return;
  }
  if (ClockSource() == vtClockSource::Manual)
    manualTime_ += deltaMs;
  else
    StartTick -= static_cast<std::uint32_t>(static_cast<std::int32_t>(deltaMs));
}

// The music moves by the same milliseconds as the picture, in bytes of its
// own stream; a backward move stops at the stream's start.
void vtDemoSystem::MoveMusic(float deltaMs) {
  if (Music->Stream == 0) return;
  const std::uint64_t position = Music->GetPosition();
  const std::uint64_t bytes = Music->Seconds2Bytes(std::abs(deltaMs) / 1000.0);
  if (deltaMs < 0)
    Music->SetPosition(bytes > position ? 0 : position - bytes);
  else
    Music->SetPosition(position + bytes);
}

// The system clock goes back only while the demo time is above zero, so
// the demo time never falls below minus one step.
void vtDemoSystem::SeekBackward(std::int32_t step) {
  const float delta = -static_cast<float>(step);
  if (timerClock_) {
    SeekTo(TimeNow() + delta);
    return;
  }
  if (ClockSource() == vtClockSource::Music) {
    MoveMusic(delta);
    return;
  }
  if (CurrentTime <= 0) return;
  MoveClock(delta);
  MoveMusic(delta);
}

void vtDemoSystem::SeekForward(std::int32_t step) {
  const float delta = static_cast<float>(step);
  if (timerClock_) {
    SeekTo(TimeNow() + delta);
    return;
  }
  if (ClockSource() == vtClockSource::Music) {
    // Past the end of music shorter than the demo the demo goes on.
    const float target = TimeNow() + delta;
    if (target >= MusicLengthMs() && MusicLengthMs() < DemoEndTime)
      SeekTo(target);
    else
      MoveMusic(delta);
    return;
  }
  if (CurrentTime >= DemoEndTime) return;
  MoveClock(delta);
  MoveMusic(delta);
}

void vtDemoSystem::Pause() {
  paused_ = true;
  if (ClockSource() == vtClockSource::Music && !timerClock_) {
    Music->Stop();  // the clock stands still with the position
    return;
  }
  if (!Running) return;
  PausedAt = ClockReading();
  CurrentTime = PausedAt;
  Running = false;
  if (Music->Stream != 0) Music->Stop();
}

void vtDemoSystem::Resume() {
  paused_ = false;
  if (ClockSource() == vtClockSource::Music && !timerClock_) {
    Music->Play();
    return;
  }
  if (Running) return;
  Running = true;
  SetClockTo(PausedAt);
  if (Music->Stream != 0 && speed_ == 1) Music->Play();
}

// ---------------------------------------------------------------- time control

float vtDemoSystem::MusicLengthMs() const {
  if (Music->Stream == 0) return 0;
  return static_cast<float>(Music->Bytes2Seconds(Music->LengthBytes()) * 1000.0);
}

// The music's position := ms, or its end when ms lies past it.
void vtDemoSystem::PlaceMusic(float ms) {
  if (Music->Stream == 0) return;
  const std::uint64_t bytes = Music->Seconds2Bytes(std::max(0.0f, ms) / 1000.0);
  Music->SetPosition(std::min(bytes, Music->LengthBytes()));
}

// The running (or paused) system, manual or timer clock reads ms next.
void vtDemoSystem::SetClockTo(float ms) {
  if (!Running) {
    PausedAt = ms;
  } else if (ClockSource() == vtClockSource::Manual) {
    manualTime_ = ms;
  } else if (timerClock_) {
    timerBase_ = ms;
    timerTick_ = platform::TimeGetTime();
  } else {
    StartTick = platform::TimeGetTime() - static_cast<std::uint32_t>(static_cast<std::int32_t>(ms));
  }
}

void vtDemoSystem::StartTimerClock(float from) {
  // The music clock pauses by its stopped music; the timer by Running.
  if (!timerClock_ && paused_) Running = false;
  timerClock_ = true;
  SetClockTo(from);
  CurrentTime = from;
}

void vtDemoSystem::ReturnToMusicClock() {
  timerClock_ = false;
  Running = true;
  if (!paused_) Music->Play();
}

void vtDemoSystem::MoveTimeTo(float ms) {
  PlaceMusic(ms);
  const bool musicClock = ClockSource() == vtClockSource::Music && speed_ == 1;
  if (musicClock && ms < MusicLengthMs()) {
    if (timerClock_) ReturnToMusicClock();  // the position set above is the time
  } else if (musicClock || timerClock_) {
    StartTimerClock(ms);
  } else {
    SetClockTo(ms);
  }
  CurrentTime = ms;
  lastTime_ = ms;
}

void vtDemoSystem::SeekTo(float ms) { MoveTimeTo(std::clamp(ms, 0.0f, std::max(0.0f, DemoEndTime))); }

void vtDemoSystem::SetSpeed(float rate) {
  if (!(rate > 0) || rate == speed_) return;
  if (ClockSource() == vtClockSource::Manual) {
    speed_ = rate;
    return;
  }
  const float now = TimeNow();
  const bool fromOne = speed_ == 1;
  if (fromOne && Music->Stream != 0) Music->Stop();  // silent at any other rate
  if (rate != 1) {
    StartTimerClock(now);  // anchored at the old rate's reading
    speed_ = rate;
    return;
  }
  speed_ = 1;
  if (ClockSource() == vtClockSource::System) {
    timerClock_ = false;
    MoveTimeTo(now);
    if (!paused_ && Music->Stream != 0) Music->Play();
  } else {
    MoveTimeTo(now);  // back to the music clock (which plays) unless past the music
  }
}

void vtDemoSystem::SetLoopStart(float ms) {
  loop_.HasStart = true;
  loop_.Start = ms;
}

void vtDemoSystem::SetLoopEnd(float ms) {
  loop_.HasEnd = true;
  loop_.End = ms;
}

void vtDemoSystem::ClearLoop() { loop_ = vtLoopSpan(); }

void vtDemoSystem::WrapLoop() {
  const float previous = lastTime_;
  lastTime_ = CurrentTime;
  if (loop_.Active() && previous <= loop_.End && CurrentTime > loop_.End) SeekTo(loop_.Start);
}

std::int32_t vtDemoSystem::CalcFps(float) {
  const std::uint32_t now = platform::TimeGetTime();
  if (now - FpsTick >= 1000) {
    FpsTick = now;
    Fps = FrameCount;
    FrameCount = 0;
  }
  ++FrameCount;
  return Fps;
}

// ---------------------------------------------------------------- chart

// The time the chart spans: the end time, or without a positive one the
// latest line end, so the chart never divides by zero.
float vtDemoSystem::ChartSpan() const {
  if (DemoEndTime > 0) return DemoEndTime;
  float latest = 0;
  for (auto& item : Items)
    for (auto& line : item->Lines) latest = std::max(latest, line->EndTime);
  return latest > 0 ? latest : 1.0f;
}

bool vtDemoSystem::ChartTimeAt(float fx, float fy, float& ms) const {
  const float x = fx * kChartScreenWidth;
  const float y = (1.0f - fy) * kChartScreenHeight;
  const float span = ChartSpan();
  ms = std::clamp((x - kChartLeft) / kChartWidth, 0.0f, 1.0f) * span;
  const float bottom = kChartTop - kRowHeight * static_cast<float>(Items.size());
  return x >= kChartLeft && x <= kChartLeft + kChartWidth && y <= kChartTop && y >= bottom;
}

void vtDemoSystem::BuildTimelineList() {
  vtLoadPhaseScope phase(vtLoadPhase::DisplayLists);
  TimelineList = glGenLists(1);
  glNewList(TimelineList, GL_COMPILE);
  BuildTimeline();
  glEndList();
}

void vtDemoSystem::BuildTimeline() {
  GlobalFunc->Begin2D(kChartScreenWidth, kChartScreenHeight);  // ended by DrawTimeline
  glEnable(GL_BLEND);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glPointSize(2.0f);
  const float span = ChartSpan();
  for (size_t i = 0; i < Items.size(); ++i) {
    const float y1 = kChartTop - kRowHeight * static_cast<float>(i);
    const float y2 = y1 - kRowHeight;
    for (auto& line : Items[i]->Lines) {
      const float x1 = ChartX(line->BeginTime, span);
      const float x2 = ChartX(line->EndTime, span);
      glColor3ub(128, 128, 128);
      glBegin(GL_POLYGON);
      glVertex2f(x1, y2);
      glVertex2f(x1, y1);
      glVertex2f(x2, y1);
      glVertex2f(x2, y2);
      glEnd();
      glDisable(GL_BLEND);
      glColor3ub(0, 0, 0);
      glBegin(GL_LINE_LOOP);
      glVertex2f(x1, y2);
      glVertex2f(x1, y1);
      glVertex2f(x2, y1);
      glVertex2f(x2, y2);
      glEnd();
      if (line->PlayType == vt_PLAY) glColor3ub(0, 255, 0);
      if (line->PlayType == vt_UNPLAY) glColor3ub(255, 0, 0);
      glBegin(GL_POINTS);
      glVertex2f(x1 + 3, y2 + 6);
      glEnd();
      glEnable(GL_BLEND);
    }
  }
  glPointSize(1.0f);
}

void vtDemoSystem::DrawTimeline() {
  if (TimelineList == 0) return;  // never built: no 2D mode to end
  glCallList(TimelineList);
  const float xc = ChartX(CurrentTime, ChartSpan());
  glColor3ub(255, 0, 0);
  glBegin(GL_LINES);
  glVertex2f(xc, kChartTop);
  glVertex2f(xc, kChartTop - kRowHeight * static_cast<float>(Items.size()));
  glEnd();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glDisable(GL_BLEND);
  GlobalFunc->End2D();
}
