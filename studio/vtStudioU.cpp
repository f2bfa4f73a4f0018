#include "studio/vtStudioU.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/vtFuncU.h"
#include "platform/AudioDecoder.h"
#include "platform/Files.h"
#include "runtime/vtDSysU.h"
#include "studio/vtStudioJsonU.h"

using nlohmann::json;

namespace {

constexpr std::size_t kMaxMessageBytes = 4096;  // a longer message is cut for the page

std::string TagName(vtType tag) { return GlobalFunc ? GlobalFunc->NameFromType(tag) : std::string(); }

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The script's music as an engine path, also when no audio output could
// be opened for it (the waveform is read all the same); "" without music.
std::string MusicPath(const vtBass& music) {
  if (!music.FileName.empty()) return music.FileName;
  if (music.Named.empty()) return "";
  return (GlobalFunc ? GlobalFunc->WorkDir : platform::CurrentDirectory()) + "\\" + music.Named;
}

bool SameFile(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && platform::CanonicalPath(a) == platform::CanonicalPath(b);
}

}  // namespace

vtStudio::vtStudio(vtDemoSystem& demo) : demo_(demo), server_(exchange_) { commands_.reserve(64); }

vtStudio::~vtStudio() { Stop(); }

bool vtStudio::Start(int port, std::string& error) {
  PublishTimeline();
  AfterFrame();
  if (!server_.Start(port, error)) return false;
  StartWaveform();
  return true;
}

void vtStudio::Stop() {
  server_.Stop();
  StopWaveform();
}

void vtStudio::BeforeFrame() {
  exchange_.TakeCommands(commands_);
  for (const vtStudioCommand& command : commands_) {
    switch (command.Kind) {
      case vtStudioCommandKind::Seek: demo_.SeekTo(command.Value); break;
      case vtStudioCommandKind::Pause: demo_.Pause(); break;
      case vtStudioCommandKind::Resume: demo_.Resume(); break;
      case vtStudioCommandKind::Speed: demo_.SetSpeed(command.Value); break;
      case vtStudioCommandKind::Loop:
        demo_.ClearLoop();
        demo_.SetLoopStart(command.Value);
        demo_.SetLoopEnd(command.To);
        break;
      case vtStudioCommandKind::ClearLoop: demo_.ClearLoop(); break;
    }
  }
}

void vtStudio::AfterFrame() {
  vtStudioState state;
  state.TimeMs = demo_.CurrentTime;
  state.EndMs = std::max(0.0f, demo_.DemoEndTime);
  state.Paused = demo_.Paused();
  state.Speed = demo_.Speed();
  const vtLoopSpan& loop = demo_.Loop();
  state.Loop = loop.Active();
  state.LoopFrom = loop.Start;
  state.LoopTo = loop.End;
  exchange_.PublishState(state);
}

void vtStudio::PostMessage(const std::string& kind, const std::string& caption, const std::string& text,
                           float demoTimeMs) {
  std::string shown = ReplaceAll(ShortPath(text), "\r", "\n");
  if (shown.size() > kMaxMessageBytes) shown = shown.substr(0, kMaxMessageBytes) + "...";
  if (kind == "panic" || kind == "warning") lastAlarm_ = shown;
  exchange_.PostEvent("message", Dump({{"kind", kind},
                                       {"caption", caption},
                                       {"text", shown},
                                       {"time_ms", std::round(demoTimeMs)}}));
}

void vtStudio::Reloaded(int index, const std::string& status, const std::string& file) {
  const bool isItem = index >= 0 && static_cast<std::size_t>(index) < demo_.Items.size();
  if (isItem && status != "removed") {
    ItemNote& note = notes_[demo_.Items[static_cast<std::size_t>(index)].get()];
    note.Status = status;
    note.Message = status == "failed" ? lastAlarm_ : std::string();
  }
  exchange_.PostEvent("reload", Dump({{"index", index}, {"status", status}, {"file", ShortPath(file)}}));
  PublishTimeline();
  const std::string music = MusicPath(*demo_.Music);
  if (server_.Running() && (music != waveformMusic_ || SameFile(file, music))) StartWaveform();
}

vtTimeline vtStudio::BuildTimeline() const {
  vtTimeline timeline;
  timeline.EndMs = std::max(0.0f, demo_.DemoEndTime);
  for (const auto& item : demo_.Items) {
    vtTimelineItem shown;
    shown.Type = TagName(item->ItemType);
    shown.File = ShortPath(item->FileName);
    const auto note = notes_.find(item.get());
    if (note != notes_.end()) {
      shown.Status = note->second.Status;
      shown.Message = note->second.Message;
    } else {
      shown.Status = item->LoadFailed ? "failed" : "loaded";
      shown.Message = ReplaceAll(ShortPath(item->LoadError), "\r", "\n");
    }
    for (const auto& line : item->Lines)
      shown.Lines.push_back({line->BeginTime, line->EndTime, line->TimeMode, TagName(line->PlayType)});
    timeline.Items.push_back(std::move(shown));
  }
  return timeline;
}

void vtStudio::PublishTimeline() {
  // Notes of items no longer in the demo go (their objects are gone).
  for (auto it = notes_.begin(); it != notes_.end();) {
    const bool kept = std::any_of(demo_.Items.begin(), demo_.Items.end(),
                                  [&](const auto& item) { return item.get() == it->first; });
    it = kept ? std::next(it) : notes_.erase(it);
  }
  exchange_.PublishTimeline(std::make_shared<const vtTimeline>(BuildTimeline()));
}

// The music is decoded a second time, on the worker: the playing stream is
// the audio thread's and stays untouched.
void vtStudio::StartWaveform() {
  StopWaveform();
  waveformMusic_ = MusicPath(*demo_.Music);
  if (waveformMusic_.empty()) {
    exchange_.PublishWaveform(std::make_shared<const vtWaveform>());
    return;
  }
  exchange_.WaveformPending();
  stopWaveform_ = false;
  waveformWorker_ = std::thread([this, path = waveformMusic_] {
    auto wave = std::make_shared<vtWaveform>();
    if (auto decoder = platform::OpenAudioFile(path)) {
      if (!ReadWaveform(*decoder, *wave, &stopWaveform_)) return;
    }
    exchange_.PublishWaveform(std::move(wave));
  });
}

void vtStudio::StopWaveform() {
  stopWaveform_ = true;
  if (waveformWorker_.joinable()) waveformWorker_.join();
}

// The script's spelling of an engine path: the work folder left out.
std::string vtStudio::ShortPath(const std::string& enginePath) const {
  if (!GlobalFunc || GlobalFunc->WorkDir.empty()) return enginePath;
  return ReplaceAll(enginePath, GlobalFunc->WorkDir + "\\", "");
}
