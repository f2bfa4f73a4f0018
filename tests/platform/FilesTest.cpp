#include "platform/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "support/TestGlobals.h"

namespace {

using testsupport::TempDir;

std::string ReadAll(std::FILE* f) {
  std::string text;
  char buf[256];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  return text;
}

TEST(PlatformFiles, ResolvesBackslashesAndLetterCase) {
  TempDir dir;
  dir.Write("Data/Maps/Stone.PNG", "png");
  const std::string base = dir.Path();
  EXPECT_EQ(platform::ResolvePath(base + "\\Data\\Maps\\Stone.PNG"), base + "/Data/Maps/Stone.PNG");
  EXPECT_EQ(platform::ResolvePath(base + "\\data\\MAPS\\stone.png"), base + "/Data/Maps/Stone.PNG");
  EXPECT_EQ(platform::ResolvePath(base + "/DATA/maps/"), base + "/Data/Maps/");
  // Missing components are kept as written, so new files can be created.
  EXPECT_EQ(platform::ResolvePath(base + "\\DATA\\New.log"), base + "/Data/New.log");
  EXPECT_EQ(platform::ResolvePath(base + "\\nothere\\x"), base + "/nothere/x");
  EXPECT_EQ(platform::ResolvePath(""), "");
}

TEST(PlatformFiles, ResolvesRelativePaths) {
  TempDir dir;
  dir.Write("Data/a.txt", "a");
  testsupport::ChangeDir cd(dir.Path());
  EXPECT_EQ(platform::ResolvePath("data\\A.TXT"), "Data/a.txt");
  EXPECT_EQ(platform::ResolvePath(".\\data\\a.txt"), "./Data/a.txt");
}

TEST(PlatformFiles, OpenFileReadsThroughEnginePaths) {
  TempDir dir;
  dir.Write("Data/Level.vtl", "content");
  std::FILE* f = platform::OpenFile(dir.Path() + "\\data\\level.VTL", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "content");
  EXPECT_EQ(platform::OpenFile(dir.Path() + "\\data\\missing.vtl", "rb"), nullptr);
  EXPECT_EQ(platform::OpenFile("", "rb"), nullptr);
}

TEST(PlatformFiles, OpenFileRefusesDirectories) {
  TempDir dir;
  ::mkdir(dir.File("folder").c_str(), 0755);
  for (const char* mode : {"rb", "r", "wb", "ab"})
    EXPECT_EQ(platform::OpenFile(dir.Path() + "\\FOLDER", mode), nullptr) << mode;
  EXPECT_TRUE(platform::IsDirectory(dir.Path() + "\\Folder"));
  EXPECT_FALSE(platform::IsRegularFile(dir.Path() + "\\Folder"));
  EXPECT_TRUE(platform::PathExists(dir.Path() + "\\folder"));
}

TEST(PlatformFiles, CreatesInAnExistingFolderWithOtherCase) {
  TempDir dir;
  ::mkdir(dir.File("Data").c_str(), 0755);
  std::FILE* f = platform::OpenFile(dir.Path() + "\\data\\out.d", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  std::fclose(f);
  EXPECT_TRUE(platform::IsRegularFile(dir.File("Data/out.d")));
}

}  // namespace
