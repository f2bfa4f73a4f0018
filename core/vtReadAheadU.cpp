#include "core/vtReadAheadU.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

// Fills data from fd at `offset` as far as the file goes: the bytes read,
// -1 on an error.
long ReadBlock(int fd, char* data, size_t bytes, std::int64_t offset) {
  size_t done = 0;
  while (done < bytes) {
    const ssize_t got = ::pread(fd, data + done, bytes - done, static_cast<off_t>(offset + done));
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

std::int64_t PositionOf(int fd) {
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at < 0) throw std::system_error(errno, std::generic_category(), "no position to read ahead from");
  return at;
}

}  // namespace

vtReadAhead::vtReadAhead(int fd, Sizes sizes, Prepare prepare)
    : fd_(fd), start_(PositionOf(fd)), sizes_(WithRing(sizes)), prepare_(prepare) {
  slots_.resize(sizes_.Blocks);
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

// Storage is free and the end not yet read. At most a ring's worth of
// blocks is claimed and not taken, so their slots never meet.
bool vtReadAhead::CanClaim() const { return !free_.empty() && claimed_ <= end_ && !stopping_; }

std::uint64_t vtReadAhead::Claim(Block& block) {
  block = std::move(free_.back());
  free_.pop_back();
  return claimed_++;
}

void vtReadAhead::ReadInto(std::uint64_t index, Block& block) const {
  const long got = ReadBlock(fd_, block.Data.get(), sizes_.BlockBytes,
                             start_ + static_cast<std::int64_t>(index * sizes_.BlockBytes));
  block.Failed = got < 0;
  block.Length = got > 0 ? static_cast<size_t>(got) : 0;
  if (block.Length > 0) prepare_(block.Data.get(), block.Length, sizes_.BlockBytes, block.Notes.get());
}

// A short block is the file's end: nothing behind it is handed out, even
// when the file has grown since.
void vtReadAhead::Publish(std::uint64_t index, Block&& block) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (block.Failed || block.Length < sizes_.BlockBytes) end_ = std::min(end_, index);
    block.Ready = true;
    slots_[index % slots_.size()] = std::move(block);
    wake = takerWaits_;
  }
  if (wake) blockReady_.notify_one();
}

void vtReadAhead::ReadLoop() {
  for (;;) {
    Block block;
    std::uint64_t index;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!CanClaim()) {
        threadWaits_ = true;
        blocksFreed_.wait(lock, [this] { return stopping_ || (2 * free_.size() >= sizes_.Blocks && CanClaim()); });
        threadWaits_ = false;
      }
      if (stopping_) return;
      index = Claim(block);
    }
    ReadInto(index, block);
    Publish(index, std::move(block));
  }
}

// The next block when it is ready; while it is not, a later one is read
// here if storage is free, else the thread is waited for. The next block
// is always claimed: every block up to the end is, before any behind it.
bool vtReadAhead::Take(std::unique_ptr<char[]>& data, std::unique_ptr<std::uint64_t[]>& notes, size_t& length) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (taken_ > end_) {  // asked again after the end: the caller keeps its block
    length = 0;
    return true;
  }
  bool wakeThread = false;
  if (data && notes) {
    free_.push_back({std::move(data), std::move(notes)});
    wakeThread = threadWaits_ && 2 * free_.size() >= sizes_.Blocks;
  }
  Block next;
  for (;;) {
    Block& slot = slots_[taken_ % slots_.size()];
    if (taken_ < claimed_ && slot.Ready) {
      next = std::move(slot);
      slot.Ready = false;
      ++taken_;
      break;
    }
    if (CanClaim()) {
      Block block;
      const std::uint64_t index = Claim(block);
      lock.unlock();
      ReadInto(index, block);
      Publish(index, std::move(block));
      lock.lock();
      continue;
    }
    takerWaits_ = true;
    blockReady_.wait(lock, [&] { return slot.Ready; });
    takerWaits_ = false;
  }
  lock.unlock();
  if (wakeThread) blocksFreed_.notify_one();
  data = std::move(next.Data);
  notes = std::move(next.Notes);
  length = next.Length;
  return !next.Failed;
}
