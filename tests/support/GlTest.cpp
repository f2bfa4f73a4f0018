#include "support/GlTest.h"

#include <memory>

#include "runtime/vtFontU.h"
#include "runtime/vtStartU.h"
#include "support/TestGlobals.h"

namespace testsupport {

platform::OffscreenGL& SharedGl(int width, int height) {
  static std::unique_ptr<platform::OffscreenGL> gl;
  if (!gl || gl->Width() != width || gl->Height() != height) {
    gl.reset();
    gl = std::make_unique<platform::OffscreenGL>(width, height);
  }
  gl->MakeCurrent();
  return *gl;
}

void ResetGlState(int width, int height) {
  while (glGetError() != GL_NO_ERROR) {
  }
  const GLenum caps[] = {GL_LIGHTING, GL_LIGHT0, GL_DEPTH_TEST, GL_BLEND, GL_TEXTURE_2D,
                         GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_CULL_FACE, GL_ALPHA_TEST,
                         GL_COLOR_MATERIAL};
  for (GLenum cap : caps) glDisable(cap);
  glDepthFunc(GL_LESS);
  glBlendFunc(GL_ONE, GL_ZERO);
  glBindTexture(GL_TEXTURE_2D, 0);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glPointSize(1.0f);
  glColor4f(1, 1, 1, 1);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GlTest::SetUp() {
  auto& gl = SharedGl(Width(), Height());
  ASSERT_TRUE(gl.Ok()) << gl.Error();
  ResetGlState(Width(), Height());
}

Rgba GlTest::Pixel(int x, int y) const {
  Rgba p{};
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  return p;
}

std::vector<std::uint8_t> GlTest::Pixels() const { return SharedGl(Width(), Height()).ReadPixels(); }

GLint GlTest::GetInt(GLenum name) const {
  GLint v = 0;
  glGetIntegerv(name, &v);
  return v;
}

float GlTest::GetFloat(GLenum name) const {
  GLfloat v = 0;
  glGetFloatv(name, &v);
  return v;
}

std::array<float, 4> GlTest::GetFloat4(GLenum name) const {
  std::array<float, 4> v{};
  glGetFloatv(name, v.data());
  return v;
}

std::array<float, 16> GlTest::Matrix(GLenum name) const {
  std::array<float, 16> m{};
  glGetFloatv(name, m.data());
  return m;
}

void DemoGlTest::SetUp() {
  GlTest::SetUp();
  ResetGlobals();
  GlobalFont = std::make_unique<vtFont>();
  ActivateGlState(Width(), Height());
}

}  // namespace testsupport
