#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <regex>
#include <sstream>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "items/vtSkyU.h"
#include "items/vtTunnelU.h"
#include "layers/vtLSysU.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/TextureLoader.h"
#include "resources/vtMapU.h"
#include "resources/vtStoreU.h"
#include "resources/vtTextures.h"
#include "scene/vtSceneASEU.h"
#include "support/GlTest.h"
#include "support/Images.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::Rgba;

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};

// A working directory with a data folder, made current, with fresh globals.
class TextureTest : public testsupport::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    std::filesystem::create_directories(dir_.File("data"));
    cd_ = std::make_unique<testsupport::ChangeDir>(dir_.Path());
    testsupport::ResetGlobals();
  }
  void TearDown() override {
    testsupport::ResetGlobals();  // closes the log before the folder goes
    cd_.reset();
  }

  std::string Full(const std::string& relative) const { return GlobalFunc->WorkDir + "\\" + relative; }

  // Lines of the log after its four header lines.
  std::vector<std::string> LogEntries() const {
    std::istringstream in(testsupport::ReadFileText(dir_.File("data/Vortane.log")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines.size() > 4 ? std::vector<std::string>(lines.begin() + 4, lines.end()) : std::vector<std::string>{};
  }

  // Texel (x, y) of the bound texture's level 0; row 0 is t = 0.
  Rgba Texel(int x, int y) const {
    const int w = TexLevelInt(GL_TEXTURE_WIDTH);
    const int h = TexLevelInt(GL_TEXTURE_HEIGHT);
    std::vector<std::uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const std::uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }
  int TexLevelInt(GLenum name) const {
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &v);
    return v;
  }

  // A one-colour picture at any path, its format following the extension
  // in whatever letter case.
  bool WritePicture(const std::string& relative, Rgba colour) const {
    std::filesystem::path path = dir_.File(relative);
    std::filesystem::create_directories(path.parent_path());
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string scratch = dir_.File("scratch" + extension);
    if (!testsupport::WriteSolidImage(scratch, colour)) return false;
    std::filesystem::rename(scratch, path);
    return true;
  }

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::ChangeDir> cd_;
};

TEST_F(TextureTest, EachImageFormatDecodesWithThePicturesBottomRowAtTZero) {
  for (const std::string name : {"data/pic.bmp", "data/pic.tga", "data/pic.jpg", "data/pic.png"}) {
    SCOPED_TRACE(name);
    // Top half red, bottom half blue.
    ASSERT_TRUE(testsupport::WriteImage(dir_.File(name), 16, 8, [](int, int y) { return y < 4 ? kRed : kBlue; }));
    std::uint32_t id = 0;
    ASSERT_TRUE(platform::LoadTextureFile(dir_.File(name), id));
    ASSERT_NE(id, 0u);
    glBindTexture(GL_TEXTURE_2D, id);
    EXPECT_EQ(TexLevelInt(GL_TEXTURE_WIDTH), 16);
    EXPECT_EQ(TexLevelInt(GL_TEXTURE_HEIGHT), 8);
    const Rgba bottom = Texel(3, 0);
    const Rgba top = Texel(3, 7);
    EXPECT_GT(bottom[2], 200);  // JPEG is lossy: compare the dominant channel
    EXPECT_LT(bottom[0], 60);
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 60);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    GLint smallest = 0;  // mipmaps were generated down to 1 x 1
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH, &smallest);
    EXPECT_EQ(smallest, 1);
  }
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, NotAnImageIsRefused) {
  dir_.Write("data/bad.png", "not a picture");
  std::uint32_t id = 77;
  EXPECT_FALSE(platform::LoadTextureFile(dir_.File("data/bad.png"), id));
  EXPECT_EQ(id, 77u);
}

