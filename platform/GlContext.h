// Whether OpenGL may be called on this thread, for the code that releases
// GL objects. A display list or texture deleted after its context has gone
// (an object outliving the window, released at static destruction) is a
// call into a driver that owes it nothing; it is skipped and counted
// instead, so that tests can prove the shutdown order.
//
// Threads: any; each call answers for the calling thread.
#pragma once

namespace platform {

// A context is current on this thread: the window's or an offscreen one.
bool GlContextCurrent();

// Asked before deleting GL objects. True when a context is current; false
// otherwise, and then the caller leaves the objects alone: the release is
// counted and, the first time, said in one line on standard error.
bool CanReleaseGlObjects();

// Releases that found no context, in the whole process so far.
unsigned ReleasesWithoutGlContext();

}  // namespace platform
