// Memory the system maps for us.
#pragma once

#include <cstddef>

namespace platform {

// Maps the whole pages inside [data, data + bytes) now, in one request,
// instead of one page fault at a time as they are first written: cheaper
// for a large list that is about to be filled. The contents stay as they
// were. Without the request (an older system) nothing happens; nothing is
// shown or logged. Any thread.
void PrefaultForWriting(void* data, std::size_t bytes);

}  // namespace platform
