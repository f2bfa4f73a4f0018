// What the readers notice about the files they read: findings.
//
// A reader reports each finding (file, line, code, severity, text) to the
// one sink installed by a vtFindingsScope. Without a sink, as in the
// player, findings are dropped, and readers skip the checks that only look
// (FindingsWanted) so that playing costs nothing more.
//
// Threads: Report and FindingsWanted on any thread (a sink's Take must
// therefore be safe on any thread; vtFindingList locks). A scope is made and
// ended on one thread while no load runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class vtText;

enum class vtSeverity { Warning, Error };

struct vtFinding {
  std::string File;       // as the reader named it
  std::int32_t Line = 0;  // 1-based; 0 for a finding about the whole file
  std::string Code;       // a short stable name of the kind of finding
  vtSeverity Severity = vtSeverity::Warning;
  std::string Text;
};

class vtFindingSink {
 public:
  virtual ~vtFindingSink() = default;
  virtual void Take(vtFinding finding) = 0;
  // True when the sink prints every finding: the lines that the loaders
  // print about unusable files would only repeat them.
  virtual bool Prints() const { return false; }
  // A file is being read again: what was found in it before is outdated.
  virtual void FileRead(const std::string& file) { (void)file; }
};

// Collects findings in the order they came.
class vtFindingList : public vtFindingSink {
 public:
  explicit vtFindingList(bool prints = false) : prints_(prints) {}
  void Take(vtFinding finding) override;
  bool Prints() const override { return prints_; }
  std::vector<vtFinding> Findings() const;

 private:
  const bool prints_;
  mutable std::mutex mutex_;  // guards findings_
  std::vector<vtFinding> findings_;
};

// Installs a sink for its lifetime (the one before it comes back after).
class vtFindingsScope {
 public:
  explicit vtFindingsScope(vtFindingSink& sink);
  ~vtFindingsScope();
  vtFindingsScope(const vtFindingsScope&) = delete;
  vtFindingsScope& operator=(const vtFindingsScope&) = delete;

 private:
  vtFindingSink* previous_;
};

// Where a finding reported without a file goes: the file and line that
// named the thing being loaded (a picture named on a line of a layer
// file). For the calling thread, for the scope's lifetime.
class vtFindingPlace {
 public:
  vtFindingPlace(const std::string& file, std::int32_t line);
  ~vtFindingPlace();
  vtFindingPlace(const vtFindingPlace&) = delete;
  vtFindingPlace& operator=(const vtFindingPlace&) = delete;

 private:
  friend void ReportFinding(vtFinding finding);
  const std::string& file_;
  std::int32_t line_;
  const vtFindingPlace* previous_;
};

// Keeps what this thread reads from the installed sink for the scope's
// lifetime: a copy read only to check it is no file of the demo, and its
// findings would name a file that is gone once the check ends.
class vtFindingsMuted {
 public:
  vtFindingsMuted();
  ~vtFindingsMuted();
  vtFindingsMuted(const vtFindingsMuted&) = delete;
  vtFindingsMuted& operator=(const vtFindingsMuted&) = delete;

 private:
  bool previous_;
};

// "error" or "warning", as every listing of findings names them.
const char* SeverityName(vtSeverity severity);
// "FILE:LINE: error|warning: text", FILE as given, no LINE for a finding
// about the whole file.
std::string FindingText(const vtFinding& finding, const std::string& file);

bool FindingsWanted();  // a sink is installed and this thread is not muted
bool FindingsPrinted();  // the installed sink Prints()
bool InFindingPlace();   // this thread has a vtFindingPlace
// To the installed sink, if any; an empty File takes the thread's place.
void ReportFinding(vtFinding finding);
void ReportFileRead(const std::string& file);  // to the installed sink, if any
// A finding about the reader's current line.
void NoteLine(const vtText& reader, std::string code, vtSeverity severity, std::string text);
