// The log survives its writer: a player killed with SIGKILL leaves every
// entry it had written, and a log that can no longer be written (a full
// disk) stops with a warning instead of stopping the demo.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "platform/MessageBox.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::TempDir;

std::string Entry(std::uint32_t n) { return "entry " + std::to_string(n) + " of the child"; }

// The child: logs the entries one after another, tells the parent each
// one's number through the pipe once Info has returned, then waits to be
// killed (on a pipe nobody writes to).
[[noreturn]] void LogThenWait(std::uint32_t entries, int signalFd, int waitFd) {
  GlobalLog->Open();
  for (std::uint32_t n = 1; n <= entries; ++n) {
    GlobalLog->Info(Entry(n), "LogDurability.Child");
    if (::write(signalFd, &n, sizeof n) != sizeof n) ::_exit(3);
  }
  char never = 0;
  for (;;)
    if (::read(waitFd, &never, 1) <= 0) ::_exit(4);
}

// Reads one entry number from the child; false at the end of the pipe.
bool NextSignal(int fd, std::uint32_t& n) {
  std::size_t got = 0;
  while (got < sizeof n) {
    const ssize_t r = ::read(fd, reinterpret_cast<char*>(&n) + got, sizeof n - got);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

class LogDurability : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetGlobals();
    GlobalFunc->WorkDir = dir_.Path();
    ::mkdir(dir_.File("data").c_str(), 0755);
  }
  void TearDown() override { testsupport::ResetGlobals(); }

  TempDir dir_;
};

TEST_F(LogDurability, AKilledWriterLeavesEveryEntryItHadWritten) {
  constexpr std::uint32_t kEntries = 150;  // more than one stdio buffer, and a part of one
  int fds[2], hold[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::pipe(hold), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(fds[0]);
    ::close(hold[1]);
    LogThenWait(kEntries, fds[1], hold[0]);
  }
  ::close(fds[1]);
  ::close(hold[0]);
  std::uint32_t last = 0;
  for (std::uint32_t n = 0; last < kEntries && NextSignal(fds[0], n);) {
    ASSERT_EQ(n, last + 1);
    last = n;
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(fds[0]);
  ::close(hold[1]);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  ASSERT_EQ(last, kEntries) << "the child stopped early";

  // Every entry the child had reported is there, whole and in order.
  const std::string log = testsupport::ReadFileText(dir_.File("data/Vortane.log"));
  ASSERT_EQ(log.rfind("Vortane Delphi Logger\r\n", 0), 0u);
  std::size_t at = 0;
  for (std::uint32_t n = 1; n <= kEntries; ++n) {
    const std::size_t found = log.find(" MSG : " + Entry(n) + " IN : LogDurability.Child\r\n", at);
    ASSERT_NE(found, std::string::npos) << "entry " << n << " is missing";
    at = found + 1;
  }
}

TEST_F(LogDurability, AFullDiskWarnsOnceAndLoggingStopsQuietly) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(::symlink("/dev/full", dir_.File("data/Vortane.log").c_str()), 0);
  platform::MessageBoxRecorder boxes;
  GlobalLog->Open();
  GlobalLog->Info("lost", "LogDurability");
  GlobalLog->WriteBlank();
  EXPECT_FALSE(GlobalLog->Enabled);
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Icon, platform::MsgIcon::Warning);
  EXPECT_NE(boxes.Calls()[0].Text.find("Cannot write the log file: " + dir_.Path() + "\\data\\Vortane.log"),
            std::string::npos)
      << boxes.Calls()[0].Text;
}

}  // namespace
