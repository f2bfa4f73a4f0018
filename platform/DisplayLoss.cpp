#include "platform/DisplayLoss.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

// Lock-free, so signal handlers may set them.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> quitPending{false};  // taken by TakeQuitRequest
std::atomic<bool> ending{false};       // a quit signal arrived or MarkEnding ran

void OnQuitSignal(int) {
  ending = true;
  quitPending = true;
}

// Keeps a signal's disposition when it is ignored; otherwise (the default,
// or SDL's handler from an earlier start of its event loop) takes it over.
void TakeOverUnlessIgnored(int signal, void (*handler)(int)) {
  struct sigaction current {};
  if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
  struct sigaction wanted {};
  wanted.sa_handler = handler;
  sigemptyset(&wanted.sa_mask);
  wanted.sa_flags = SA_RESTART;
  sigaction(signal, &wanted, nullptr);
}

void WriteToStderr(const char* text, int length) {
  while (length > 0) {
    ssize_t written = ::write(STDERR_FILENO, text, static_cast<size_t>(length));
    if (written <= 0) return;
    text += written;
    length -= static_cast<int>(written);
  }
}

// Called by Xlib on the thread whose call found the connection broken.
// Must not return (Xlib would exit) and must not touch any display.
int OnBrokenConnection(Display* display) {
  if (ending) ::_exit(0);
  char line[256];
  int length = std::snprintf(line, sizeof line,
                             "vortane: lost the display: the connection to X server \"%s\" broke\n",
                             display ? XDisplayString(display) : "");
  if (length >= static_cast<int>(sizeof line)) {  // a very long name: cut, still one line
    length = sizeof line - 1;
    line[length - 1] = '\n';
  }
  if (length > 0) WriteToStderr(line, length);
  ::_exit(1);
}

}  // namespace

void WatchDisplay() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  XSetIOErrorHandler(OnBrokenConnection);
  TakeOverUnlessIgnored(SIGINT, OnQuitSignal);
  TakeOverUnlessIgnored(SIGTERM, OnQuitSignal);
  TakeOverUnlessIgnored(SIGHUP, OnQuitSignal);
  TakeOverUnlessIgnored(SIGPIPE, SIG_IGN);
}

bool TakeQuitRequest() { return quitPending.exchange(false); }

void MarkEnding() { ending = true; }

}  // namespace platform
