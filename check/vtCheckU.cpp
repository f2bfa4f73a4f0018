#include "check/vtCheckU.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <nlohmann/json.hpp>

#include "check/vtLookU.h"
#include "core/vtDemoPathU.h"
#include "core/vtKeysU.h"
#include "core/vtWorkDirU.h"
#include "platform/AudioDecoder.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/OffscreenGL.h"
#include "resources/vtTextures.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtStartU.h"

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// The extension of the files of each item kind.
const char* ExtensionOf(vtType type) {
  switch (type) {
    case vt_2D_VTL: return "vtl";
    case vt_3D_ASE: return "ase";
    case vt_SKY: return "vtk";
    case vt_TRANS: return "vtt";
    case vt_MESH: return "vto";
    case vt_TUNNEL: return "vts";
    default: return "";
  }
}

// A name that opens here only because letter case is ignored when looking
// it up. It works, but not wherever the demo is copied as it is.
void CheckLetterCase(const std::string& enginePath, const std::string& namedIn, std::int32_t line) {
  std::string exact = enginePath;
  std::replace(exact.begin(), exact.end(), '\\', '/');
  std::error_code ec;
  if (std::filesystem::exists(exact, ec) || !platform::IsRegularFile(enginePath)) return;
  ReportFinding({namedIn, line, "letter-case", vtSeverity::Warning,
                 Quote(DemoPath(enginePath)) + " is found only when letter case is ignored; on disk it is " +
                     Quote(DemoPath(platform::ResolvePath(enginePath)))});
}

void CheckMusic(const vtDemoSystem& demo) {
  const std::string& name = demo.Requests.MusicName;
  if (name.empty()) return;
  const std::string path = WorkDir() + "\\" + name;
  std::string whyNot;
  if (!platform::OpenAudioFile(path, &whyNot)) {
    ReportFinding({demo.ScriptName, demo.Requests.MusicLine, "music", vtSeverity::Error,
                   "the music " + Quote(name) + " cannot be played: " + whyNot + "; the demo runs silent"});
    return;
  }
  CheckLetterCase(path, demo.ScriptName, demo.Requests.MusicLine);
}

// Before loading: what the player would not even open.
void CheckItemFiles(const vtDemoSystem& demo) {
  for (const auto& item : demo.Items) {
    if (!platform::IsRegularFile(item->FileName)) continue;  // loading reports it
    CheckLetterCase(item->FileName, demo.ScriptName, item->Place.File);
    if (const vtKeyTable* table = KeyTableFor(ExtensionOf(item->ItemType))) LookAtLines(item->FileName, *table);
  }
}

// Loads every item as the player's start does, in an offscreen context.
void LoadItems(vtDemoSystem& demo) {
  platform::OffscreenGL gl(64, 64);
  if (!gl.Ok()) {
    ReportFinding({demo.ScriptName, 0, "no-gl", vtSeverity::Error,
                   "the items were not loaded: no offscreen OpenGL context (" + gl.Error() + ")"});
    return;
  }
  ActivateGlState(gl.Width(), gl.Height());
  demo.Init();
  for (const auto& item : demo.Items) {
    std::vector<const vtTexture*> pictures;
    item->ListTextures(pictures);
    for (const vtTexture* picture : pictures)
      if (picture->Id != 0) CheckLetterCase(WorkDir() + "\\" + picture->FileName, item->FileName, 0);
  }
  demo.Items.clear();  // their GL objects go with the context
}

bool Draws(const vtItemLine& line, float endTime) {
  return (line.PlayType == vt_PLAY || line.PlayType == vt_UNPLAY) && line.BeginTime <= line.EndTime &&
         line.BeginTime <= endTime && line.EndTime >= 0;
}

