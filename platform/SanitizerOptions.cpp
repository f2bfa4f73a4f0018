// Runtime options every sanitized build of our programs starts with. The
// sanitizer runtime asks the program for them, so this file is linked into
// each program itself (not archived in the engine library, where nothing
// would pull it in). Options given in ASAN_OPTIONS still take precedence.
//
// intercept_tls_get_addr=0: the __tls_get_addr hook of the sanitizer runtime
// shipped with GCC 12 (and LLVM up to 16) takes a dynamic TLS block whose
// address is 16 bytes past a page boundary for one with an old glibc header
// and records the two words before it as the block's bounds. Current glibc
// has no such header, so when a block lands there by chance the leak
// checker later scans a garbage range and its tracer dies at exit ("Tracer
// caught signal 11") after a run that passed. Which block lands there
// depends on the machine, so the crash looked random but repeated on a
// given test. Without the hook, blocks the dynamic loader allocates are
// still scanned as the loader's own allocations.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
