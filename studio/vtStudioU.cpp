#include "studio/vtStudioU.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/vtDemoPathU.h"
#include "core/vtFuncU.h"
#include "core/vtWorkDirU.h"
#include "edit/vtDocumentU.h"
#include "live/vtLiveFindingsU.h"
#include "live/vtReloadU.h"
#include "platform/AudioDecoder.h"
#include "platform/Files.h"
#include "platform/StagedFile.h"
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
  return WorkDir() + "\\" + music.Named;
}

// The kind of a message as the page reads it.
const char* KindName(vtConsoleKind kind) {
  switch (kind) {
    case vtConsoleKind::Debug: return "debug";
    case vtConsoleKind::Information: return "information";
    case vtConsoleKind::Warning: return "warning";
    case vtConsoleKind::Panic: return "panic";
  }
  return "information";
}

bool SameFile(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && platform::CanonicalPath(a) == platform::CanonicalPath(b);
}

}  // namespace

vtStudio::vtStudio(vtDemoSystem& demo) : demo_(demo), server_(exchange_) { commands_.reserve(64); }

vtStudio::~vtStudio() { Stop(); }

bool vtStudio::Start(int port, std::string& error) {
  const std::string script = platform::CanonicalPath(demo_.ScriptName.empty() ? "data\\x" : demo_.ScriptName);
  exchange_.PublishFolders(platform::CanonicalPath(GlobalFunc ? GlobalFunc->WorkDir : "."),
                           script.substr(0, script.rfind('/')));
  PublishTimeline();
  PublishState();
  if (!server_.Start(port, error)) return false;
  StartWaveform();
  return true;
}

void vtStudio::Stop() {
  server_.Stop();
  StopWaveform();
}

void vtStudio::SetReloads(vtReloadController* reloads) {
  if (reloads_) reloads_->SetSkipChange(nullptr);
  reloads_ = reloads;
  if (reloads_) reloads_->SetSkipChange([this](const std::string& file) { return SkipOwnWrite(file); });
}

void vtStudio::BeforeFrame() {
  exchange_.TakeEdits(edits_);
  for (const auto& [ticket, edit] : edits_) exchange_.FinishEdit(ticket, ApplyEdit(edit));
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
  ++frames_;
  PublishState();
}

void vtStudio::PublishState() {
  vtStudioState state;
  state.TimeMs = demo_.CurrentTime;
  state.EndMs = std::max(0.0f, demo_.DemoEndTime);
  state.Paused = demo_.Paused();
  state.Speed = demo_.Speed();
  const vtLoopSpan& loop = demo_.Loop();
  state.Loop = loop.Active();
  state.LoopFrom = loop.Start;
  state.LoopTo = loop.End;
  state.Frames = frames_;
  exchange_.PublishState(state);
}

void vtStudio::PostMessage(vtConsoleKind kind, const std::string& caption, const std::string& text,
                           float demoTimeMs) {
  const std::string shown = PageText(text);
  exchange_.PostEvent("message", Dump({{"kind", KindName(kind)},
                                       {"caption", caption},
                                       {"text", shown},
                                       {"time_ms", std::round(demoTimeMs)}}));
}

void vtStudio::Reloaded(const vtReloadEvent& event) {
  // The reload of the player's own write is no news from outside.
  if (event.What == vtReloadEvent::Status::Reloaded && !reloadingOwn_.empty() &&
      platform::CanonicalPath(event.File) == reloadingOwn_)
    return;
  const bool isItem = event.ItemIndex >= 0 && static_cast<std::size_t>(event.ItemIndex) < demo_.Items.size();
  if (isItem && event.What != vtReloadEvent::Status::Removed) {
    const bool failed = event.What == vtReloadEvent::Status::Failed;
    notes_[demo_.Items[static_cast<std::size_t>(event.ItemIndex)]->Serial] =
        ItemNote{event.What, failed ? PageText(event.Message) : std::string()};
  }
  // A picture comes as its canonical path ("/home/me/demo/data/a.png"): named
  // as the demo writes it too.
  exchange_.PostEvent("reload", Dump({{"index", event.ItemIndex},
                                      {"status", StatusName(event.What)},
                                      {"file", DemoPath(event.File)}}));
  PublishTimeline();
  const std::string music = MusicPath(*demo_.Music);
  if (server_.Running() && (music != waveformMusic_ || SameFile(event.File, music))) StartWaveform();
}

