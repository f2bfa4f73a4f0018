#include "resources/vtStoreU.h"

#include <gtest/gtest.h>

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

}  // namespace