// A short binary PNM with 16-bit samples made the system decoder read past
// its buffer; such pictures are refused by their header.
TEST_F(TextureTest, AWideSamplePnmIsRefused) {
  const std::string header = "P6\n\n2 422 4255\n";
  dir_.Write("data/wide.ppm", header + std::string(19, '\x7f'));
  std::uint32_t id = 77;
  EXPECT_FALSE(platform::LoadTextureFile(dir_.File("data/wide.ppm"), id));
  EXPECT_EQ(id, 77u);
  dir_.Write("data/narrow.ppm", "P6\n1 1 255\n\x10\x20\x30");
  EXPECT_TRUE(platform::LoadTextureFile(dir_.File("data/narrow.ppm"), id));
}

// Decoding is plain CPU work; uploading into a given name replaces that
// texture's picture in place, keeping the name and its other parameters.
TEST_F(TextureTest, ADecodedPictureUploadsIntoANewOrAGivenName) {
  ASSERT_TRUE(testsupport::WriteImage(dir_.File("data/a.png"), 4, 2, [](int, int y) { return y == 0 ? kRed : kBlue; }));
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/b.png"), kRed, 8));
  platform::Picture picture;
  ASSERT_TRUE(platform::DecodePicture(dir_.File("data/a.png"), 0, picture));
  EXPECT_EQ(picture.Width, 4);
  EXPECT_EQ(picture.Height, 2);
  EXPECT_EQ(picture.Pixels.get()[2], 255);  // the bottom row (blue) comes first
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));

  std::uint32_t id = 0;
  ASSERT_TRUE(platform::UploadPicture(picture, id));
  ASSERT_NE(id, 0u);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  const std::uint32_t first = id;
  ASSERT_TRUE(platform::DecodePicture(dir_.File("data/b.png"), 0, picture));
  ASSERT_TRUE(platform::UploadPicture(picture, id));
  EXPECT_EQ(id, first);
  glBindTexture(GL_TEXTURE_2D, id);
  EXPECT_EQ(TexLevelInt(GL_TEXTURE_WIDTH), 8);
  EXPECT_EQ(Texel(0, 0), kRed);
  GLint wrap = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
  EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
}

TEST_F(TextureTest, PicturesThatCannotBeDecodedOrUploadedChangeNothing) {
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/big.png"), kRed, 64));
  dir_.Write("data/bad.png", "not a picture");
  platform::Picture picture;
  EXPECT_FALSE(platform::DecodePicture(dir_.File("data/big.png"), 32, picture));  // by its header
  EXPECT_FALSE(picture.Pixels);
  EXPECT_FALSE(platform::DecodePicture(dir_.File("data/bad.png"), 0, picture));
  EXPECT_FALSE(platform::DecodePicture(dir_.File("data/none.png"), 0, picture));
  std::uint32_t id = 77;
  EXPECT_FALSE(platform::UploadPicture(picture, id));
  EXPECT_EQ(id, 77u);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, ATextureNamedTwiceIsLoadedOnceAndLoggedTwice) {
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/wall.png"), kRed));
  GlobalLog->Open();
  const std::uint32_t loadsBefore = platform::TextureLoadCount();

  vtDiffuseMap first, second;
  for (vtDiffuseMap* map : {&first, &second}) {
    map->Texture->SetFileName("data\\wall.png");
    map->Texture->Load();
  }
  EXPECT_EQ(platform::TextureLoadCount(), loadsBefore + 1);
  EXPECT_NE(first.Texture->Id, 0u);
  EXPECT_EQ(first.Texture->Id, second.Texture->Id);

  const std::string id = std::to_string(first.Texture->Id);
  const std::vector<std::string> log = LogEntries();
  ASSERT_EQ(log.size(), 6u);
  for (int pair = 0; pair < 2; ++pair) {
    SCOPED_TRACE(pair);
    const std::regex time(R"(\* INFO \* : @ \d+ MSG : )");
    EXPECT_TRUE(std::regex_search(log[3 * pair], time));
    EXPECT_NE(log[3 * pair].find("MSG : " + Full("data\\wall.png") + " IN : vtTexture.Load"), std::string::npos)
        << log[3 * pair];
    EXPECT_NE(log[3 * pair + 1].find("MSG : Resource ID: " + id + " IN : vtTexture.Load"), std::string::npos)
        << log[3 * pair + 1];
    EXPECT_EQ(log[3 * pair + 2], "");
  }
}

