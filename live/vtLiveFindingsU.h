// The findings of the files the live player reads (core/vtFindingsU.h),
// kept per file: the studio shows a file's latest ones in its row, and each
// one the console has not shown for that file becomes a warning line (a
// file read again, unchanged, or by the studio's editor, prints nothing
// new). A file that is read again forgets what was found in it before, and
// so does the console: a finding that comes back prints again. Each file
// read is also looked
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

  // The findings of each file read or reported about since the last call
  // that the last call did not give for that file, in their order.
  std::vector<vtFinding> TakeNew();
  // The latest findings about a file, named as its reader named it.
  std::vector<vtFinding> For(const std::string& file) const;

 private:
  using Findings = std::vector<vtFinding>;

  mutable std::mutex mutex_;  // guards touched_ and byFile_
  std::vector<std::string> touched_;  // since TakeNew, each file once
  std::map<std::string, Findings> byFile_;
  std::map<std::string, Findings> given_;  // main thread: what TakeNew gave last, per file
};

// FindingText with FILE as the demo writes it (core/vtDemoPathU.h).
std::string FindingLine(const vtFinding& finding, const std::string& workDir);
// Whether the finding also has its message box (the console shows that).
bool FindingHasItsBox(const vtFinding& finding);
