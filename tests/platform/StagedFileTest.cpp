// A staged copy replaces its file only while the file holds the bytes the
// writer saw: a save made after they were read stays, and no copy is left.
#include "platform/StagedFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestGlobals.h"

namespace {

using Outcome = platform::StagedFile::Outcome;

TEST(StagedFile, CommitsOnlyOverTheBytesSeen) {
  const struct {
    const char* Name;
    const char* Meanwhile;  // written after staging; nullptr: the file is removed
    Outcome Expected;
    const char* After;      // the file's bytes; nullptr: none
  } cases[] = {
      {"unchanged", "seen", Outcome::Committed, "new"},
      {"saved by another program", "theirs", Outcome::Changed, "theirs"},
      {"removed", nullptr, Outcome::Failed, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    testsupport::TempDir dir;
    const std::string path = dir.Write("a.vds", "seen");
    platform::StagedFile staged;
    std::string why;
    ASSERT_TRUE(staged.Stage(path, "new", why)) << why;
    if (c.Meanwhile) dir.Write("a.vds", c.Meanwhile);
    else ::unlink(path.c_str());
    EXPECT_EQ(staged.CommitIfStill("seen", why), c.Expected) << why;
    EXPECT_EQ(::access(path.c_str(), F_OK) == 0, c.After != nullptr);
    if (c.After) {
      EXPECT_EQ(testsupport::ReadFileText(path), c.After);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), c.After ? 1 : 0) << "no copy left";
  }
}

}  // namespace
