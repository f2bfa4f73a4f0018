// The on-screen console: boxes become lines in the picture's corner.
#include "live/vtConsoleU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/vtFuncU.h"
#include "platform/MessageBox.h"
#include "runtime/vtOverlayU.h"
#include "support/AllocCounter.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using platform::MessageBoxCall;
using platform::MsgButtons;
using platform::MsgIcon;

MessageBoxCall Box(const std::string& caption, const std::string& text, MsgIcon icon = MsgIcon::Error) {
  return MessageBoxCall{caption, text, icon, MsgButtons::Ok};
}

class ConsoleTest : public testsupport::GlTest {
 protected:
  int Width() const override { return 320; }
  int Height() const override { return 240; }
  void SetUp() override {
    GlTest::SetUp();
    testsupport::ResetGlobals();
    console_.SetWorkDir("/home/me/demo");
  }
  void TearDown() override { console_.ReleaseFont(); }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < console_.Count(); ++i) lines.emplace_back(console_.At(i).Text, console_.At(i).Length);
    return lines;
  }
  // Pixels of the rows [y0, y1) that are not black.
  int LitPixels(int y0, int y1) const {
    int lit = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < Width(); ++x) {
        const testsupport::Rgba p = Pixel(x, y);
        lit += p[0] > 40 || p[1] > 40 || p[2] > 40;
      }
    return lit;
  }

  // Lowest and highest row holding a pixel that is not white.
  std::pair<int, int> MarkedRows() const {
    int lowest = Height(), highest = -1;
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x) {
        const testsupport::Rgba p = Pixel(x, y);
        if (p[0] > 200 && p[1] > 200 && p[2] > 200) continue;
        lowest = std::min(lowest, y);
        highest = std::max(highest, y);
      }
    return {lowest, highest};
  }

  vtConsole console_;
};

TEST_F(ConsoleTest, ABoxBecomesOneLineWithCaptionFileAndLine) {
  struct Case {
    MessageBoxCall Call;
    const char* Line;
    vtConsoleKind Kind;
  };
  const Case cases[] = {
      {Box(kCaptionPanic, "\"1x\" is an invalid float\rFile: /home/me/demo\\data\\a.vtl\rLINE: 7"),
       "VortaneF Panic: \"1x\" is an invalid float | File: data\\a.vtl | LINE: 7", vtConsoleKind::Panic},
      {Box(kCaptionWarning, "Cannot load the texture: /home/me/demo\\data\\t.png", MsgIcon::Warning),
       "VortaneE Warning: Cannot load the texture: data\\t.png", vtConsoleKind::Warning},
      {Box(kCaptionInfo, "two\r\nlines\tand \x01 control", MsgIcon::Information),
       "VortaneE Information: two | lines and  control", vtConsoleKind::Information},
      {Box("Vortane Engine", "Window creation error.", MsgIcon::Warning), "Vortane Engine: Window creation error.",
       vtConsoleKind::Warning},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    console_.Clear();
    console_.Add(c.Call, 100);
    ASSERT_EQ(console_.Count(), 1);
    EXPECT_EQ(Lines()[0], c.Line);
    EXPECT_EQ(console_.At(0).Kind, c.Kind);
  }
  console_.Add(Box(kCaptionPanic, std::string(1000, 'x')), 100);
  EXPECT_EQ(console_.At(console_.Count() - 1).Length, vtConsole::kLineChars);
}

TEST_F(ConsoleTest, AtMostEightLinesForEightSecondsEachNewestLast) {
  for (int i = 0; i < 10; ++i) console_.Add(Box(kCaptionInfo, std::to_string(i)), 1000 * i);
  ASSERT_EQ(console_.Count(), vtConsole::kMaxLines);
  EXPECT_EQ(Lines().front(), "VortaneE Information: 2");
  EXPECT_EQ(Lines().back(), "VortaneE Information: 9");
  console_.Expire(9000 + vtConsole::kShowMs - 1);
  EXPECT_EQ(console_.Count(), 1);  // only the line of 9000 is young enough
  console_.Expire(9000 + vtConsole::kShowMs);
  EXPECT_EQ(console_.Count(), 0);
}

