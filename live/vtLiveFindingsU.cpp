#include "live/vtLiveFindingsU.h"

#include <algorithm>
#include <string_view>

#include "core/vtDemoPathU.h"

void vtLiveFindings::Take(vtFinding finding) {
  std::lock_guard<std::mutex> lock(mutex_);
  byFile_[finding.File].push_back(finding);
  new_.push_back(std::move(finding));
}

void vtLiveFindings::FileRead(const std::string& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  byFile_.erase(file);
}

std::vector<vtFinding> vtLiveFindings::TakeNew() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<vtFinding> taken;
  taken.swap(new_);
  return taken;
}

std::vector<vtFinding> vtLiveFindings::For(const std::string& file) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = byFile_.find(file);
  return found == byFile_.end() ? std::vector<vtFinding>() : found->second;
}

std::string FindingLine(const vtFinding& finding, const std::string& workDir) {
  return DemoPath(finding.File, workDir) + (finding.Line > 0 ? ":" + std::to_string(finding.Line) : std::string()) + ": " +
         (finding.Severity == vtSeverity::Error ? "error" : "warning") + ": " + finding.Text;
}

bool FindingHasItsBox(const vtFinding& finding) {
  static constexpr std::string_view kBoxed[] = {"conversion", "read-error",        "extension",
                                                "picture",    "picture-too-large", "refused-object",
                                                "torus",      "line-without-item"};
  return std::find(std::begin(kBoxed), std::end(kBoxed), finding.Code) != std::end(kBoxed);
}
