#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>

#include "core/vtDemoPathU.h"
#include "core/vtLogU.h"
#include "core/vtTextU.h"
#include "layers/vtLSysU.h"
#include "platform/MessageBox.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::ReadFileText;

constexpr const char* kOneKey = "  VT_KEY 0 1 2 0 0 10 10 255 255 255 255\n";

class LayerFileTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::ResetGlobals(); }

  std::unique_ptr<vtLayerSystem> Load(const std::string& name, const std::string& text) {
    auto system = std::make_unique<vtLayerSystem>(vt_2D_VTL, dir.Write(name, text));
    system->LoadFromFile();
    return system;
  }

  std::vector<std::string> Lines(const std::string& path) {
    std::string text = ReadFileText(path);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

  testsupport::TempDir dir;
  platform::MessageBoxRecorder boxes;
};

std::unique_ptr<vtLayerKey> SampleKey() {
  auto key = std::make_unique<vtLayerKey>();
  key->Time = 1000;
  key->Position = {512.4f, 384.5f};
  key->Interpolation = 1;
  key->Angle = 45.6f;
  key->Size = {256, 128};
  key->Color = {255, 255, 255, 127.5f};
  return key;
}

TEST_F(LayerFileTest, WriterOutputReadsBackAsRoundedIntegers) {
  vtLayerSystem system(vt_2D_VTL, "");
  auto& layer = *system.Layers.emplace_back(std::make_unique<vtLayer>());
  layer.TextureSource = "logo.bmp";
  layer.BlendSFactor = 770;
  layer.BlendDFactor = 771;
  layer.Keys.emplace();
  layer.Keys->push_back(SampleKey());
  auto halves = std::make_unique<vtLayerKey>();
  halves->Time = 2000;
  halves->Position = {2.5f, 3.5f};
  halves->Angle = -2.5f;
  halves->Size = {-0.4f, -3.5f};
  layer.Keys->push_back(std::move(halves));
  system.Layers.push_back(std::make_unique<vtLayer>());  // no keys block

  const std::string path = dir.File("logo.vtl");
  ASSERT_TRUE(system.SaveToFile(path));
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "#Vortane Layer System");
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, end = 0;
  EXPECT_EQ(std::sscanf(lines[1].c_str(), "#Build %d.%d.%d %2d:%2d%n", &year, &month, &day, &hour, &minute, &end), 5);
  EXPECT_EQ(static_cast<size_t>(end), lines[1].size()) << lines[1];
  EXPECT_EQ(lines[1].find(".0"), std::string::npos) << "no leading zeros: " << lines[1];
  const std::vector<std::string> expected = {
      "",
      "VT_LAYER {",
      "\t\tVT_TEXT_SOURCE\t\t\t\"logo.bmp\"",
      "\t\tVT_BLEND_SFACTOR\t\t770",
      "\t\tVT_BLEND_DFACTOR\t\t771",
      "\t\tVT_KEYS {",
      "\t\t\tVT_KEY 1000 512 384 1 46 256 128 255 255 255 128",
      "\t\t\tVT_KEY 2000 2 4 0 -2 0 -4 0 0 0 1",
      "\t\t}",
      "}",
      "",
      "VT_LAYER {",
      "\t\tVT_TEXT_SOURCE\t\t\t\"\"",
      "\t\tVT_BLEND_SFACTOR\t\t0",
      "\t\tVT_BLEND_DFACTOR\t\t0",
      "\t\tVT_KEYS {",
      "\t\t}",
      "}",
      ""};
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), expected);

  vtLayerSystem back(vt_2D_VTL, path);
  back.LoadFromFile();  // the missing logo.bmp only warns
  ASSERT_TRUE(back.Loaded);
  ASSERT_EQ(back.Layers.size(), 2u);
  const vtLayer& read = *back.Layers[0];
  EXPECT_EQ(read.TextureSource, "logo.bmp");
  EXPECT_NE(read.Map, nullptr);
  EXPECT_EQ(read.BlendSFactor, 770);
  EXPECT_EQ(read.BlendDFactor, 771);
  ASSERT_TRUE(read.Keys && read.Keys->size() == 2);
  const vtLayerKey& k = *(*read.Keys)[0];
  EXPECT_EQ(k.Time, 1000u);
  EXPECT_EQ(k.Interpolation, 1);
  const float values[] = {k.Position.X, k.Position.Y, k.Angle, k.Size.X, k.Size.Y,
                          k.Color.R,    k.Color.G,    k.Color.B, k.Color.A};
  const float want[] = {512, 384, 46, 256, 128, 255, 255, 255, 128};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(values[i], want[i]) << i;
  EXPECT_TRUE(back.Layers[1]->Keys && back.Layers[1]->Keys->empty());
}