void CheckLine(const vtDemoSystem& demo, const vtItemLine& line) {
  auto note = [&](const char* code, const std::string& text) {
    ReportFinding({demo.ScriptName, line.SourceLine, code, vtSeverity::Warning, text});
  };
  const std::string begin = std::to_string(static_cast<long>(line.BeginTime)) + " ms";
  const std::string end = std::to_string(static_cast<long>(line.EndTime)) + " ms";
  if (line.PlayType != vt_PLAY && line.PlayType != vt_UNPLAY)
    note("play-type", "the line's tag is neither \"vt_PLAY\" nor \"vt_UNPLAY\": it never draws");
  else if (line.BeginTime > line.EndTime)
    note("begin-after-end", "the line begins at " + begin + ", after its end at " + end + ": it never draws");
  else if (line.BeginTime > demo.DemoEndTime)
    note("past-end", "the line begins at " + begin + ", after the demo's end time (" +
                         std::to_string(static_cast<long>(demo.DemoEndTime)) + " ms): it never draws");
}

void CheckTimeline(const vtDemoSystem& demo) {
  if (demo.Items.empty()) return;
  if (demo.DemoEndTime < 0)
    ReportFinding({demo.ScriptName, 0, "no-end-time", vtSeverity::Warning,
                   "the script sets no VT_DEMO_ENDTIME: the demo ends at once"});
  for (const auto& item : demo.Items) {
    bool draws = false;
    for (const auto& line : item->Lines) {
      CheckLine(demo, *line);
      draws = draws || Draws(*line, demo.DemoEndTime);
    }
    if (!draws)
      ReportFinding({demo.ScriptName, item->Place.File, "never-drawn", vtSeverity::Warning,
                     "the item " + Quote(DemoPath(item->FileName)) + " is never drawn: no line of it shows"});
  }
}

vtCheckResult Collect(const std::vector<vtFinding>& findings, const std::string& scriptPath) {
  vtCheckResult result;
  std::map<std::string, size_t> fileOrder{{scriptPath, 0}};
  for (const vtFinding& finding : findings) fileOrder.emplace(finding.File, fileOrder.size());
  result.Findings = findings;
  std::stable_sort(result.Findings.begin(), result.Findings.end(), [&](const vtFinding& a, const vtFinding& b) {
    const size_t fa = fileOrder[a.File], fb = fileOrder[b.File];
    return fa != fb ? fa < fb : a.Line < b.Line;
  });
  for (vtFinding& finding : result.Findings) {
    finding.File = DemoPath(finding.File);
    (finding.Severity == vtSeverity::Error ? result.Errors : result.Warnings) += 1;
  }
  return result;
}

}  // namespace

vtCheckResult CheckDemo(const std::string& scriptPath) {
  vtFindingList list(/*prints=*/true);
  {
    vtFindingsScope scope(list);
    platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return platform::MsgAnswer::Ok; });
    auto demo = std::make_unique<vtDemoSystem>();
    demo->ApplyRequests = false;  // no log file, no audio device
    demo->LoadThreads = 1;        // pictures load in place: their findings know their line
    LookAtLines(scriptPath, *KeyTableFor("vds"));
    if (demo->LoadScript(scriptPath)) {
      CheckMusic(*demo);
      CheckItemFiles(*demo);
      CheckTimeline(*demo);
      LoadItems(*demo);
    } else if (demo->ScriptError.empty()) {
      ReportFinding({scriptPath, 0, "missing-file", vtSeverity::Error, "the script cannot be opened"});
    }
    platform::SetMessageBoxHandler(nullptr);
  }
  return Collect(list.Findings(), scriptPath);
}

std::string FindingsText(const vtCheckResult& result) {
  std::string text;
  for (const vtFinding& f : result.Findings) text += FindingText(f, f.File) + "\n";
  auto count = [](int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
  return text + count(result.Errors, "error") + ", " + count(result.Warnings, "warning") + "\n";
}

std::string FindingsJson(const vtCheckResult& result) {
  nlohmann::json findings = nlohmann::json::array();
  for (const vtFinding& f : result.Findings)
    findings.push_back({{"file", f.File},
                        {"line", f.Line},
                        {"severity", SeverityName(f.Severity)},
                        {"code", f.Code},
                        {"text", f.Text}});
  const nlohmann::json document{{"findings", findings}, {"errors", result.Errors}, {"warnings", result.Warnings}};
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
