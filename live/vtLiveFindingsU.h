// The findings of the files the live player reads (core/vtFindingsU.h),
// kept per file: each new one becomes a warning line on the console, and
// the studio shows a file's latest ones in its row. A file that is read
// again forgets what was found in it before. Each file read is also looked
// at by the checker's rules that only look (check/vtLookU.h), so a file
// shows the findings `vortane --check` gives for it.
//
// Threads: Take and FileRead on any thread (loading workers read too);
// TakeNew and For on the main thread.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/vtFindingsU.h"

class vtLiveFindings : public vtFindingSink {
 public:
  void Take(vtFinding finding) override;
  void FileRead(const std::string& file) override;

  // The findings that came since the last call, in their order.
  std::vector<vtFinding> TakeNew();
  // The latest findings about a file, named as its reader named it.
  std::vector<vtFinding> For(const std::string& file) const;

 private:
  mutable std::mutex mutex_;  // guards new_ and byFile_
  std::vector<vtFinding> new_;
  std::map<std::string, std::vector<vtFinding>> byFile_;
};

// FindingText with FILE as the demo writes it (core/vtDemoPathU.h).
std::string FindingLine(const vtFinding& finding, const std::string& workDir);
// Whether the finding also has its message box (the console shows that).
bool FindingHasItsBox(const vtFinding& finding);
