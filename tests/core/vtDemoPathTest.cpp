// Messages name files as the demo writes them, whichever form the engine holds.
#include "core/vtDemoPathU.h"

#include <gtest/gtest.h>

namespace {

TEST(DemoPath, RelativeToTheWorkFolderWithBackslashes) {
  const struct {
    const char* path;
    const char* named;
  } cases[] = {{"/home/me/demo\\data\\a.vtl", "data\\a.vtl"},
               {"/home/me/demo/data/textures/sky.png", "data\\textures\\sky.png"},
               {"/home/me/demo2/data/a.vtl", "/home/me/demo2/data/a.vtl"},
               {"/elsewhere/a.png", "/elsewhere/a.png"},
               {"data\\a.vtl", "data\\a.vtl"}};
  for (const auto& c : cases) EXPECT_EQ(DemoPath(c.path, "/home/me/demo"), c.named) << c.path;
}

}  // namespace
