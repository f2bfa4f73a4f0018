// The tunnel reader over arbitrary "vts" files, then a frame of the result.
#include <cstddef>
#include <cstdint>

#include "ItemFuzz.h"
#include "core/vtTextU.h"
#include "items/vtTunnelU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = itemfuzz::Prepare(data, size, "vts");
  if (path.empty()) return 0;
  vtTunnel tunnel;
  tunnel.FileName = path;
  tunnel.LoadFromFile();
  tunnel.Render(static_cast<float>(size) * 97.0f);
  return 0;
}
