// Captures what OpenGL is sent, through the feedback render mode: each
// primitive after transformation and clipping, with window coordinates,
// colour and texture coordinates per vertex.
#pragma once

#include <GL/gl.h>

#include <array>
#include <functional>
#include <vector>

namespace testsupport {

struct FbVertex {
  float X, Y, Z;                // window coordinates (Z in 0..1)
  std::array<float, 4> Color;   // RGBA
  std::array<float, 4> Tex;     // s, t, r, q
};

struct FbPrimitive {
  GLenum Token;  // GL_POINT_TOKEN, GL_LINE_TOKEN, GL_LINE_RESET_TOKEN, GL_POLYGON_TOKEN
  std::vector<FbVertex> Vertices;
};

// Runs draw in GL_FEEDBACK mode (GL_3D_COLOR_TEXTURE) and returns the
// primitives it produced. Nothing reaches the frame buffer.
std::vector<FbPrimitive> CaptureFeedback(const std::function<void()>& draw);

// Number of captured primitives with this token.
int CountTokens(const std::vector<FbPrimitive>& prims, GLenum token);

}  // namespace testsupport
