// Transformation lists: the "vtt" reading quirks and the matrix they leave.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "items/vtTransU.h"
#include "platform/MessageBox.h"
#include "runtime/vtRItemU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

using Mat = std::array<float, 16>;

// The matrix OpenGL builds for the given calls, for comparison.
template <typename F>
Mat Expected(F calls) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  calls();
  Mat m{};
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
  glLoadIdentity();
  return m;
}

void ExpectNear(const Mat& a, const Mat& b) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-4) << "element " << i;
}

class TransformTest : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    testsupport::ResetGlobals();
  }
  vtTransform& Load(const std::string& text, const std::string& name = "t.vtt") {
    item_ = std::make_unique<vtTransform>(vt_TRANS, dir_.Write(name, text));
    item_->LoadFromFile();
    return *item_;
  }
  Mat RenderedAt(float time) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    item_->Render(time);
    return Matrix(GL_MODELVIEW_MATRIX);
  }

  testsupport::TempDir dir_;
  platform::MessageBoxRecorder boxes_;
  std::unique_ptr<vtTransform> item_;
};

TEST(TransformFactoryTest, TransTagMakesATransform) {
  auto item = CreateRenderItem(vt_TRANS, "/w\\cam.vtt");
  ASSERT_NE(dynamic_cast<vtTransform*>(item.get()), nullptr);
  EXPECT_EQ(item->ItemType, vt_TRANS);
  EXPECT_EQ(item->FileName, "/w\\cam.vtt");
  EXPECT_EQ(CreateRenderItem(vt_NONE, "x"), nullptr);
  EXPECT_EQ(CreateRenderItem(vt_PLAY, "x"), nullptr);
}

TEST_F(TransformTest, StaticBlockTranslatesThenRotates) {
  auto& t = Load("VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t0 0 -6\n\t\tVT_ROTATE\t\t30 1 0 0\n}\n");
  ASSERT_EQ(t.Items.size(), 2u);
  auto* rotate = dynamic_cast<vtRotate*>(t.Items[1].get());
  ASSERT_NE(rotate, nullptr);
  EXPECT_TRUE(rotate->Static);
  EXPECT_EQ(rotate->Angle, 30.0f);
  EXPECT_EQ(rotate->Axis.X, 1.0f);
  auto expected = Expected([] {
    glTranslatef(0, 0, -6);
    glRotatef(30, 1, 0, 0);
  });
  ExpectNear(RenderedAt(0), expected);
  ExpectNear(RenderedAt(123456), expected);
}

TEST_F(TransformTest, DynamicRotationFollowsTheTime) {
  auto& t = Load("VT_DYNAMIC_TRANSFORMATION {\n VT_ROTATE  10 0 1 0\n VT_TRANSLATE 1 2 3\n}\n");
  ASSERT_EQ(t.Items.size(), 1u);  // translations count only in static blocks
  auto* rotate = dynamic_cast<vtRotate*>(t.Items[0].get());
  ASSERT_NE(rotate, nullptr);
  EXPECT_FALSE(rotate->Static);
  EXPECT_EQ(rotate->Divisor, 10);
  ExpectNear(RenderedAt(900), Expected([] { glRotatef(90, 0, 1, 0); }));
}

TEST_F(TransformTest, AngleDigitsAndTheSingleSeparatorQuirk) {
  auto& t = Load(
      "VT_STATIC_TRANSFORMATION {\nVT_ROTATE  5 0 0 1\nVT_ROTATE  180 0.5 0.25 1e1\nVT_ROTATE 45 0 1 0\n}\n");
  ASSERT_EQ(t.Items.size(), 3u);
  auto angle = [&](int i) { return dynamic_cast<vtRotate&>(*t.Items[i]).Angle; };
  auto axis = [&](int i) { return dynamic_cast<vtRotate&>(*t.Items[i]).Axis; };
  EXPECT_EQ(angle(0), 5.0f);
  EXPECT_EQ(axis(0).Z, 1.0f);
  EXPECT_EQ(angle(1), 180.0f);
  EXPECT_EQ(axis(1).X, 0.5f);
  EXPECT_EQ(axis(1).Y, 0.25f);
  EXPECT_EQ(axis(1).Z, 10.0f);
  EXPECT_EQ(angle(2), 5.0f);  // one blank: the '4' is lost
  EXPECT_EQ(axis(2).Y, 1.0f);
}

