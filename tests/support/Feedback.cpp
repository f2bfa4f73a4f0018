#include "support/Feedback.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

constexpr size_t kFloatsPerVertex = 11;  // x y z, r g b a, s t r q

FbVertex ReadVertex(const float* f) {
  return {f[0], f[1], f[2], {f[3], f[4], f[5], f[6]}, {f[7], f[8], f[9], f[10]}};
}

}  // namespace

std::vector<FbPrimitive> CaptureFeedback(const std::function<void()>& draw) {
  std::vector<GLfloat> buffer(1 << 21);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint count = glRenderMode(GL_RENDER);
  EXPECT_GE(count, 0) << "feedback buffer overflow";

  std::vector<FbPrimitive> prims;
  size_t pos = 0;
  const size_t end = count > 0 ? static_cast<size_t>(count) : 0;
  while (pos < end) {
    FbPrimitive prim{static_cast<GLenum>(buffer[pos++]), {}};
    size_t vertices = 0;
    switch (prim.Token) {
      case GL_POINT_TOKEN: vertices = 1; break;
      case GL_LINE_TOKEN:
      case GL_LINE_RESET_TOKEN: vertices = 2; break;
      case GL_POLYGON_TOKEN: vertices = static_cast<size_t>(buffer[pos++]); break;
      case GL_PASS_THROUGH_TOKEN: ++pos; continue;
      default: vertices = 1; break;  // bitmap and pixel tokens carry one vertex
    }
    for (size_t v = 0; v < vertices && pos + kFloatsPerVertex <= end; ++v, pos += kFloatsPerVertex)
      prim.Vertices.push_back(ReadVertex(&buffer[pos]));
    prims.push_back(std::move(prim));
  }
  return prims;
}

int CountTokens(const std::vector<FbPrimitive>& prims, GLenum token) {
  int n = 0;
  for (const FbPrimitive& p : prims) n += p.Token == token;
  return n;
}

}  // namespace testsupport