TEST_F(LayerFileTest, NoImageLeavesTheLayerWithoutAMapButKeepsTheName) {
  auto system = Load("plain.vtl", "VT_LAYER {\n VT_TEXT_SOURCE \"no.image\"\n}\n");
  ASSERT_TRUE(system->Loaded);
  ASSERT_EQ(system->Layers.size(), 1u);
  EXPECT_EQ(system->Layers[0]->Map, nullptr);
  EXPECT_EQ(system->Layers[0]->TextureSource, "no.image");
  EXPECT_FALSE(system->Layers[0]->Keys.has_value());
  ASSERT_TRUE(system->SaveToFile(dir.File("again.vtl")));
  EXPECT_NE(ReadFileText(dir.File("again.vtl")).find("\t\tVT_TEXT_SOURCE\t\t\t\"no.image\"\r\n"), std::string::npos);
  EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(LayerFileTest, TheKeysBlockClosesTheLayerAndCommentsAreSkipped) {
  auto system = Load("order.vtl",
                     "#Vortane Layer System\n"
                     "/* VT_LAYER {\n"
                     "   VT_BLEND_SFACTOR 5 */\n"
                     "VT_LAYER {\n"
                     "\tVT_TEXT_SOURCE\t\"no.image\"\n"
                     "\tVT_BLEND_SFACTOR\t770\n"
                     "\tVT_LAYER {\n"
                     "\tVT_KEYS {\n" +
                         std::string(kOneKey) +
                         "\t}\n"
                         "\tVT_BLEND_DFACTOR 771\n"
                         "}\n"
                         "VT_BLEND_SFACTOR 9\n");
  ASSERT_TRUE(system->Loaded);
  ASSERT_EQ(system->Layers.size(), 1u);
  const vtLayer& layer = *system->Layers[0];
  EXPECT_EQ(layer.BlendSFactor, 770);
  EXPECT_EQ(layer.BlendDFactor, 0);
  ASSERT_TRUE(layer.Keys.has_value());
  EXPECT_EQ(layer.Keys->size(), 1u);
}

TEST_F(LayerFileTest, AtMostTwoBlanksMayFollowTheKeyName) {
  auto two = Load("two.vtl", "VT_LAYER {\n VT_KEYS {\n  VT_KEY\t 1500 1 2 0 0 10 10 255 255 255 255\n }\n}\n");
  ASSERT_TRUE(two->Loaded);
  EXPECT_EQ((*two->Layers[0]->Keys)[0]->Time, 1500u);

  const std::string text = "VT_LAYER {\n VT_KEYS {\n" + std::string(kOneKey) + "  VT_KEY   1500 1 2 0 0 10 10 1 1 1 1\n }\n}\n";
  vtLayerSystem three(vt_2D_VTL, dir.Write("three.vtl", text));
  try {
    three.LoadFromFile();
    FAIL() << "no conversion error";
  } catch (const vtConvertError& e) {
    EXPECT_STREQ(e.what(), "\" \" is an invalid integer");
    EXPECT_EQ(e.FileName, three.FileName);
    EXPECT_EQ(e.LineNumber, 4);
  }
  EXPECT_FALSE(three.Loaded);
  ASSERT_EQ(three.Layers.size(), 1u);
  EXPECT_EQ(three.Layers[0]->Keys->size(), 1u);  // what was read stays
}

TEST_F(LayerFileTest, MalformedValuesAreConversionErrors) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"VT_KEY 0 1 2x 0 0 10 10 1 1 1 1", "\"2x\" is an invalid float"},
      {"VT_KEY 0 1 2 0.5 0 10 10 1 1 1 1", "\"0.5\" is an invalid integer"},
      {"VT_KEY 0 1 2 0 0 10 10 1 1 1", "\"\" is an invalid float"},
      {"VT_KEY 0 1,5 2 0 0 10 10 1 1 1 1", "\"1,5\" is an invalid float"},
  };
  for (const auto& c : cases) {
    vtLayerSystem system(vt_2D_VTL, dir.Write("bad.vtl", std::string("VT_LAYER {\nVT_KEYS {\n") + c.line + "\n}\n}\n"));
    try {
      system.LoadFromFile();
      ADD_FAILURE() << c.line;
    } catch (const vtConvertError& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(e.LineNumber, 3);
    }
  }
  auto blanks = Load("blanks.vtl", "VT_LAYER {\nVT_KEYS {\nVT_KEY 7  1   2 0 0 10 10 1 1 1 1.5  \n}\n}\n");
  ASSERT_TRUE(blanks->Loaded);
  const vtLayerKey& key = *(*blanks->Layers[0]->Keys)[0];
  EXPECT_EQ(key.Position.Y, 2);
  EXPECT_EQ(key.Color.A, 1.5f);
}

