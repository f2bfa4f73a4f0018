// Reading ahead: the blocks come in file order, each prepared, whatever
// the block and ring sizes and whichever side read them; the end and a
// read error are told; a reader that stops mid-file is not kept waiting.
#include "core/vtReadAheadU.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <random>
#include <string>
#include <thread>

#include "support/TestGlobals.h"

namespace {

// Upper-cases the block and notes its length: what the taker sees proves
// the preparation ran on exactly the bytes read.
void Prepare(char* data, size_t length, size_t, std::uint64_t* notes) {
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(data[i])));
  notes[0] = length;
}

TEST(vtReadAhead, BlocksComeInOrderPreparedWhateverTheSizes) {
  testsupport::TempDir dir;
  std::mt19937 random(7);
  std::string content(10000, ' ');
  for (char& c : content) c = static_cast<char>('a' + random() % 26);
  const std::string path = dir.Write("data.txt", content);
  for (size_t blockBytes : {1, 7, 4096, 20000})
    for (size_t ring : {0, 2, 5}) {
      const int fd = ::open(path.c_str(), O_RDONLY);
      ASSERT_GE(fd, 0);
      std::string read;
      {
        vtReadAhead ahead(fd, {blockBytes, 16, 1, ring}, Prepare);
        std::unique_ptr<char[]> data;
        std::unique_ptr<std::uint64_t[]> notes;
        size_t length = 0;
        do {
          ASSERT_TRUE(ahead.Take(data, notes, length));
          if (length > 0) {
            ASSERT_EQ(notes[0], length);
          }
          read.append(data.get(), length);
          EXPECT_EQ(data[blockBytes], 0) << "slack zeroed";
        } while (length > 0);
        ASSERT_TRUE(ahead.Take(data, notes, length));  // after the end: nothing more, no wait
        EXPECT_EQ(length, 0u);
      }
      ::close(fd);
      std::string expected = content;
      for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(read, expected) << blockBytes << " bytes a block, ring of " << ring;
    }
}

// The read-ahead thread is held in its first block until the taker has
// prepared one itself (at most 10 s, so that a taker that only waits fails
// the test rather than hang it): a taker never just waits while storage is
// free.
std::thread::id g_taker;
std::atomic<bool> g_takerPrepared{false};

void PrepareHeldOnTheThread(char* data, size_t length, size_t blockBytes, std::uint64_t* notes) {
  if (std::this_thread::get_id() == g_taker) g_takerPrepared = true;
  static const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!g_takerPrepared && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  Prepare(data, length, blockBytes, notes);
}

TEST(vtReadAhead, TheTakerReadsAheadItselfWhileTheThreadIsBehind) {
  testsupport::TempDir dir;
  std::string content;
  for (int i = 0; i < 1000; ++i) content += static_cast<char>('a' + i % 26);
  const std::string path = dir.Write("data.txt", content);
  const int fd = ::open(path.c_str(), O_RDONLY);
  g_taker = std::this_thread::get_id();
  std::string read;
  {
    vtReadAhead ahead(fd, {100, 0, 1, 4}, PrepareHeldOnTheThread);
    std::unique_ptr<char[]> data;
    std::unique_ptr<std::uint64_t[]> notes;
    size_t length = 0;
    do {
      ASSERT_TRUE(ahead.Take(data, notes, length));
      read.append(data.get(), length);
    } while (length > 0);
  }
  ::close(fd);
  EXPECT_TRUE(g_takerPrepared);
  for (char& c : content) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(read, content);
}

TEST(vtReadAhead, StopsMidFileAndTellsAReadError) {
  testsupport::TempDir dir;
  const std::string path = dir.Write("data.txt", std::string(100000, 'x'));
  const int fd = ::open(path.c_str(), O_RDONLY);
  {
    vtReadAhead ahead(fd, {10, 0, 1, 2}, Prepare);  // the thread waits for free blocks
    std::unique_ptr<char[]> data;
    std::unique_ptr<std::uint64_t[]> notes;
    size_t length = 0;
    ASSERT_TRUE(ahead.Take(data, notes, length));
  }  // stopped here, not after 10,000 blocks
  ::close(fd);
  const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);  // reading it fails
  {
    vtReadAhead ahead(folder, {64, 0, 1, 2}, Prepare);
    std::unique_ptr<char[]> data;
    std::unique_ptr<std::uint64_t[]> notes;
    size_t length = 1;
    EXPECT_FALSE(ahead.Take(data, notes, length));
  }
  ::close(folder);
}

}  // namespace
