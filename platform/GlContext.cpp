#include "platform/GlContext.h"

#include <EGL/egl.h>
#include <SDL2/SDL.h>
#include <errno.h>

#include <atomic>
#include <cstdio>

namespace platform {

namespace {

std::atomic<unsigned> g_withoutContext{0};

}  // namespace

// SDL is asked only while its video runs: asked otherwise it replaces its
// last error text, which the window's messages quote.
bool GlContextCurrent() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_GL_GetCurrentContext() != nullptr) return true;
  return eglGetCurrentContext() != EGL_NO_CONTEXT;
}

bool CanReleaseGlObjects() {
  if (GlContextCurrent()) return true;
  if (g_withoutContext++ == 0) {
    std::fprintf(stderr, "%s: GL objects released with no OpenGL context current are left alone\n",
                 program_invocation_short_name);
    std::fflush(stderr);
  }
  return false;
}

unsigned ReleasesWithoutGlContext() { return g_withoutContext.load(); }

}  // namespace platform