TEST_F(TextureTest, AMissingImageGivesIdZeroAWarningAndIsNotTriedAgain) {
  platform::MessageBoxRecorder boxes;
  const std::uint32_t loadsBefore = platform::TextureLoadCount();
  vtDiffuseMap first, second;
  for (vtDiffuseMap* map : {&first, &second}) {
    map->Texture->SetFileName("data\\missing.png");
    map->Texture->Load();
    EXPECT_EQ(map->Texture->Id, 0u);
  }
  EXPECT_EQ(platform::TextureLoadCount(), loadsBefore + 1);
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, kCaptionWarning);
  EXPECT_EQ(boxes.Calls()[0].Text, "Cannot load the texture: data\\missing.png");  // as the demo writes it
  ASSERT_EQ(GlobalStore->Resources.size(), 1u);
  EXPECT_EQ(GlobalStore->Resources[0]->Id, 0u);

  // The untextured map still binds: texture name 0.
  first.Bind();
  EXPECT_EQ(GetInt(GL_TEXTURE_BINDING_2D), 0);
}

TEST_F(TextureTest, FileNamesAreKeptRelativeToTheWorkingDirectory) {
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/sky.bmp"), kBlue));
  vtTexture prefixed, relative;
  prefixed.SetFileName(platform::CurrentDirectory() + "\\data\\sky.bmp");
  relative.SetFileName("data\\sky.bmp");
  EXPECT_EQ(prefixed.FileName, "data\\sky.bmp");
  EXPECT_EQ(relative.FileName, "data\\sky.bmp");
  prefixed.Load();
  relative.Load();
  EXPECT_NE(prefixed.Id, 0u);
  EXPECT_EQ(prefixed.Id, relative.Id);
  ASSERT_EQ(GlobalStore->Resources.size(), 1u);
  EXPECT_EQ(GlobalStore->Resources[0]->Name, std::filesystem::canonical(dir_.File("data/sky.bmp")).string());
  EXPECT_EQ(GlobalStore->Resources[0]->ResType, vt_TEXTURE);
  EXPECT_EQ(relative.ToString(), "ID: " + std::to_string(relative.Id) + "FileName: data\\sky.bmp");

  // A path outside the working directory is prefixed all the same.
  vtTexture outside;
  outside.SetFileName("/elsewhere/x.png");
  EXPECT_EQ(outside.FileName, "/elsewhere/x.png");
}

std::string Le32(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// Each failed picture: the warning box as before, plus one line on stderr
// and one log entry naming the picture as written and saying why; the
// store remembers the failure, so a second use says nothing more.
TEST_F(TextureTest, EveryFailedPictureSaysWhyOnce) {
  ASSERT_TRUE(testsupport::WriteSolidImage(dir_.File("data/ok.png"), kRed));
  const std::string png = testsupport::ReadFileText(dir_.File("data/ok.png"));
  dir_.Write("data/text.png", "not a picture at all");
  dir_.Write("data/photo.webp", "RIFF" + Le32(30) + "WEBPVP8 " + Le32(18) + std::string(18, '\0'));
  dir_.Write("data/huge.bmp", "BM" + Le32(54) + Le32(0) + Le32(54) + Le32(40) + Le32(30000) + Le32(30000) +
                                  std::string("\1\0\x18\0", 4) + std::string(24, '\0'));
  dir_.Write("data/cut.png", png.substr(0, png.size() / 2));
  std::filesystem::create_directories(dir_.File("data/folder.png"));
  struct Case {
    const char* Name;
    const char* Why;
  };
  const Case cases[] = {
      {"data\\gone.png", "there is no such file"},
      {"data\\text.png", "not a picture in a format that loads (BMP, GIF, JPEG, PNG, PNM, PSD, TGA, HDR, PIC)"},
      {"data\\photo.webp", "WebP pictures are not supported"},
      {"data\\huge.bmp", "the picture is 30000 x 30000 pixels; this OpenGL driver takes at most "},
      {"data\\cut.png", "the picture cannot be decoded ("},
      {"data\\folder.png", "it is a folder"},
  };
  GlobalLog->Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    platform::MessageBoxRecorder boxes;
    for (int use = 0; use < 2; ++use) {
      testing::internal::CaptureStderr();
      vtTexture texture;
      texture.SetFileName(c.Name);
      texture.Load();
      const std::string said = testing::internal::GetCapturedStderr();
      EXPECT_EQ(texture.Id, 0u);
      if (use == 1) {
        EXPECT_EQ(said, "");
        continue;
      }
      const std::string line = std::string("the picture \"") + c.Name + "\" cannot be loaded: " + c.Why;
      EXPECT_EQ(said.rfind(std::string(program_invocation_short_name) + ": " + line, 0), 0u) << said;
      EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
      EXPECT_NE(testsupport::ReadFileText(dir_.File("data/Vortane.log")).find("MSG : " + line), std::string::npos);
    }
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].Text, "Cannot load the texture: " + std::string(c.Name));
  }
}

