#include "live/vtLiveFindingsU.h"

#include <algorithm>
#include <string_view>

#include "check/vtLookU.h"
#include "core/vtDemoPathU.h"
#include "core/vtKeysU.h"
#include "core/vtScopeEndU.h"

namespace {

bool Same(const vtFinding& a, const vtFinding& b) {
  return a.File == b.File && a.Line == b.Line && a.Code == b.Code && a.Severity == b.Severity && a.Text == b.Text;
}

bool Holds(const std::vector<vtFinding>& findings, const vtFinding& finding) {
  return std::any_of(findings.begin(), findings.end(), [&](const vtFinding& held) { return Same(held, finding); });
}

void Touch(std::vector<std::string>& touched, const std::string& file) {
  if (std::find(touched.begin(), touched.end(), file) == touched.end()) touched.push_back(file);
}

thread_local bool t_looking = false;  // this thread reads a file for its look

// The look-only rules for the file, by its extension (the reader's own,
// exactly). A look that cannot read adds nothing: the loader reports it.
void Look(const std::string& file) {
  const size_t dot = file.find_last_of('.');
  const vtKeyTable* table = dot == std::string::npos ? nullptr : KeyTableFor(file.substr(dot + 1));
  if (!table) return;
  t_looking = true;
  const auto looked = OnScopeEnd([] { t_looking = false; });
  try {
    LookAtLines(file, *table);
  } catch (const std::exception&) {
    // nothing looked at: the loader reports a file it cannot read
  }
}

}  // namespace

// A finding the file already holds is not held twice: one reported before
// the file is read (a wrong extension) is not forgotten by a new read.
void vtLiveFindings::Take(vtFinding finding) {
  std::lock_guard<std::mutex> lock(mutex_);
  Touch(touched_, finding.File);
  Findings& held = byFile_[finding.File];
  if (!Holds(held, finding)) held.push_back(std::move(finding));
}

void vtLiveFindings::FileRead(const std::string& file) {
  if (t_looking) return;  // the look's own reading
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Touch(touched_, file);
    byFile_.erase(file);
  }
  Look(file);
}

std::vector<vtFinding> vtLiveFindings::TakeNew() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<vtFinding> taken;
  for (const std::string& file : touched_) {
    const auto found = byFile_.find(file);
    Findings now = found == byFile_.end() ? Findings() : found->second;
    Findings& given = given_[file];
    for (const vtFinding& finding : now)
      if (!Holds(given, finding)) taken.push_back(finding);
    if (now.empty()) {
      given_.erase(file);
    } else {
      given = std::move(now);
    }
  }
  touched_.clear();
  return taken;
}

std::vector<vtFinding> vtLiveFindings::For(const std::string& file) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = byFile_.find(file);
  return found == byFile_.end() ? std::vector<vtFinding>() : found->second;
}

std::string FindingLine(const vtFinding& finding, const std::string& workDir) {
  return FindingText(finding, DemoPath(finding.File, workDir));
}

bool FindingHasItsBox(const vtFinding& finding) {
  static constexpr std::string_view kBoxed[] = {"conversion", "read-error",        "extension",
                                                "picture",    "picture-too-large", "refused-object",
                                                "torus",      "line-without-item"};
  return std::find(std::begin(kBoxed), std::end(kBoxed), finding.Code) != std::end(kBoxed);
}
