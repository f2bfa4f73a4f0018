// The format reference cannot fall behind the readers: every format and
// every key of the readers' tables has its place in docs/formats.md.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/vtKeysU.h"

namespace {

std::string Reference() {
  std::ifstream in(VT_SOURCE_DIR "/docs/formats.md");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FormatReference, DescribesEveryKeyTheReadersKnow) {
  const std::string reference = Reference();
  ASSERT_FALSE(reference.empty());
  for (std::size_t t = 0; t < KeyTableCount(); ++t) {
    const vtKeyTable& table = KeyTables()[t];
    EXPECT_NE(reference.find("(`." + std::string(table.Extension) + "`)"), std::string::npos) << table.Format;
    for (const vtKey& key : table)
      EXPECT_NE(reference.find("`" + std::string(key.Name)), std::string::npos)
          << key.Name << " (" << table.Format << ")";
  }
}

}  // namespace