TEST_F(TextureTest, GifPicturesLoad) {
  std::filesystem::copy_file(std::string(VT_SOURCE_DIR) + "/fuzz/seeds/image/tiny.gif", dir_.File("data/tiny.gif"));
  vtTexture texture;
  texture.SetFileName("data\\tiny.gif");
  texture.Load();
  EXPECT_NE(texture.Id, 0u);
}

// The store knows the file on disk, so one file is one texture however the
// demo spells its path; the log and ToString keep each spelling.
TEST_F(TextureTest, OneFileIsOneTextureWhateverItsSpelling) {
  ASSERT_TRUE(WritePicture("data/Sky.JPG", kBlue));
  std::filesystem::create_directories(dir_.File("data/more"));
  GlobalLog->Open();
  const std::uint32_t loadsBefore = platform::TextureLoadCount();
  const char* spellings[] = {"data\\Sky.JPG", "data\\sky.jpg", "DATA\\SKY.jpg", "data\\more\\..\\.\\sky.jpg",
                             "data/sky.jpg"};
  std::uint32_t id = 0;
  for (const char* name : spellings) {
    SCOPED_TRACE(name);
    vtTexture texture;
    texture.SetFileName(name);
    texture.Load();
    if (id == 0) id = texture.Id;
    EXPECT_NE(texture.Id, 0u);
    EXPECT_EQ(texture.Id, id);
    EXPECT_EQ(texture.ToString(), "ID: " + std::to_string(id) + "FileName: " + name);
    EXPECT_NE(testsupport::ReadFileText(dir_.File("data/Vortane.log")).find("MSG : " + Full(name) + " IN"),
              std::string::npos);
  }
  EXPECT_EQ(platform::TextureLoadCount(), loadsBefore + 1);
  EXPECT_EQ(GlobalStore->Resources.size(), 1u);
}

