// Reading a large file ahead on a thread of its own.
//
// The kernel's copy of a file into the read buffer, and the first pass
// over each block, cost about a third of reading a large description file
// line by line. A read-ahead thread does both on another core while the
// reader works through the block before: the reader takes whole blocks
// (Take), handing its spent one back in the same call, so the blocks go
// round a small ring and nothing is allocated while the file is read.
//
// Threads: the constructor, Take and the destructor on the reader's
// thread; the descriptor is read only by the read-ahead thread until the
// destructor has joined it. Prepare runs on the read-ahead thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class vtReadAhead {
 public:
  // What the read-ahead thread does with each block it has read: data
  // holds `length` bytes of at most blockBytes (and the slack behind
  // them), notes its words.
  using Prepare = void (*)(char* data, size_t length, size_t blockBytes, std::uint64_t* notes);

  // A block of blockBytes, `slack` zeroed bytes behind it and noteWords of
  // notes, one for every block in the ring (at least 2).
  struct Sizes {
    size_t BlockBytes;
    size_t Slack;
    size_t NoteWords;
    size_t Blocks;
  };
  // Reads fd from its current position on, in blocks of the given sizes.
  vtReadAhead(int fd, Sizes sizes, Prepare prepare);
  ~vtReadAhead();  // stops reading; the descriptor stays open
  vtReadAhead(const vtReadAhead&) = delete;
  vtReadAhead& operator=(const vtReadAhead&) = delete;

  // The next block, prepared, into data and notes (its bytes into length;
  // 0 at the end of the file). What they held goes back to the ring unless
  // either is empty: the caller empties them before its first Take, so
  // only storage of this ring's size joins it. False after a read error.
  bool Take(std::unique_ptr<char[]>& data, std::unique_ptr<std::uint64_t[]>& notes, size_t& length);

 private:
  struct Block {
    std::unique_ptr<char[]> Data;
    std::unique_ptr<std::uint64_t[]> Notes;
    size_t Length = 0;
    bool Failed = false;
  };
  void ReadLoop();

  const int fd_;
  const Sizes sizes_;
  const Prepare prepare_;
  std::mutex mutex_;  // guards every member below
  // Each side is woken only while it waits, the thread only once half the
  // ring is free again: a wake-up costs about as much as reading a block.
  std::condition_variable blocksFreed_, blockReady_;
  bool threadWaits_ = false, takerWaits_ = false;
  std::vector<Block> free_;
  std::deque<Block> ready_;  // in file order
  bool ended_ = false;       // the end or an error was read
  bool stopping_ = false;    // the destructor asks the thread to stop
  std::thread thread_;
};
