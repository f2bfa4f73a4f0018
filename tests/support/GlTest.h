// Tests that draw: one offscreen Mesa context for the whole test program,
// made current and reset to a known state before each test.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/OffscreenGL.h"

namespace testsupport {

// The shared context (created on first use), sized width x height; a new
// size recreates it.
platform::OffscreenGL& SharedGl(int width = 256, int height = 256);

using Rgba = std::array<std::uint8_t, 4>;

class GlTest : public ::testing::Test {
 protected:
  // Override to choose the frame-buffer size.
  virtual int Width() const { return 256; }
  virtual int Height() const { return 256; }

  void SetUp() override;

  // Pixel (x, y), origin bottom left as in OpenGL.
  Rgba Pixel(int x, int y) const;
  std::vector<std::uint8_t> Pixels() const;
  bool Enabled(GLenum cap) const { return glIsEnabled(cap) == GL_TRUE; }
  GLint GetInt(GLenum name) const;
  float GetFloat(GLenum name) const;
  std::array<float, 4> GetFloat4(GLenum name) const;
  std::array<float, 16> Matrix(GLenum name) const;  // GL_MODELVIEW_MATRIX, ...
  GLenum Error() const { return glGetError(); }
};

// A test that plays demos: fresh program-wide objects (the working
// directory at SetUp is the demo's), the font, and the OpenGL state the
// player starts a demo in.
class DemoGlTest : public GlTest {
 protected:
  void SetUp() override;
};

// Resets the state a test may rely on: default OpenGL state, viewport the
// whole buffer, both matrices identity, buffers cleared to black.
void ResetGlState(int width, int height);

}  // namespace testsupport
