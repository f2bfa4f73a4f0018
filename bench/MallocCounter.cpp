// Counts malloc, calloc and realloc calls of the whole process (every
// thread, the GL driver's included) by interposing them over the C
// library's, which still does the allocating.
#include <atomic>
#include <cstddef>
#include <cstdint>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
}

namespace {
std::atomic<std::uint64_t> mallocCalls{0};
}

namespace bench {
std::uint64_t ProcessMallocCalls() { return mallocCalls.load(std::memory_order_relaxed); }
}  // namespace bench

extern "C" {
void* malloc(std::size_t size) {
  mallocCalls.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  mallocCalls.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
  mallocCalls.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
}
