// Reading a large file ahead on a thread of its own.
//
// The kernel's copy of a file into the read buffer, and the first pass
// over each block, cost about a third of reading a large description file
// line by line. A read-ahead thread does both on another core while the
// reader works through the block before: the reader takes whole blocks
// (Take), handing its spent one back in the same call, so the blocks go
// round a small ring and nothing is allocated while the file is read.
//
// A reader whose next block is not ready yet reads and prepares a later
// one itself rather than wait: on a machine where one core runs slower
// than the other, the faster does more of the work.
//
// Threads: the constructor, Take and the destructor on the reader's
// thread. Blocks are read with pread(2), so both threads read the
// descriptor, the read-ahead thread until the destructor has joined it;
// its position is left where it was. Prepare runs on either thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class vtReadAhead {
 public:
  // What is done with each block once read (on either thread): data
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
  // Throws std::system_error when fd has no position (a pipe) or no thread
  // can be started.
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
    bool Ready = false;
  };
  void ReadLoop();
  bool CanClaim() const;  // with the lock held
  std::uint64_t Claim(Block& block);
  void ReadInto(std::uint64_t index, Block& block) const;
  void Publish(std::uint64_t index, Block&& block);

  const int fd_;
  const std::int64_t start_;  // where block 0 starts in the file
  const Sizes sizes_;
  const Prepare prepare_;
  std::mutex mutex_;  // guards every member below
  // Each side is woken only while it waits, the thread only once half the
  // ring is free again: a wake-up costs about as much as reading a block.
  std::condition_variable blocksFreed_, blockReady_;
  bool threadWaits_ = false, takerWaits_ = false;
  std::vector<Block> free_;   // storage for blocks still to read
  std::vector<Block> slots_;  // block i in slot i % size, from its claim until taken
  std::uint64_t taken_ = 0;   // the blocks handed out: the next to hand out
  std::uint64_t claimed_ = 0;  // the blocks being read or read: the next to read
  std::uint64_t end_ = UINT64_MAX;  // the first block read short (the end) or failed
  bool stopping_ = false;  // the destructor asks the thread to stop
  std::thread thread_;
};