// A picture named by a path of the artist's machine is found by its bare
// name next to the file that names it, then in data\, in any letter case.
TEST_F(TextureTest, APictureNotWhereItsPathSaysIsFoundByItsBareName) {
  ASSERT_TRUE(WritePicture("scenes/Wall.JPG", kRed));
  ASSERT_TRUE(WritePicture("data/hull.png", kBlue));
  ASSERT_TRUE(WritePicture("data/wall.jpg", kBlue));
  GlobalLog->Open();
  struct Case {
    const char* Name;
    const char* NamedIn;
    const char* FoundAt;  // nullptr: found nowhere
  };
  const Case cases[] = {
      {"C:\\Dokumente und Einstellungen\\art\\wall.jpg", "scenes\\ship.ase", "next to scenes\\ship.ase: scenes\\wall.jpg"},
      {"..\\..\\3DS\\HULL.png", "scenes\\ship.ase", "in data\\: "},
      {"../textures/wall.jpg", "", "in data\\: "},
      {"..\\textures\\gone.jpg", "scenes\\ship.ase", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    platform::MessageBoxRecorder boxes;
    testing::internal::CaptureStderr();
    vtTexture texture;
    texture.SetFileName(c.Name);
    texture.Load(c.NamedIn);
    const std::string said = testing::internal::GetCapturedStderr();
    const std::string log = testsupport::ReadFileText(dir_.File("data/Vortane.log"));
    EXPECT_EQ(texture.FileName, c.Name);
    if (c.FoundAt) {
      EXPECT_NE(texture.Id, 0u);
      EXPECT_TRUE(boxes.Calls().empty());
      EXPECT_EQ(said, "");
      EXPECT_NE(log.find("MSG : found " + std::string(c.FoundAt)), std::string::npos) << log;
    } else {
      EXPECT_EQ(texture.Id, 0u);
      ASSERT_EQ(boxes.Calls().size(), 1u);
      EXPECT_EQ(boxes.Calls()[0].Text, "Cannot load the texture: " + std::string(c.Name));
      EXPECT_NE(said.find("cannot be loaded: there is no such file, nor is gone.jpg next to scenes\\ship.ase or in data\\"),
                std::string::npos) << said;
    }
  }
}

// Each loader looks next to its own file: the scene, the layer file, the
// sky and the tunnel description.
TEST_F(TextureTest, EachLoaderLooksNextToItsOwnFile) {
  ASSERT_TRUE(WritePicture("demo/parts/pic.png", kRed));
  const std::string foreign = "\"E:\\work\\maps\\PIC.PNG\"";
  dir_.Write("demo/parts/scene.ase", "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MAP_DIFFUSE {\n"
                                     "\t\t\t*BITMAP " + foreign + "\n\t\t}\n\t}\n}\n");
  dir_.Write("demo/parts/layer.vtl", "VT_LAYER {\n VT_TEXT_SOURCE " + foreign + "\n VT_KEYS {\n }\n}\n");
  dir_.Write("demo/parts/sky.vtk", "VT_SKY_SIZE 10\nVT_TEXT_SOURCE " + foreign + "\n");
  dir_.Write("demo/parts/tube.vts", "VT_DIFFUSE_MAP " + foreign + "\n");
  platform::MessageBoxRecorder boxes;
  vtSceneASE scene;
  scene.FileName = "demo\\parts\\scene.ase";
  scene.LoadFromFile();
  vtLayerSystem layers(vt_2D_VTL, "demo\\parts\\layer.vtl");
  layers.LoadFromFile();
  vtSky sky;
  sky.FileName = "demo\\parts\\sky.vtk";
  sky.LoadFromFile();
  vtTunnel tunnel;
  tunnel.FileName = "demo\\parts\\tube.vts";
  tunnel.LoadFromFile();
  EXPECT_TRUE(boxes.Calls().empty()) << boxes.Calls()[0].Text;
  ASSERT_EQ(scene.Materials.size(), 1u);
  ASSERT_EQ(layers.Layers.size(), 1u);
  ASSERT_TRUE(tunnel.DiffuseMap);
  const std::uint32_t id = scene.Materials[0]->DiffuseMap->Texture->Id;
  EXPECT_NE(id, 0u);
  EXPECT_EQ(layers.Layers[0]->Map->Texture->Id, id);
  ASSERT_TRUE(sky.SingleMap);
  EXPECT_EQ(sky.SingleMap->Texture->Id, id);
  EXPECT_EQ(tunnel.DiffuseMap->Texture->Id, id);
  EXPECT_EQ(layers.Layers[0]->TextureSource, "E:\\work\\maps\\PIC.PNG");  // saved as written
}

TEST_F(TextureTest, ANewTextureIsEmpty) {
  vtDiffuseMap map;
  EXPECT_EQ(map.Texture->Id, 0u);
  EXPECT_EQ(map.Texture->FileName, "");
  EXPECT_EQ(map.Texture->ToString(), "ID: 0FileName: ");
  EXPECT_TRUE(map.Enabled);
  EXPECT_EQ(map.TilingU, 1.0f);
  EXPECT_EQ(map.OffsetV, 0.0f);
}

}  // namespace
