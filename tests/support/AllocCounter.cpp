#include "support/AllocCounter.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <new>

// The replacements allocate and free with malloc and free, so that memory
// checkers see matching pairs; delete is replaced with new.
namespace {

thread_local std::uint64_t allCalls = 0;
thread_local std::uint64_t ownCalls = 0;
thread_local int counters = 0;   // live NewCallCounters: classify while > 0
thread_local bool inside = false;  // classifying (backtrace may allocate)

const void* ObjectBase(const void* address) {
  Dl_info info{};
  return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

void ProgramMarker() {}

// Where a runtime library is loaded, found by one of its symbols (taken
// from the library itself: the program may define or intercept it).
const void* LibraryBase(const char* library, const char* symbol) {
  void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
  const void* address = handle ? dlsym(handle, symbol) : nullptr;
  return address ? ObjectBase(address) : nullptr;
}

bool IsRuntime(const void* base) {
  static const void* cxxRuntime = LibraryBase("libstdc++.so.6", "_ZSt17__throw_bad_allocv");
  static const void* cRuntime = LibraryBase("libc.so.6", "ldiv");
  return base != nullptr && (base == cxxRuntime || base == cRuntime);
}

// The program's own code: the caller of operator new, or when that is a
// runtime library (libstdc++ holds std::string's growth, for one) the first
// frame out of the runtime libraries.
bool CalledByProgram(const void* caller) {
  static const void* program = ObjectBase(reinterpret_cast<const void*>(&ProgramMarker));
  const void* callerBase = ObjectBase(caller);
  if (!IsRuntime(callerBase)) return callerBase == program;
  void* frames[48];
  const int count = backtrace(frames, 48);
  bool inRuntime = false;
  for (int i = 0; i < count; ++i) {
    const void* base = ObjectBase(frames[i]);
    if (IsRuntime(base))
      inRuntime = true;
    else if (inRuntime)
      return base == program;
  }
  return false;
}

void Count(const void* caller) {
  ++allCalls;
  if (counters == 0 || inside) return;
  inside = true;
  if (CalledByProgram(caller)) ++ownCalls;
  inside = false;
}

void* Allocate(std::size_t size) {
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (!p) throw std::bad_alloc();
  return p;
}

void* AllocateAligned(std::size_t size, std::align_val_t align) {
  const std::size_t alignment = static_cast<std::size_t>(align);
  const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
  return std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
}

void* AllocateAlignedOrThrow(std::size_t size, std::align_val_t align) {
  void* p = AllocateAligned(size, align);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace testsupport {

NewCallCounter::NewCallCounter() {
  if (counters++ == 0) {
    void* warm[1];
    inside = true;
    backtrace(warm, 1);  // loads the unwinder now, not inside a count
    inside = false;
  }
  startAll_ = allCalls;
  startOwn_ = ownCalls;
}

NewCallCounter::~NewCallCounter() { --counters; }

std::uint64_t NewCallCounter::Calls() const { return allCalls - startAll_; }
std::uint64_t NewCallCounter::OwnCalls() const { return ownCalls - startOwn_; }

}  // namespace testsupport

// Each form counts its own caller: the code that asked for the memory.
void* operator new(std::size_t size) {
  Count(__builtin_return_address(0));
  return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  Count(__builtin_return_address(0));
  return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  Count(__builtin_return_address(0));
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  Count(__builtin_return_address(0));
  return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t align) {
  Count(__builtin_return_address(0));
  return AllocateAlignedOrThrow(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
  Count(__builtin_return_address(0));
  return AllocateAlignedOrThrow(size, align);
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  Count(__builtin_return_address(0));
  return AllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  Count(__builtin_return_address(0));
  return AllocateAligned(size, align);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
