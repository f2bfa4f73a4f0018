#include "platform/FileWatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/AllocCounter.h"
#include "support/TestGlobals.h"

namespace {

namespace fs = std::filesystem;
using platform::FileWatch;

class FileWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(watch_.Ok()) << watch_.Error();
    fs::create_directories(dir_.File("data"));
    dir_.Write("data/a.vtl", "old");
    dir_.Write("data/other.txt", "x");
  }

  // The engine's form of a path in the scratch folder.
  std::string Engine(const std::string& relative) const {
    std::string path = relative;
    for (char& c : path)
      if (c == '/') c = '\\';
    return dir_.Path() + "\\" + path;
  }

  // The files reported at nowMs.
  std::vector<std::string> PollAt(std::uint32_t nowMs) {
    std::vector<std::string> ready;
    watch_.Poll(nowMs, ready);
    return ready;
  }

  testsupport::TempDir dir_;
  FileWatch watch_;
};

// Every way an editor or a tool leaves new content under the name.
struct Change {
  const char* Name;
  std::function<void(const testsupport::TempDir&)> Make;
};

const Change kChanges[] = {
    {"written in place", [](const testsupport::TempDir& d) { d.Write("data/a.vtl", "new"); }},
    {"renamed over",
     [](const testsupport::TempDir& d) {
       d.Write("data/a.vtl.tmp", "new");
       fs::rename(d.File("data/a.vtl.tmp"), d.File("data/a.vtl"));
     }},
    {"moved away, then written",
     [](const testsupport::TempDir& d) {
       fs::rename(d.File("data/a.vtl"), d.File("data/a.vtl~"));
       d.Write("data/a.vtl", "new");
     }},
    {"deleted", [](const testsupport::TempDir& d) { fs::remove(d.File("data/a.vtl")); }},
    {"touched",
     [](const testsupport::TempDir& d) {
       fs::last_write_time(d.File("data/a.vtl"), fs::file_time_type::clock::now() - std::chrono::hours(1));
     }},
};

TEST_F(FileWatchTest, EachWayOfChangingAFileIsOneChangeOnceQuiet) {
  std::uint32_t base = 1000;
  for (const Change& change : kChanges) {
    SCOPED_TRACE(change.Name);
    dir_.Write("data/a.vtl", "old");
    watch_.Clear();
    ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));
    base += 10000;
    EXPECT_TRUE(PollAt(base).empty());
    change.Make(dir_);
    EXPECT_TRUE(PollAt(base + 5).empty());  // just seen: not quiet yet
    EXPECT_TRUE(watch_.Pending());
    EXPECT_TRUE(PollAt(base + FileWatch::kQuietMs - 1).empty());
    EXPECT_EQ(PollAt(base + FileWatch::kQuietMs), std::vector<std::string>{Engine("data/a.vtl")});
    EXPECT_TRUE(PollAt(base + 5000).empty());  // reported once
    EXPECT_FALSE(watch_.Pending());
  }
}

// A change read at a poll counts from the previous poll, or from kSlackMs
// before it when the polls are further apart; another change starts the
// quiet time again.
TEST_F(FileWatchTest, TheQuietTimeCountsFromWhenTheChangeCanHaveHappened) {
  ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));
  PollAt(1000);
  dir_.Write("data/a.vtl", "half");
  EXPECT_TRUE(PollAt(1005).empty());  // counts from 1000
  EXPECT_TRUE(PollAt(1000 + FileWatch::kQuietMs - 1).empty());
  EXPECT_EQ(PollAt(1000 + FileWatch::kQuietMs).size(), 1u);

  PollAt(2000);
  dir_.Write("data/a.vtl", "half");
  EXPECT_TRUE(PollAt(2100).empty());  // a long pass: counts from 2100 - slack
  dir_.Write("data/a.vtl", "whole");
  EXPECT_TRUE(PollAt(2105).empty());  // counts from 2100 now
  EXPECT_TRUE(PollAt(2100 + FileWatch::kQuietMs - 1).empty());
  EXPECT_EQ(PollAt(2100 + FileWatch::kQuietMs).size(), 1u);

  watch_.Set({Engine("data/other.txt")});
  EXPECT_FALSE(watch_.Watches(Engine("data/a.vtl")));
  EXPECT_TRUE(watch_.Watches(Engine("data/other.txt")));
}

TEST_F(FileWatchTest, OnlyWatchedNamesAreReportedAsTheyWereGiven) {
  // A file that does not exist yet, named in another letter case, and two
  // spellings of one file.
  ASSERT_TRUE(watch_.Add(Engine("DATA/New.PNG")));
  ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));
  ASSERT_TRUE(watch_.Add(Engine("Data/A.vtl")));
  ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));  // once only
  dir_.Write("data/other.txt", "y");
  dir_.Write("data/new.png", "picture");
  dir_.Write("data/a.vtl", "new");
  PollAt(0);
  std::vector<std::string> ready = PollAt(100);
  std::sort(ready.begin(), ready.end());
  std::vector<std::string> expected{Engine("DATA/New.PNG"), Engine("Data/A.vtl"), Engine("data/a.vtl")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ready, expected);
}

TEST_F(FileWatchTest, RemovedAndUnwatchableFilesAreNotReported) {
  EXPECT_FALSE(watch_.Add(Engine("missing/a.vtl")));
  ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));
  EXPECT_TRUE(watch_.Watches(Engine("data/a.vtl")));
  dir_.Write("data/a.vtl", "new");
  watch_.Remove(Engine("data/a.vtl"));
  EXPECT_FALSE(watch_.Watches(Engine("data/a.vtl")));
  PollAt(0);
  EXPECT_TRUE(PollAt(100).empty());
}

// A folder deleted and made again is watched again: saves to it count.
TEST_F(FileWatchTest, AFolderThatComesBackIsWatchedAgain) {
  ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));
  fs::remove_all(dir_.File("data"));
  PollAt(0);
  EXPECT_EQ(PollAt(100), std::vector<std::string>{Engine("data/a.vtl")});  // deleted
  EXPECT_TRUE(watch_.Watches(Engine("data/a.vtl")));
  fs::create_directories(dir_.File("data"));
  dir_.Write("data/a.vtl", "back");
  PollAt(1000);
  EXPECT_EQ(PollAt(1000 + FileWatch::kQuietMs), std::vector<std::string>{Engine("data/a.vtl")});
  dir_.Write("data/a.vtl", "saved");
  PollAt(2000);
  EXPECT_EQ(PollAt(2000 + FileWatch::kQuietMs), std::vector<std::string>{Engine("data/a.vtl")});
}

TEST_F(FileWatchTest, PollingWithoutChangesAllocatesNothing) {
  ASSERT_TRUE(watch_.Add(Engine("data/a.vtl")));
  std::vector<std::string> ready;
  ready.reserve(4);
  testsupport::NewCallCounter counter;
  for (std::uint32_t t = 0; t < 100; ++t) watch_.Poll(t, ready);
  EXPECT_EQ(counter.OwnCalls(), 0u);
}

}  // namespace
