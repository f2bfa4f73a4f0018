// Counts the heap allocations through operator new made by the calling
// thread: the program's global operator new is replaced by one that counts
// (and allocates with malloc, as the library's own does).
#pragma once

#include <cstdint>

namespace testsupport {

// The allocations this thread makes during the counter's life, in all and
// those of the program's own code: an allocation is the program's when the
// first caller outside the C++ and C runtime libraries is in the program
// itself, not in a library such as the GL driver (which allocates as it
// compiles and caches its shaders).
class NewCallCounter {
 public:
  NewCallCounter();
  ~NewCallCounter();
  NewCallCounter(const NewCallCounter&) = delete;
  NewCallCounter& operator=(const NewCallCounter&) = delete;

  std::uint64_t Calls() const;
  std::uint64_t OwnCalls() const;

 private:
  std::uint64_t startAll_;
  std::uint64_t startOwn_;
};

}  // namespace testsupport
