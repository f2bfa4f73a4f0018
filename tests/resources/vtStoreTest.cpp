#include "resources/vtStoreU.h"

#include <gtest/gtest.h>

#include "support/GlTest.h"

namespace {

TEST(vtStore, EmptyStoreFindsNothing) {
  vtStore store;
  EXPECT_FALSE(store.Find("a", vt_TEXTURE));
  EXPECT_EQ(store.FoundId, 0u);
}

TEST(vtStore, MatchesNameExactlyAndType) {
  vtStore store;
  store.Add(5, "a", static_cast<vtType>(1900));
  store.Add(6, "a", static_cast<vtType>(1800));
  EXPECT_TRUE(store.Find("a", vt_SPHERE));
  EXPECT_EQ(store.FoundId, 6u);
  EXPECT_FALSE(store.Find("A", vt_TEXTURE));
  EXPECT_FALSE(store.Find("a ", vt_TEXTURE));
  EXPECT_EQ(store.FoundId, 6u);  // a miss keeps the last hit
  EXPECT_TRUE(store.Find("a", vt_TEXTURE));
  EXPECT_EQ(store.FoundId, 5u);
}

TEST(vtStore, DuplicatesAreKeptAndTheFirstWins) {
  vtStore store;
  store.Add(1, "/x/t.png", vt_TEXTURE);
  store.Add(2, "/x/t.png", vt_TEXTURE);
  ASSERT_EQ(store.Resources.size(), 2u);
  EXPECT_EQ(store.Resources[1]->Id, 2u);
  EXPECT_EQ(store.Resources[1]->Name, "/x/t.png");
  EXPECT_EQ(store.Resources[1]->ResType, vt_TEXTURE);
  EXPECT_TRUE(store.Find("/x/t.png", vt_TEXTURE));
  EXPECT_EQ(store.FoundId, 1u);
}

class vtStoreGl : public testsupport::GlTest {};

// Textures no item uses any more are forgotten and deleted; a name shared
// by two entries is deleted once; other kinds of resources stay.
TEST_F(vtStoreGl, ReleaseUnusedDeletesAndForgetsOnlyUnusedTextures) {
  GLuint names[3] = {};
  glGenTextures(3, names);
  for (GLuint name : names) glBindTexture(GL_TEXTURE_2D, name);
  vtStore store;
  store.Add(names[0], "/x/kept.png", vt_TEXTURE);
  store.Add(names[1], "/x/gone.png", vt_TEXTURE);
  store.Add(names[1], "/x/Gone.png", vt_TEXTURE);
  store.Add(0, "/x/missing.png", vt_TEXTURE);
  store.Add(names[2], "/x/other", vt_SPHERE);
  EXPECT_EQ(store.ReleaseUnused({names[0]}), 3u);
  EXPECT_TRUE(glIsTexture(names[0]));
  EXPECT_FALSE(glIsTexture(names[1]));
  EXPECT_TRUE(glIsTexture(names[2]));
  ASSERT_EQ(store.Resources.size(), 2u);
  EXPECT_TRUE(store.Find("/x/kept.png", vt_TEXTURE));
  EXPECT_FALSE(store.Find("/x/gone.png", vt_TEXTURE));
  EXPECT_FALSE(store.Find("/x/missing.png", vt_TEXTURE));
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteTextures(3, names);
}

}  // namespace
