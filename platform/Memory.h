// Memory the system maps for us, and the heap's pages.
#pragma once

#include <cstddef>

namespace platform {

// Maps the whole pages inside [data, data + bytes) now, in one request,
// instead of one page fault at a time as they are first written: cheaper
// for a large list that is about to be filled. The contents stay as they
// were. Without the request (an older system) nothing happens; nothing is
// shown or logged. Any thread.
void PrefaultForWriting(void* data, std::size_t bytes);

// Gives the heap's free memory back to the system (glibc's malloc_trim):
// after a large object was freed the allocator would otherwise keep its
// pages resident. Takes about a millisecond per ten megabytes returned;
// any thread.
void ReturnFreeMemory();

}  // namespace platform
