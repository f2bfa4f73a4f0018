// The signals the display watch takes over: each quit signal becomes one
// Quit event, an ignored one stays ignored, and a write to a dead
// connection fails instead of killing the process. (A broken X connection
// itself is tested end to end: tests/e2e/player_display_loss.sh.) Every
// case runs in a child process, because signal dispositions are
// process-wide.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/DisplayLoss.h"
#include "platform/Window.h"

namespace {

// The child's exit status (0 when body held), or 128 + the signal it died of.
int StatusOfChild(const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

bool IsIgnored(int signal) {
  struct sigaction current {};
  return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

TEST(DisplayWatch, EachQuitSignalBecomesOneQuitEvent) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    int status = StatusOfChild([signal] {
      platform::WatchDisplay();
      ::raise(signal);
      platform::WindowEvent event;
      return platform::PollWindowEvent(event) && event.Kind == platform::WindowEventKind::Quit &&
             !platform::TakeQuitRequest();
    });
    EXPECT_EQ(status, 0) << strsignal(signal);
  }
}

TEST(DisplayWatch, AnIgnoredHangupStaysIgnored) {
  int status = StatusOfChild([] {
    ::signal(SIGHUP, SIG_IGN);  // started under nohup
    platform::WatchDisplay();
    ::raise(SIGHUP);
    return IsIgnored(SIGHUP) && !platform::TakeQuitRequest();
  });
  EXPECT_EQ(status, 0);
}

TEST(DisplayWatch, WritingToAClosedConnectionFailsInsteadOfKilling) {
  int status = StatusOfChild([] {
    platform::WatchDisplay();
    int ends[2];
    if (::pipe(ends) != 0) return false;
    ::close(ends[0]);
    return ::write(ends[1], "x", 1) == -1 && errno == EPIPE;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
