#include "support/TestGlobals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "resources/vtStoreU.h"

namespace testsupport {

void ResetGlobals() {
  GlobalFunc = std::make_unique<vtFunc>();
  GlobalLog = std::make_unique<vtLog>();
  GlobalStore = std::make_unique<vtStore>();
}

TempDir::TempDir() {
  std::string pattern = std::string(VT_BINARY_DIR) + "/test-tmp-XXXXXX";
  std::filesystem::create_directories(VT_BINARY_DIR);
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  std::string path = File(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
  return path;
}

ChangeDir::ChangeDir(const std::string& path) : old_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(path);
}

ChangeDir::~ChangeDir() { std::filesystem::current_path(old_); }

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string SourceDir() { return VT_SOURCE_DIR; }
std::string SharedDir() { return VT_SHARED_DIR; }

namespace {
// Every test starts with the program-wide objects in place.
class GlobalsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ResetGlobals(); }
};
const auto* const kGlobals = ::testing::AddGlobalTestEnvironment(new GlobalsEnvironment);
}  // namespace

}  // namespace testsupport