TEST_F(TransformTest, TranslateWithTwoBlanksAndMalformedComponents) {
  auto& t = Load("VT_STATIC_TRANSFORMATION {\nVT_TRANSLATE  1.5 -2 x\n}\n");
  ASSERT_EQ(t.Items.size(), 1u);
  auto& offset = dynamic_cast<vtTranslate&>(*t.Items[0]).Offset;
  EXPECT_EQ(offset.X, 1.5f);
  EXPECT_EQ(offset.Y, -2.0f);
  EXPECT_EQ(offset.Z, 0.0f);
}

TEST_F(TransformTest, ZeroDivisorTurnsLikeOne) {
  Load("VT_DYNAMIC_TRANSFORMATION {\nVT_ROTATE  0 0 0 1\n}\n");
  ExpectNear(RenderedAt(45), Expected([] { glRotatef(45, 0, 0, 1); }));
}

TEST_F(TransformTest, FileEndingInsideABlockKeepsItsSteps) {
  auto& t = Load("VT_STATIC_TRANSFORMATION {\nVT_TRANSLATE 1 0 0\n# } a comment ends the block\n"
                 "VT_TRANSLATE 9 9 9\nVT_DYNAMIC_TRANSFORMATION {\nVT_ROTATE  2 0 0 1");
  ASSERT_EQ(t.Items.size(), 2u);
  EXPECT_FALSE(t.Items[1]->Static);
}

TEST_F(TransformTest, BlocksFollowEachOtherIntoOneList) {
  auto& t = Load("VT_STATIC_TRANSFORMATION {\nVT_TRANSLATE 0 0 -5\n}\n"
                 "VT_DYNAMIC_TRANSFORMATION {\nVT_ROTATE  1 0 1 0\n}\n"
                 "VT_STATIC_TRANSFORMATION {\nVT_ROTATE  90 1 0 0\n}\n");
  ASSERT_EQ(t.Items.size(), 3u);
  ExpectNear(RenderedAt(30), Expected([] {
    glTranslatef(0, 0, -5);
    glRotatef(30, 0, 1, 0);
    glRotatef(90, 1, 0, 0);
  }));
}

TEST_F(TransformTest, TwoTransformsCompose) {
  Load("VT_STATIC_TRANSFORMATION {\nVT_TRANSLATE 1 0 0\n}\n");
  auto first = std::move(item_);
  Load("VT_STATIC_TRANSFORMATION {\nVT_ROTATE  90 0 0 1\n}\n", "u.vtt");
  glLoadIdentity();
  first->Render(0);
  item_->Render(0);
  Mat composed = Matrix(GL_MODELVIEW_MATRIX);
  ExpectNear(composed, Expected([] {
    glTranslatef(1, 0, 0);
    glRotatef(90, 0, 0, 1);
  }));
}

TEST_F(TransformTest, MissingFileOrWrongExtensionAppliesNothing) {
  item_ = std::make_unique<vtTransform>(vt_TRANS, dir_.File("none.vtt"));
  item_->LoadFromFile();
  EXPECT_TRUE(item_->Items.empty());
  ExpectNear(RenderedAt(10), Expected([] {}));
  EXPECT_TRUE(boxes_.Calls().empty());
  Load("VT_STATIC_TRANSFORMATION {\nVT_TRANSLATE 1 0 0\n}\n", "t.VTT");
  EXPECT_TRUE(item_->Items.empty());
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].Text.rfind("Bad File Format: vtt", 0), 0u);
}

TEST_F(TransformTest, MalformedAngleRaisesTheConversionError) {
  try {
    Load("VT_STATIC_TRANSFORMATION {\nVT_ROTATE  1.5 1 0 0\n}\n");
    FAIL() << "no conversion error";
  } catch (const vtConvertError& e) {
    EXPECT_STREQ(e.what(), "\"1.5\" is an invalid integer");
    EXPECT_EQ(e.LineNumber, 2);
    EXPECT_EQ(e.FileName, dir_.File("t.vtt"));
  }
}

}  // namespace
