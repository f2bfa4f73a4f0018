// Prefaulting keeps what the memory holds, for any range, aligned or not.
#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(Memory, PrefaultKeepsTheContentsOfAnyRange) {
  std::vector<std::uint8_t> data(5 * 4096 + 123);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  const std::vector<std::uint8_t> before = data;
  for (size_t offset : {0, 1, 4095, 4096}) {
    for (size_t length : {0, 1, 100, 4096, 3 * 4096 + 5}) {
      platform::PrefaultForWriting(data.data() + offset, length);
      ASSERT_EQ(data, before) << offset << " + " << length;
    }
  }
  std::vector<float> fresh;
  fresh.reserve(100000);
  platform::PrefaultForWriting(fresh.data(), fresh.capacity() * sizeof(float));
  fresh.assign(100000, 1.5f);
  EXPECT_EQ(fresh[99999], 1.5f);
}

}  // namespace
