// How the program ends when told to from outside: its display connection
// breaking, or a quit signal.
//
// Xlib answers a broken connection by calling exit(1). exit runs static
// destructors and atexit handlers, and one that asks the dead connection to
// close a window waits for the answer for ever. Here a broken connection
// ends the process at once (_exit) instead: nothing talks to the display
// again, no clean-up and no destructor runs. Files lose nothing already
// flushed (the log flushes every entry as it writes it).
#pragma once

namespace platform {

// Installs, once per process (later calls do nothing):
// - the handler of a broken X connection, for every display the process
//   opens (SDL's, the GL driver's, a message box's): it writes one line,
//   "vortane: lost the display: ...", on standard error and ends the
//   process with status 1; once the program is ending (MarkEnding, or a
//   quit signal has arrived) it ends it with status 0 and says nothing;
// - SIGINT, SIGTERM and SIGHUP as quit requests (TakeQuitRequest), except
//   a signal that is ignored (started under nohup); SDL then leaves them
//   alone;
// - SIGPIPE ignored, so that writing to a dead connection fails (and
//   reaches the handler above) instead of killing the process.
// Main thread, before any display is opened (StartVideo calls it).
void WatchDisplay();

// True once after a quit signal arrived (PollWindowEvent turns it into a
// Quit event), then false until the next one. Any thread.
bool TakeQuitRequest();

// The program has left its loop the normal way and is closing its window:
// a display lost from now on ends it with status 0, quietly, without the
// rest of the clean-up. Main thread.
void MarkEnding();

}  // namespace platform
