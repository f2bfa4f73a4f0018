// The load log "data\Vortane.log": silent until the demo script switches it
// on, then every entry is written and flushed at once, so the file holds
// every entry so far even if the program dies.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class vtLog {
 public:
  vtLog();  // StartTime := the system timer
  ~vtLog();
  vtLog(const vtLog&) = delete;
  vtLog& operator=(const vtLog&) = delete;

  std::uint32_t StartTime;
  bool Enabled = false;

  // Creates the log anew and writes the banner and header. When the file
  // cannot be created, or later cannot be written, a warning names it and
  // logging stays off.
  void Open();
  void WriteLine(const std::string& s);
  void WriteBlank() { WriteLine(std::string()); }
  void Info(const std::string& msg, const std::string& where);
  void Debug(const std::string& msg, const std::string& where);

  std::string FilePath() const;  // WorkDir + "\data\Vortane.log"

 private:
  std::uint32_t Elapsed() const;
  std::FILE* file_ = nullptr;
};

extern std::unique_ptr<vtLog> GlobalLog;

// Says why a file the demo names cannot be used, beside whatever box the
// loader shows (the box texts stay as they are): one line on standard
// error, "<program>: <text>", and, when the log is on, an Info entry from
// `where`. The one path for such reasons. Main thread.
void vtReportFileProblem(const std::string& text, const std::string& where);
