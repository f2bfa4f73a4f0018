// The demo's picture generator: the sky faces meet where the player's box
// puts them side by side, tiling noise repeats, titles fit their pictures,
// and the writers produce files the engine's decoder reads the right way up.
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <cmath>
#include <memory>

#include "Image.h"
#include "Noise.h"
#include "Sky.h"
#include "Titles.h"
#include "support/TestGlobals.h"

namespace {

using namespace assetgen;

void ExpectSamePoint(Vec3 a, Vec3 b, const char* what) {
  EXPECT_NEAR(a.x, b.x, 1e-6) << what;
  EXPECT_NEAR(a.y, b.y, 1e-6) << what;
  EXPECT_NEAR(a.z, b.z, 1e-6) << what;
}

TEST(SkyFaces, CornersFollowTheBoxTable) {
  // Texture (0, 0) of every face sits where the player's box draws it.
  ExpectSamePoint(SkyFacePoint(SkyFace::PosZ, 0, 0), {-1, -1, -1}, "posz");
  ExpectSamePoint(SkyFacePoint(SkyFace::NegZ, 0, 0), {1, -1, 1}, "negz");
  ExpectSamePoint(SkyFacePoint(SkyFace::NegY, 0, 0), {-1, -1, 1}, "negy");
  ExpectSamePoint(SkyFacePoint(SkyFace::PosY, 0, 0), {-1, 1, -1}, "posy");
  ExpectSamePoint(SkyFacePoint(SkyFace::NegX, 0, 0), {-1, -1, 1}, "negx");
  ExpectSamePoint(SkyFacePoint(SkyFace::PosX, 0, 0), {1, -1, -1}, "posx");
  // s grows to the right seen from inside: posz's right edge is at +x.
  ExpectSamePoint(SkyFacePoint(SkyFace::PosZ, 1, 1), {1, 1, -1}, "posz far corner");
}

TEST(SkyFaces, NeighbouringEdgesShowTheSameDirections) {
  for (float k : {0.0f, 0.3f, 0.75f, 1.0f}) {
    // The ring of vertical faces, left to right seen from inside.
    ExpectSamePoint(SkyFacePoint(SkyFace::PosZ, 1, k), SkyFacePoint(SkyFace::PosX, 0, k), "posz|posx");
    ExpectSamePoint(SkyFacePoint(SkyFace::PosX, 1, k), SkyFacePoint(SkyFace::NegZ, 0, k), "posx|negz");
    ExpectSamePoint(SkyFacePoint(SkyFace::NegZ, 1, k), SkyFacePoint(SkyFace::NegX, 0, k), "negz|negx");
    ExpectSamePoint(SkyFacePoint(SkyFace::NegX, 1, k), SkyFacePoint(SkyFace::PosZ, 0, k), "negx|posz");
    // Top and bottom against the far face.
    ExpectSamePoint(SkyFacePoint(SkyFace::PosY, k, 0), SkyFacePoint(SkyFace::PosZ, k, 1), "posy|posz");
    ExpectSamePoint(SkyFacePoint(SkyFace::NegY, k, 1), SkyFacePoint(SkyFace::PosZ, k, 0), "negy|posz");
  }
}

TEST(SkyFaces, FacesAreNeitherBlackNorBlank) {
  for (SkyFace face : kSkyFaces) {
    Image image = RenderSkyFace(face, 32);
    float sum = 0, brightest = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const Color& c = image.At(x, y);
        float v = (c.r + c.g + c.b) / 3;
        sum += v;
        brightest = std::max(brightest, v);
      }
    EXPECT_GT(sum / (32 * 32), 0.02f) << SkyFaceName(face);
    EXPECT_GT(brightest, 0.2f) << SkyFaceName(face);
  }
}

TEST(Noise, TiledNoiseRepeatsWithItsPeriod) {
  for (float x : {0.2f, 3.7f, 7.9f})
    for (float y : {0.0f, 1.5f, 6.25f}) {
      EXPECT_FLOAT_EQ(TiledNoise(x, y, 8, 5), TiledNoise(x + 8, y, 8, 5));
      EXPECT_FLOAT_EQ(TiledNoise(x, y, 8, 5), TiledNoise(x, y - 8, 8, 5));
      EXPECT_NEAR(TiledFbm(x, y, 8, 4, 5), TiledFbm(x + 8, y + 8, 8, 4, 5), 1e-5);
    }
}

// Titles are laid over the picture with linear filtering and repeat
// wrapping: a title touching its picture's edge would bleed onto the
// opposite edge, and a clipped title would lose letters.
TEST(Titles, EveryTitleHasATransparentBorder) {
  for (const Title& title : DemoTitles()) {
    Image image(title.width, title.height, Color{1, 1, 1, 0});
    ASSERT_TRUE(RenderTitle(title, image)) << title.file;
    float border = 0, inside = 0;
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) {
        bool edge = x < 2 || y < 2 || x >= image.Width() - 2 || y >= image.Height() - 2;
        (edge ? border : inside) = std::max(edge ? border : inside, image.At(x, y).a);
      }
    EXPECT_LT(border, 0.05f) << title.file;
    EXPECT_GT(inside, 0.9f) << title.file;
  }
}

struct StbFree {
  void operator()(unsigned char* p) const { stbi_image_free(p); }
};

TEST(ImageWriters, EveryFormatReadsBackTopRowFirst) {
  testsupport::TempDir dir;
  Image image(8, 4, Color{0, 0, 1, 1});
  for (int x = 0; x < 8; ++x) image.At(x, 0) = Color{1, 0, 0, 0.5f};  // red top row
  struct Case {
    const char* name;
    bool (*write)(const Image&, const std::string&);
  };
  const Case cases[] = {{"a.png", WritePng},
                        {"a.bmp", WriteBmp},
                        {"a.tga", WriteTga},
                        {"a.jpg", [](const Image& i, const std::string& p) { return WriteJpg(i, p, 95); }}};
  for (const Case& c : cases) {
    std::string path = dir.Path() + "/" + c.name;
    ASSERT_TRUE(c.write(image, path)) << c.name;
    int w = 0, h = 0, n = 0;
    std::unique_ptr<unsigned char, StbFree> pixels(stbi_load(path.c_str(), &w, &h, &n, 4));
    ASSERT_TRUE(pixels) << c.name;
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 4);
    const unsigned char* top = pixels.get() + 4 * 3;
    const unsigned char* bottom = pixels.get() + 4 * (3 * 8 + 3);
    EXPECT_GT(top[0], 200) << c.name;
    EXPECT_LT(top[2], 60) << c.name;
    EXPECT_GT(bottom[2], 200) << c.name;
    EXPECT_LT(bottom[0], 60) << c.name;
    if (std::string(c.name) == "a.png") {
      EXPECT_NEAR(top[3], 128, 1);
    }
  }
}

}  // namespace
