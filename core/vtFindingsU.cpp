#include "core/vtFindingsU.h"

#include <atomic>

#include "core/vtTextU.h"

namespace {

std::atomic<vtFindingSink*> g_sink{nullptr};
thread_local const vtFindingPlace* t_place = nullptr;
thread_local bool t_muted = false;

vtFindingSink* Sink() { return t_muted ? nullptr : g_sink.load(); }

}  // namespace

const char* SeverityName(vtSeverity severity) { return severity == vtSeverity::Error ? "error" : "warning"; }

std::string FindingText(const vtFinding& finding, const std::string& file) {
  return file + (finding.Line > 0 ? ":" + std::to_string(finding.Line) : std::string()) + ": " +
         SeverityName(finding.Severity) + ": " + finding.Text;
}

void vtFindingList::Take(vtFinding finding) {
  std::lock_guard<std::mutex> lock(mutex_);
  findings_.push_back(std::move(finding));
}

std::vector<vtFinding> vtFindingList::Findings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return findings_;
}

vtFindingsScope::vtFindingsScope(vtFindingSink& sink) : previous_(g_sink.exchange(&sink)) {}

vtFindingsScope::~vtFindingsScope() { g_sink.store(previous_); }

vtFindingPlace::vtFindingPlace(const std::string& file, std::int32_t line)
    : file_(file), line_(line), previous_(t_place) {
  t_place = this;
}

vtFindingPlace::~vtFindingPlace() { t_place = previous_; }

vtFindingsMuted::vtFindingsMuted() : previous_(t_muted) { t_muted = true; }

vtFindingsMuted::~vtFindingsMuted() { t_muted = previous_; }

void ReportFileRead(const std::string& file) {
  if (vtFindingSink* sink = Sink()) sink->FileRead(file);
}

bool FindingsPrinted() {
  const vtFindingSink* sink = Sink();
  return sink && sink->Prints();
}

bool InFindingPlace() { return t_place != nullptr; }

bool FindingsWanted() { return !t_muted && g_sink.load(std::memory_order_relaxed) != nullptr; }

void ReportFinding(vtFinding finding) {
  vtFindingSink* sink = Sink();
  if (!sink) return;
  if (finding.File.empty() && t_place) {
    finding.File = t_place->file_;
    finding.Line = t_place->line_;
  }
  sink->Take(std::move(finding));
}

void NoteLine(const vtText& reader, std::string code, vtSeverity severity, std::string text) {
  if (FindingsWanted())
    ReportFinding({reader.FileName(), reader.LineNumber, std::move(code), severity, std::move(text)});
}