// Attached, a box shows nothing that waits: it goes to stderr and the
// console at once; a question is still asked (here answered on stderr).
TEST_F(ConsoleTest, AttachedItTakesEveryBoxButQuestions) {
  std::vector<vtConsoleMessage> seen;
  console_.SetObserver([&](const vtConsoleMessage& m) { seen.push_back(m); });
  console_.Attach();
  console_.SetNow(100, 1234);
  testing::internal::CaptureStderr();
  GlobalFunc->Panic("bad\rFile: /home/me/demo\\x.vtl");
  const platform::MsgAnswer answer = platform::ShowMessageBox("Q", "Go on?", MsgIcon::Warning, MsgButtons::YesNo);
  const std::string err = testing::internal::GetCapturedStderr();
  console_.Detach();
  GlobalFunc->ShowInfo("after detaching");  // goes nowhere near the console
  EXPECT_EQ(answer, platform::MsgAnswer::Yes);
  EXPECT_NE(err.find("[VortaneF Panic] bad\nFile: /home/me/demo\\x.vtl"), std::string::npos) << err;
  ASSERT_EQ(console_.Count(), 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Caption, kCaptionPanic);
  EXPECT_EQ(seen[0].Line, "VortaneF Panic: bad | File: x.vtl");
  EXPECT_EQ(seen[0].DemoTime, 1234.0f);
  EXPECT_EQ(seen[0].Sequence, 1u);
}

// The lines sit in the bottom-left corner, the newest lowest, and drawing
// leaves every state it touches as it was.
TEST_F(ConsoleTest, DrawsInTheCornerAndLeavesTheGlStateAsItFoundIt) {
  console_.Add(Box(kCaptionPanic, "first"), 0);
  console_.Add(Box(kCaptionWarning, "second line"), 0);
  // A state the items may leave behind.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-3, 3, -2, 2, -1, 1);
  glMatrixMode(GL_TEXTURE);
  glEnable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glListBase(5);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  const auto projection = Matrix(GL_PROJECTION_MATRIX);
  const auto modelview = Matrix(GL_MODELVIEW_MATRIX);

  console_.Draw(10);

  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_TEXTURE);
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), modelview);
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_FALSE(Enabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_BLEND_SRC), GL_ONE);
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
  EXPECT_EQ(GetInt(GL_LIST_BASE), 5);
  EXPECT_EQ(GetFloat4(GL_CURRENT_COLOR), (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_EQ(GetInt(GL_ATTRIB_STACK_DEPTH), 0);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));

  // Panic text is red, warning text yellow: the newer (warning) line is lower.
  int lowestRed = Height(), highestYellow = -1, right = 0, upper = 0;
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) {
      const testsupport::Rgba p = Pixel(x, y);
      const bool red = p[0] > 200 && p[1] > 80 && p[1] < 150;
      const bool yellow = p[0] > 200 && p[1] > 180 && p[2] < 150;
      if (red) lowestRed = std::min(lowestRed, y);
      if (yellow) highestYellow = std::max(highestYellow, y);
      right += (red || yellow) && x >= Width() - 20;
      upper += (p[0] > 40 || p[1] > 40 || p[2] > 40) && y >= Height() / 2;
    }
  ASSERT_GE(highestYellow, 0);
  ASSERT_LT(lowestRed, Height());
  EXPECT_LT(highestYellow, lowestRed);
  EXPECT_GE(highestYellow, 6);  // above the margin
  EXPECT_EQ(right, 0);          // short lines keep to the left
  EXPECT_EQ(upper, 0);          // two lines stay in the lower corner
}

// The time overlay (F2) and the console share the bottom-left corner: while
// the overlay shows, the console's lines start above it.
TEST_F(ConsoleTest, LinesKeepClearOfTheTimeOverlay) {
  vtTimeOverlay overlay;
  overlay.RecordFrameTime(16);
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  overlay.Draw(vtOverlayInfo{});
  const int overlayTop = MarkedRows().second;
  ASSERT_GE(overlayTop, 0);
  console_.Add(Box(kCaptionWarning, "a line over the overlay"), 0);
  for (const bool overlayShown : {false, true}) {
    console_.SetBottom(overlayShown ? vtTimeOverlay::TopInPixels() : 0);
    glClear(GL_COLOR_BUFFER_BIT);
    console_.Draw(0);
    const int consoleBottom = MarkedRows().first;
    EXPECT_EQ(consoleBottom > overlayTop, overlayShown) << consoleBottom << " vs " << overlayTop;
  }
}

TEST_F(ConsoleTest, DrawingAllocatesNothingAndAnEmptyConsoleDrawsNothing) {
  console_.Draw(0);
  EXPECT_EQ(LitPixels(0, Height()), 0);
  console_.Add(Box(kCaptionPanic, "shown"), 0);
  console_.Draw(0);  // builds the font
  testsupport::NewCallCounter counter;
  for (std::uint32_t t = 0; t < 50; ++t) console_.Draw(t);
  EXPECT_EQ(counter.OwnCalls(), 0u);
}

}  // namespace
