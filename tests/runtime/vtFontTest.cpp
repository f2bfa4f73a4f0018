// The bitmap font: 96 lists that draw the printable characters.
#include <gtest/gtest.h>

#include "runtime/vtFontU.h"
#include "support/GlTest.h"

namespace {

class FontTest : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    font.Build(nullptr);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, Width(), 0, Height(), -1, 1);
    glColor3f(1, 1, 1);
  }
  int LitPixels() const {
    auto pixels = Pixels();
    int lit = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) lit += pixels[i] > 0;
    return lit;
  }
  vtFont font;
};

TEST_F(FontTest, BuildsNinetySixListsAndDrawsA) {
  ASSERT_NE(font.ListBase, 0u);
  EXPECT_TRUE(glIsList(font.ListBase));
  EXPECT_TRUE(glIsList(font.ListBase + 95));
  glRasterPos2i(20, 20);
  font.Print("A");
  int lit = LitPixels();
  EXPECT_GT(lit, 30);   // a bold 24-pixel glyph
  EXPECT_LT(lit, 400);  // but only one
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FontTest, RasterPositionAdvancesByOneCellPerCharacter) {
  glRasterPos2i(10, 20);
  font.Print("AB ");
  auto pos = GetFloat4(GL_CURRENT_RASTER_POSITION);
  EXPECT_NEAR(pos[0] - 10, 3 * 14.5, 3);  // monospaced cells of about 14 pixels
}

TEST_F(FontTest, CharactersOutsideTheListsDrawNothing) {
  glRasterPos2i(20, 20);
  font.Print("\xC8");
  font.Print(std::string(1, '\x07'));
  font.Print("");
  EXPECT_EQ(LitPixels(), 0);
  auto pos = GetFloat4(GL_CURRENT_RASTER_POSITION);
  EXPECT_EQ(pos[0], 20.0f);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

// A smaller font for overlays measures itself; its lists go on Release.
TEST_F(FontTest, ASmallerFontMeasuresItselfAndReleasesItsLists) {
  vtFont small;
  small.PixelHeight = 13;
  small.Build(nullptr);
  EXPECT_GT(small.Advance, 5);
  EXPECT_LT(small.Advance, font.Advance);
  EXPECT_GT(small.Descent, 0);
  EXPECT_GT(small.LineHeight, 10);
  EXPECT_LT(small.LineHeight, font.LineHeight);
  glRasterPos2i(10, 20);
  small.Print("AB ", 3);
  EXPECT_NEAR(GetFloat4(GL_CURRENT_RASTER_POSITION)[0] - 10, 3 * small.Advance, 3);
  const std::uint32_t base = small.ListBase;
  small.Release();
  EXPECT_FALSE(glIsList(base));
  EXPECT_EQ(small.ListBase, 0u);
}

}  // namespace
