// The demo script reader over arbitrary files: window settings, music,
// channels, item types and render lines. Nothing is loaded or drawn here
// (fuzz_demo does that); the checks are the reader's own promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ItemFuzz.h"
#include "runtime/vtDSysU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = itemfuzz::Prepare(data, size, "vds");
  if (path.empty()) return 0;
  vtDemoSystem demo;
  demo.SetManualTime(0);
  const bool read = demo.LoadScript(path);
  // A script that was opened but not read to its end leaves no demo behind
  // and says why.
  if (!read && (!demo.Items.empty() || demo.ScriptError.empty() || demo.Loaded)) std::abort();
  for (const auto& item : demo.Items)
    if (!item || item->FileName.empty()) std::abort();
  return 0;
}
