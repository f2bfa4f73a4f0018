#include "core/vtReadAheadU.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Fills data from fd as far as read(2) goes: the bytes read, -1 on an error.
long ReadBlock(int fd, char* data, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    const ssize_t got = ::read(fd, data + done, bytes - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<long>(done);
}

vtReadAhead::Sizes WithRing(vtReadAhead::Sizes sizes) {
  sizes.Blocks = std::max<size_t>(2, sizes.Blocks);
  return sizes;
}

}  // namespace

vtReadAhead::vtReadAhead(int fd, Sizes sizes, Prepare prepare) : fd_(fd), sizes_(WithRing(sizes)), prepare_(prepare) {
  for (size_t i = 0; i < sizes_.Blocks; ++i) {
    Block block;
    block.Data.reset(new char[sizes.BlockBytes + sizes.Slack]);
    std::memset(block.Data.get() + sizes.BlockBytes, 0, sizes.Slack);
    block.Notes.reset(new std::uint64_t[sizes.NoteWords]);
    free_.push_back(std::move(block));
  }
  thread_ = std::thread([this] { ReadLoop(); });
}

vtReadAhead::~vtReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  blocksFreed_.notify_one();
  thread_.join();
}

void vtReadAhead::ReadLoop() {
  for (bool last = false; !last;) {
    Block block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (free_.empty()) {
        threadWaits_ = true;
        blocksFreed_.wait(lock, [this] { return stopping_ || 2 * free_.size() >= sizes_.Blocks; });
        threadWaits_ = false;
      }
      if (stopping_) return;
      block = std::move(free_.back());
      free_.pop_back();
    }
    const long got = ReadBlock(fd_, block.Data.get(), sizes_.BlockBytes);
    block.Failed = got < 0;
    block.Length = got > 0 ? static_cast<size_t>(got) : 0;
    if (block.Length > 0) prepare_(block.Data.get(), block.Length, sizes_.BlockBytes, block.Notes.get());
    last = block.Length == 0;
    bool wake;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(block));
      ended_ = last;
      wake = takerWaits_;
    }
    if (wake) blockReady_.notify_one();
  }
}

bool vtReadAhead::Take(std::unique_ptr<char[]>& data, std::unique_ptr<std::uint64_t[]>& notes, size_t& length) {
  Block next;
  bool wake = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ready_.empty() && !ended_) {
      takerWaits_ = true;
      blockReady_.wait(lock, [this] { return !ready_.empty() || ended_; });
      takerWaits_ = false;
    }
    if (ready_.empty()) {  // asked again after the end
      length = 0;
      return true;
    }
    next = std::move(ready_.front());
    ready_.pop_front();
    if (data && notes) {
      free_.push_back({std::move(data), std::move(notes)});
      wake = threadWaits_ && 2 * free_.size() >= sizes_.Blocks;
    }
  }
  if (wake) blocksFreed_.notify_one();
  data = std::move(next.Data);
  notes = std::move(next.Notes);
  length = next.Length;
  return !next.Failed;
}
