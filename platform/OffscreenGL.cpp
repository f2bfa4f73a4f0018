#include "platform/OffscreenGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

namespace platform {

OffscreenGL::OffscreenGL(int width, int height) : width_(width), height_(height) {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  EGLDisplay display = EGL_NO_DISPLAY;
  if (getPlatformDisplay)
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) {
    Fail("no EGL surfaceless display");
    return;
  }
  display_ = display;
  if (!eglInitialize(display, nullptr, nullptr)) {
    Fail("eglInitialize failed");
    return;
  }
  const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,  EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_RED_SIZE,     8,                EGL_GREEN_SIZE,      8,
                                  EGL_BLUE_SIZE,    8,                EGL_ALPHA_SIZE,      8,
                                  EGL_DEPTH_SIZE,   24,               EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttribs, &config, 1, &count) || count < 1) {
    Fail("no EGL config with RGBA8 and a 24-bit depth buffer");
    return;
  }
  const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display, config, surfaceAttribs);
  if (surface_ == EGL_NO_SURFACE) {
    Fail("eglCreatePbufferSurface failed");
    return;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    Fail("eglBindAPI(EGL_OPENGL_API) failed");
    return;
  }
  const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
  if (context_ == EGL_NO_CONTEXT) {
    Fail("eglCreateContext failed");
    return;
  }
  ok_ = MakeCurrent();
  if (!ok_) Fail("eglMakeCurrent failed");
}

OffscreenGL::~OffscreenGL() {
  if (!display_) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_) eglDestroyContext(display_, context_);
  if (surface_) eglDestroySurface(display_, surface_);
  // The display stays initialised: EGL displays are shared per process and
  // terminating one would pull the rug from under another context.
}

bool OffscreenGL::MakeCurrent() {
  return eglMakeCurrent(display_, surface_, surface_, context_) == EGL_TRUE;
}

void OffscreenGL::Finish() { glFinish(); }

std::vector<std::uint8_t> OffscreenGL::ReadPixels() const {
  std::vector<std::uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void OffscreenGL::ReadPixelsBgra(std::vector<std::uint8_t>& pixels) const {
  pixels.resize(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
}

bool OffscreenGL::Fail(const std::string& what) {
  error_ = what;
  ok_ = false;
  return false;
}

}  // namespace platform
