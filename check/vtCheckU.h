// The check of a whole demo, as `vortane --check` runs it: the script and
// every file it names, read by the player's own readers with a findings
// sink installed, plus the rules that only look (vtLookU.h) and those that
// need the whole timeline.
#pragma once

#include <string>
#include <vector>

#include "core/vtFindingsU.h"

struct vtCheckResult {
  // Files relative to the demo folder as the demo writes them, the script's
  // findings first, then each file's in the order the files were read.
  std::vector<vtFinding> Findings;
  int Errors = 0;
  int Warnings = 0;
};

// Main thread, with the demo's folder as the working directory and the
// program objects made (CreateProgramObjects). Opens no window and no
// audio device: items load in an offscreen GL context; the music is only
// decoded. Message boxes are dropped meanwhile (each has its finding) and
// the default way of showing them is back afterwards.
vtCheckResult CheckDemo(const std::string& scriptPath);

// "FILE:LINE: error|warning: text" lines (no LINE for a whole file), then
// "N errors, M warnings".
std::string FindingsText(const vtCheckResult& result);
// {"findings": [{"file", "line", "severity", "code", "text"}], "errors", "warnings"}
std::string FindingsJson(const vtCheckResult& result);
