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

// From now on every block of 128 KiB or more is mapped on its own and
// unmapped when freed. glibc otherwise raises that threshold each time such
// a block is freed, so the large lists of a loader that runs again and
// again (live reloads) end up inside the heap, fragment it, and the
// resident memory creeps even though nothing leaks. Main thread, before the
// repeated work starts.
void MapLargeBlocksApart();

}  // namespace platform