vtTimeline vtStudio::BuildTimeline() const {
  vtTimeline timeline;
  timeline.EndMs = std::max(0.0f, demo_.DemoEndTime);
  timeline.ScriptFile = ShortPath(demo_.ScriptName);
  timeline.ScriptVersion = FileVersion(demo_.ScriptName);
  for (const auto& item : demo_.Items) {
    vtTimelineItem shown;
    shown.Type = TagName(item->ItemType);
    shown.File = ShortPath(item->FileName);
    shown.Version = FileVersion(item->FileName);
    using Status = vtReloadEvent::Status;
    Status status = item->LoadFailed ? Status::Failed : Status::Loaded;
    shown.Message = PageText(item->LoadError);
    const auto note = notes_.find(item->Serial);
    if (note != notes_.end()) {
      status = note->second.Status;
      shown.Message = note->second.Message;
    }
    const bool missing = status == Status::Loaded && !platform::IsRegularFile(item->FileName);
    shown.Status = missing ? "missing" : StatusName(status);
    if (findings_)
      for (const vtFinding& f : findings_->For(item->FileName))
        shown.Findings.push_back({f.Line, SeverityName(f.Severity), f.Code, f.Text});
    for (const auto& line : item->Lines)
      shown.Lines.push_back({line->BeginTime, line->EndTime, line->TimeMode, TagName(line->PlayType)});
    timeline.Items.push_back(std::move(shown));
  }
  return timeline;
}

void vtStudio::PublishTimeline() {
  // Notes of items no longer in the demo go.
  for (auto it = notes_.begin(); it != notes_.end();) {
    const bool kept = std::any_of(demo_.Items.begin(), demo_.Items.end(),
                                  [&](const auto& item) { return item->Serial == it->first; });
    it = kept ? std::next(it) : notes_.erase(it);
  }
  exchange_.PublishTimeline(std::make_shared<const vtTimeline>(BuildTimeline()));
}

// ---------------------------------------------------------------- edits

vtStudioReply vtStudio::ApplyEdit(const vtStudioEdit& edit) {
  if (edit.Kind == vtStudioEditKind::Layers) return ReadLayers(edit.Item);
  const vtEditResult result = RunEdit(edit);
  if (result.Status != 200) return {result.Status, {{"error", ShortPath(result.Why)}}};
  ReloadOwnWrite(result);
  return {200, TimelineJson(*exchange_.Timeline())};
}

vtEditResult vtStudio::RunEdit(const vtStudioEdit& edit) {
  const std::string& script = demo_.ScriptName;
  switch (edit.Kind) {
    case vtStudioEditKind::Line:
      return editor_.EditLine(script, edit.Version, edit.Item, edit.Line, [&](vtRenderLineValues& values) {
        values.Begin = edit.Begin;
        values.End = edit.End;
        if (edit.Mode) values.Mode = *edit.Mode;
        if (edit.Play) values.Play = *edit.Play;
      });
    case vtStudioEditKind::LineAdd:
      return editor_.AddLine(script, edit.Version, edit.Item,
                             {edit.Begin, edit.End, edit.Mode.value_or(0), edit.Play.value_or("vt_PLAY")});
    case vtStudioEditKind::LineDelete: return editor_.DeleteLine(script, edit.Version, edit.Item, edit.Line);
    case vtStudioEditKind::ItemAdd: {
      std::string file = edit.File, why;
      if (!CheckItemFile(exchange_.WorkFolder(), exchange_.DemoFolder(), edit.Type, file, why))
        return vtEditResult::Fail(400, why);
      return editor_.AddItem(script, edit.Version, edit.To, edit.Type, file);
    }
    case vtStudioEditKind::ItemDelete: return editor_.DeleteItem(script, edit.Version, edit.Item);
    case vtStudioEditKind::ItemMove: return editor_.MoveItem(script, edit.Version, edit.Item, edit.To);
    case vtStudioEditKind::Key:
    case vtStudioEditKind::KeyAdd:
    case vtStudioEditKind::KeyDelete: return RunKeyEdit(edit);
    case vtStudioEditKind::Layers: break;
    case vtStudioEditKind::Undo: return editor_.Undo();
    case vtStudioEditKind::Redo: return editor_.Redo();
  }
  return vtEditResult::Fail(400, "unknown edit");
}

