#include <gtest/gtest.h>

#include "layers/vtLSysU.h"
#include "support/TestGlobals.h"

namespace {

std::unique_ptr<vtLayerKey> Key(std::uint32_t time, float x, std::int32_t mode = 0) {
  auto key = std::make_unique<vtLayerKey>();
  key->Time = time;
  key->Position = {x, 2 * x};
  key->Interpolation = mode;
  key->Angle = x / 2;
  key->Size = {x + 10, x + 20};
  key->Color = {x, x, x, x};
  return key;
}

vtLayer LayerWith(std::vector<std::unique_ptr<vtLayerKey>> keys) {
  vtLayer layer;
  layer.Keys.emplace(std::move(keys));
  return layer;
}

vtLayer TwoKeys(std::int32_t mode) {
  std::vector<std::unique_ptr<vtLayerKey>> keys;
  keys.push_back(Key(1000, 0, mode));
  keys.push_back(Key(3000, 200, mode));
  return LayerWith(std::move(keys));
}

class LayerKeysTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::ResetGlobals(); }
};

TEST_F(LayerKeysTest, LinearHalfwayAndNothingAtOrOutsideTheKeys) {
  vtLayer layer = TwoKeys(0);
  vtLayerKey v;
  ASSERT_TRUE(layer.ValuesAt(2000, v));
  EXPECT_FLOAT_EQ(v.Position.X, 100);
  EXPECT_FLOAT_EQ(v.Position.Y, 200);
  EXPECT_FLOAT_EQ(v.Angle, 50);
  EXPECT_FLOAT_EQ(v.Size.X, 110);
  EXPECT_FLOAT_EQ(v.Size.Y, 120);
  EXPECT_FLOAT_EQ(v.Color.A, 100);
  for (float t : {0.0f, 500.0f, 1000.0f, 3000.0f, 3000.5f, 1e9f}) EXPECT_FALSE(layer.ValuesAt(t, v)) << t;
}

TEST_F(LayerKeysTest, SineCurvesAndUnknownModes) {
  vtLayerKey v;
  ASSERT_TRUE(TwoKeys(1).ValuesAt(2000, v));
  EXPECT_NEAR(v.Position.X, 141.42, 0.01);
  ASSERT_TRUE(TwoKeys(2).ValuesAt(2000, v));
  EXPECT_NEAR(v.Position.X, 58.58, 0.01);
  for (std::int32_t mode : {3, -1}) {
    ASSERT_TRUE(TwoKeys(mode).ValuesAt(2000, v));
    const float all[] = {v.Position.X, v.Position.Y, v.Angle, v.Size.X, v.Size.Y,
                         v.Color.R,    v.Color.G,    v.Color.B, v.Color.A};
    for (float value : all) EXPECT_EQ(value, 0) << "mode " << mode;
  }
}

TEST_F(LayerKeysTest, ThreeKeysTakeTheFramingPairAndTheEarlierKeysMode) {
  std::vector<std::unique_ptr<vtLayerKey>> keys;
  keys.push_back(Key(0, 0, 2));
  keys.push_back(Key(1000, 100, 0));
  keys.push_back(Key(2000, 300, 1));
  vtLayer layer = LayerWith(std::move(keys));
  std::size_t a = 9, b = 9;
  ASSERT_TRUE(layer.SelectKeys(1500, a, b));
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 2u);
  vtLayerKey v;
  ASSERT_TRUE(layer.ValuesAt(1500, v));
  EXPECT_FLOAT_EQ(v.Position.X, 200);  // linear, key 1's mode
}

TEST_F(LayerKeysTest, LayersWithoutTwoFramingKeysAreNotDrawn) {
  vtLayerKey v;
  vtLayer noBlock;
  EXPECT_FALSE(noBlock.ValuesAt(10, v));
  EXPECT_FALSE(LayerWith({}).ValuesAt(10, v));
  std::vector<std::unique_ptr<vtLayerKey>> one;
  one.push_back(Key(1000, 5));
  vtLayer single = LayerWith(std::move(one));
  for (float t : {0.0f, 1000.0f, 2000.0f}) EXPECT_FALSE(single.ValuesAt(t, v));
}

TEST_F(LayerKeysTest, EqualKeyTimesAreSkippedInsteadOfDividingByZero) {
  std::vector<std::unique_ptr<vtLayerKey>> keys;
  keys.push_back(Key(0, 0));
  keys.push_back(Key(1000, 10));
  keys.push_back(Key(1000, 20));
  keys.push_back(Key(2000, 30));
  vtLayer layer = LayerWith(std::move(keys));
  vtLayerKey v;
  EXPECT_FALSE(layer.ValuesAt(1000, v));
  ASSERT_TRUE(layer.ValuesAt(1500, v));
  EXPECT_FLOAT_EQ(v.Position.X, 25);
}

TEST_F(LayerKeysTest, TimesBeyondFloatPrecisionNeverWrapTheDifference) {
  std::vector<std::unique_ptr<vtLayerKey>> keys;
  keys.push_back(Key(16777216, 0));
  keys.push_back(Key(16777217, 10));  // the same float as the key before
  vtLayerKey v;
  EXPECT_FALSE(LayerWith(std::move(keys)).ValuesAt(16777216.0f, v));
}

TEST_F(LayerKeysTest, DescendingKeysDrawWhatTheSelectionYields) {
  std::vector<std::unique_ptr<vtLayerKey>> keys;
  keys.push_back(Key(3000, 0));
  keys.push_back(Key(1000, 200));
  vtLayer layer = LayerWith(std::move(keys));
  vtLayerKey v;
  ASSERT_TRUE(layer.ValuesAt(2000, v));  // from key 1 (1000 ms) to key 0 (3000 ms)
  EXPECT_FLOAT_EQ(v.Position.X, 100);
  EXPECT_FALSE(layer.ValuesAt(500, v));
  EXPECT_FALSE(layer.ValuesAt(4000, v));
}

TEST_F(LayerKeysTest, KeyText) {
  vtLayerKey key;
  key.Time = 1000;
  key.Position = {512.25f, 384.5f};
  key.Interpolation = 1;
  key.Angle = 45.5f;
  key.Size = {256, 128};
  key.Color = {255, 255, 255, 127.5f};
  EXPECT_EQ(key.ToString(),
            "key: 1000\rposition: x=512.25 y=384.5\rinterpolation: 1\rangle: 45.5"
            "\rsize:x=256 y=128\rcolor:r=255 g=255 b=255 a=127.5");
  EXPECT_EQ(vtLayerKey().ToString(),
            "key: 0\rposition: x=0 y=0\rinterpolation: 0\rangle: 0\rsize:x=0 y=0\rcolor:r=0 g=0 b=0 a=1");
}

TEST_F(LayerKeysTest, FactoryMakesAnUnloadedLayerSystem) {
  auto item = CreateRenderItem(vt_2D_VTL, "dir\\title.vtl");
  auto* layers = dynamic_cast<vtLayerSystem*>(item.get());
  ASSERT_NE(layers, nullptr);
  EXPECT_EQ(layers->ItemType, vt_2D_VTL);
  EXPECT_EQ(layers->FileName, "dir\\title.vtl");
  EXPECT_FALSE(layers->Loaded);
  EXPECT_TRUE(layers->Layers.empty());
}

}  // namespace
