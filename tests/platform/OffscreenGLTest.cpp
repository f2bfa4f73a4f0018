#include <gtest/gtest.h>

#include "support/GlTest.h"

namespace {

using testsupport::GlTest;

TEST_F(GlTest, OffscreenContextClearsAndReadsBack) {
  EXPECT_NE(glGetString(GL_VERSION), nullptr);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  auto p = Pixel(10, 10);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(GetInt(GL_DEPTH_BITS), 24);
}

}  // namespace