namespace {

void SetKeyValues(const vtStudioEdit& edit, vtKeyValues& values) {
  const auto& v = edit.KeyValues;
  if (v[0]) values.Time = static_cast<std::uint32_t>(*v[0]);
  float* const floats[] = {nullptr, &values.X, &values.Y, nullptr, &values.Angle, &values.Width,
                           &values.Height, &values.R, &values.G, &values.B, &values.A};
  for (int i = 1; i < 11; ++i)
    if (v[i] && floats[i]) *floats[i] = static_cast<float>(*v[i]);
  if (v[3]) values.Interpolation = static_cast<std::int32_t>(*v[3]);
}

}  // namespace

// The layer file of a vt_2D_VTL item; "" with the refusal otherwise.
std::string vtStudio::LayerFile(int item, vtEditResult& refusal) const {
  if (item < 0 || static_cast<std::size_t>(item) >= demo_.Items.size()) {
    refusal = vtEditResult::Fail(404, "no item " + std::to_string(item));
    return "";
  }
  const vtRenderItem& found = *demo_.Items[static_cast<std::size_t>(item)];
  if (TagName(found.ItemType) != "vt_2D_VTL") {
    refusal = vtEditResult::Fail(400, "item " + std::to_string(item) + " is no vt_2D_VTL item");
    return "";
  }
  return found.FileName;
}

vtEditResult vtStudio::RunKeyEdit(const vtStudioEdit& edit) {
  vtEditResult refusal;
  const std::string file = LayerFile(edit.Item, refusal);
  if (file.empty()) return refusal;
  const auto set = [&](vtKeyValues& values) { SetKeyValues(edit, values); };
  if (edit.Kind == vtStudioEditKind::Key) return editor_.EditKey(file, edit.Version, edit.Layer, edit.Key, set);
  if (edit.Kind == vtStudioEditKind::KeyAdd) return editor_.AddKey(file, edit.Version, edit.Layer, set);
  return editor_.DeleteKey(file, edit.Version, edit.Layer, edit.Key);
}

// {"file", "version", "layers": [{"index", "source", "keys": [{...}]}]}
vtStudioReply vtStudio::ReadLayers(int item) {
  vtEditResult result;
  const std::string file = LayerFile(item, result);
  if (file.empty()) return {result.Status, {{"error", result.Why}}};
  vtLayerModel model;
  std::string version;
  result = editor_.ReadLayers(file, model, version);
  if (result.Status != 200) return {result.Status, {{"error", ShortPath(result.Why)}}};
  json layers = json::array();
  for (std::size_t i = 0; i < model.Layers.size(); ++i) {
    json keys = json::array();
    for (const vtLayerKeyEntry& key : model.Layers[i].Keys) {
      const vtKeyValues& v = key.Values;
      // Singles as the file writes them (0.1, not 0.100000001).
      const auto d = [](float f) { return std::stod(FormatSingle(f)); };
      const double values[11] = {static_cast<double>(v.Time), d(v.X), d(v.Y), static_cast<double>(v.Interpolation),
                                 d(v.Angle), d(v.Width), d(v.Height), d(v.R), d(v.G), d(v.B), d(v.A)};
      json shown = json::object();
      for (int n = 0; n < 11; ++n) shown[kKeyValueNames[n]] = values[n];
      keys.push_back(std::move(shown));
    }
    layers.push_back({{"index", i}, {"source", model.Layers[i].Source}, {"keys", std::move(keys)}});
  }
  return {200, {{"file", ShortPath(file)}, {"version", version}, {"layers", std::move(layers)}}};
}