TEST_F(LayerFileTest, EveryKeyTimeTheWriterPutsOutReadsBack) {
  auto system = Load("times.vtl",
                     "VT_LAYER {\nVT_KEYS {\nVT_KEY -5 0 0 0 0 0 0 0 0 0 0\nVT_KEY 3000000000 0 0 0 0 0 0 0 0 0 0\n}\n}\n");
  ASSERT_TRUE(system->Loaded);
  EXPECT_EQ((*system->Layers[0]->Keys)[0]->Time, 4294967291u);
  ASSERT_TRUE(system->SaveToFile(dir.File("again.vtl")));
  vtLayerSystem back(vt_2D_VTL, dir.File("again.vtl"));
  back.LoadFromFile();
  ASSERT_TRUE(back.Loaded);
  EXPECT_EQ((*back.Layers[0]->Keys)[0]->Time, 4294967291u);
  EXPECT_EQ((*back.Layers[0]->Keys)[1]->Time, 3000000000u);
  EXPECT_THROW(Load("big.vtl", "VT_LAYER {\nVT_KEYS {\nVT_KEY 4294967296 0 0 0 0 0 0 0 0 0 0\n"), vtConvertError);
}

TEST_F(LayerFileTest, AFileEndingInsideABlockKeepsWhatWasRead) {
  auto inKeys = Load("cut.vtl", "VT_LAYER {\n VT_BLEND_SFACTOR 1\n VT_KEYS {\n" + std::string(kOneKey) + kOneKey);
  EXPECT_TRUE(inKeys->Loaded);
  ASSERT_EQ(inKeys->Layers.size(), 1u);
  EXPECT_EQ(inKeys->Layers[0]->BlendSFactor, 1);
  EXPECT_EQ(inKeys->Layers[0]->Keys->size(), 2u);

  auto inLayer = Load("cut2.vtl", "VT_LAYER {\n VT_BLEND_DFACTOR 771");
  EXPECT_TRUE(inLayer->Loaded);
  ASSERT_EQ(inLayer->Layers.size(), 1u);
  EXPECT_EQ(inLayer->Layers[0]->BlendDFactor, 771);
}

TEST_F(LayerFileTest, OnlyTheExactExtensionIsRead) {
  auto upper = Load("title.VTL", "VT_LAYER {\n}\n");
  EXPECT_FALSE(upper->Loaded);
  EXPECT_TRUE(upper->Layers.empty());
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, "VortaneF Panic");
  EXPECT_EQ(boxes.Calls()[0].Text, "Bad File Format: vtl\rFile: " + DemoPath(upper->FileName));
  EXPECT_EQ(boxes.Calls()[0].Icon, platform::MsgIcon::Error);

  EXPECT_TRUE(Load("title.vtl", "VT_LAYER {\n}\n")->Loaded);

  vtLayerSystem missing(vt_2D_VTL, dir.File("missing.vtl"));
  missing.LoadFromFile();
  EXPECT_FALSE(missing.Loaded);
  EXPECT_EQ(boxes.Calls().size(), 1u);
}

TEST_F(LayerFileTest, SavingReplacesOnlyFilesOfItsOwnKind) {
  auto system = Load("a.vtl", "VT_LAYER {\n VT_BLEND_SFACTOR 770\n}\n");
  const std::string other = dir.Write("notes.txt", "keep me");
  EXPECT_FALSE(system->SaveToFile(other));
  EXPECT_EQ(ReadFileText(other), "keep me");
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Text, "Bad File Format: vtl\rFile: " + DemoPath(other));

  const std::string old = dir.Write("old.vtl", "old contents");
  ASSERT_TRUE(system->SaveToFile(old));
  EXPECT_NE(ReadFileText(old).find("VT_BLEND_SFACTOR\t\t770"), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(entry.path().extension(), ".saving") << entry.path();

  EXPECT_FALSE(system->SaveToFile(dir.File("no-such-dir/x.vtl")));
}

TEST_F(LayerFileTest, EachLoadIsLogged) {
  testsupport::ChangeDir into(dir.Path());
  testsupport::ResetGlobals();
  std::filesystem::create_directories(dir.File("data"));
  GlobalLog->Open();
  auto system = Load("logged.vtl", "");
  ASSERT_TRUE(system->Loaded);
  EXPECT_NE(ReadFileText(dir.File("data/Vortane.log")).find(" MSG : " + system->FileName + " IN : vtLayerSystem.LoadFromFile"),
            std::string::npos);
}

}  // namespace
