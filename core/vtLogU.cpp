#include "core/vtLogU.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "core/vtWorkDirU.h"
#include "platform/Clock.h"
#include "platform/Files.h"

std::unique_ptr<vtLog> GlobalLog;

namespace {
std::string NowFormatted(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &local);
  return buf;
}
}  // namespace

vtLog::vtLog() : StartTime(platform::TimeGetTime()) {}

vtLog::~vtLog() {
  if (file_) std::fclose(file_);
}

std::string vtLog::FilePath() const {
  std::string workDir = WorkDir();
  return workDir + "\\data\\Vortane.log";
}

std::uint32_t vtLog::Elapsed() const { return platform::TimeGetTime() - StartTime; }

void vtLog::Open() {
  if (file_) std::fclose(file_);
  file_ = platform::OpenFile(FilePath(), "wb");
  if (!file_) {
    Enabled = false;
    if (GlobalFunc) GlobalFunc->ShowWarning("Cannot create the log file: " + FilePath());
    return;
  }
  Enabled = true;
  WriteLine("Vortane Delphi Logger");
  WriteLine("Date: " + NowFormatted("%d.%m.%Y"));
  WriteLine("Time: " + NowFormatted("%H:%M:%S") + " " + std::to_string(Elapsed()));
  WriteBlank();
}

// A log that cannot be written (a full disk) must not stop the demo: it
// says so once and stays off, like one that cannot be created.
void vtLog::WriteLine(const std::string& s) {
  if (!Enabled || !file_) return;
  if (std::fwrite(s.data(), 1, s.size(), file_) == s.size() && std::fwrite("\r\n", 1, 2, file_) == 2 &&
      std::fflush(file_) == 0)
    return;
  Enabled = false;
  std::fclose(file_);
  file_ = nullptr;
  if (GlobalFunc) GlobalFunc->ShowWarning("Cannot write the log file: " + FilePath());
}

void vtLog::Info(const std::string& msg, const std::string& where) {
  WriteLine("* INFO * : @ " + std::to_string(Elapsed()) + " MSG : " + msg + " IN : " + where);
}

void vtLog::Debug(const std::string& msg, const std::string& where) {
  WriteLine("* DEBUG * : @ " + std::to_string(Elapsed()) + " MSG : " + msg + " IN : " + where);
}

void vtReportFileProblem(const std::string& text, const std::string& where) {
  if (!FindingsPrinted()) {  // else the finding says it
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
    std::fflush(stderr);
  }
  if (GlobalLog) GlobalLog->Info(text, where);
}