// The written file is reloaded now, so the next frame shows it; the
// watch's news of the same write is dropped later (SkipOwnWrite).
void vtStudio::ReloadOwnWrite(const vtEditResult& written) {
  const std::string canonical = platform::CanonicalPath(written.File);
  ownWrites_[canonical] = written.Version;
  if (reloads_) {
    reloadingOwn_ = canonical;
    reloads_->FileChanged(written.File);
    reloadingOwn_.clear();
  }
  PublishTimeline();
  exchange_.PostEvent("edit", Dump({{"file", ShortPath(written.File)}, {"version", written.Version}}));
}

// True while the file holds the bytes the player wrote last (the watch may
// report one write more than once); another content is news.
bool vtStudio::SkipOwnWrite(const std::string& enginePath) {
  const auto own = ownWrites_.find(platform::CanonicalPath(enginePath));
  if (own == ownWrites_.end()) return false;
  std::string bytes, why;
  if (platform::ReadWholeFile(enginePath, bytes, why) && DocumentVersion(bytes) == own->second) return true;
  ownWrites_.erase(own);
  return false;
}

// Read again only when the file is not the one last hashed.
std::string vtStudio::FileVersion(const std::string& enginePath) const {
  struct stat st;
  if (enginePath.empty() || ::stat(platform::ResolvePath(enginePath).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    versions_.erase(enginePath);
    return "";
  }
  KnownVersion now{static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                   st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec,
                   st.st_ctim.tv_sec * 1000000000ll + st.st_ctim.tv_nsec, ""};
  KnownVersion& known = versions_[enginePath];
  if (!known.Version.empty() && known.Inode == now.Inode && known.Size == now.Size &&
      known.ModifiedNs == now.ModifiedNs && known.ChangedNs == now.ChangedNs)
    return known.Version;
  std::string bytes, why;
  if (!platform::ReadWholeFile(enginePath, bytes, why)) return "";
  now.Version = DocumentVersion(bytes);
  known = now;
  return known.Version;
}

// The music is decoded a second time, on a worker: the playing stream is
// the audio thread's and stays untouched. A reading still going on is told
// to stop and left to end by itself: no frame waits for a file.
void vtStudio::StartWaveform() {
  for (auto& reading : readings_) reading->Stop = true;
  readings_.erase(std::remove_if(readings_.begin(), readings_.end(),
                                 [](const auto& reading) {
                                   if (!reading->Done) return false;
                                   reading->Worker.join();  // it has ended
                                   return true;
                                 }),
                  readings_.end());
  waveformMusic_ = MusicPath(*demo_.Music);
  if (waveformMusic_.empty()) {
    exchange_.PublishWaveform(std::make_shared<const vtWaveform>());
    return;
  }
  exchange_.WaveformPending();
  readings_.push_back(std::make_unique<WaveformReading>());
  WaveformReading& reading = *readings_.back();
  reading.Worker = std::thread([this, &reading, path = waveformMusic_] {
    auto wave = std::make_shared<vtWaveform>();
    std::unique_ptr<platform::AudioDecoder> decoder;
    if (!reading.Stop) decoder = platform::OpenAudioFile(path);
    const bool whole = !decoder || ReadWaveform(*decoder, *wave, &reading.Stop);
    if (whole && !reading.Stop) exchange_.PublishWaveform(std::move(wave));
    reading.Done = true;
  });
}

void vtStudio::StopWaveform() {
  for (auto& reading : readings_) reading->Stop = true;
  for (auto& reading : readings_) reading->Worker.join();
  readings_.clear();
}

// A message as the page shows it: short paths, line breaks, cut when huge.
std::string vtStudio::PageText(const std::string& text) const {
  std::string shown = ReplaceAll(ShortPath(text), "\r", "\n");
  if (shown.size() > kMaxMessageBytes) shown = shown.substr(0, kMaxMessageBytes) + "...";
  return shown;
}

// The script's spelling of an engine path: the work folder left out.
std::string vtStudio::ShortPath(const std::string& enginePath) const {
  return GlobalFunc ? WithoutWorkDir(enginePath, GlobalFunc->WorkDir) : enginePath;
}
