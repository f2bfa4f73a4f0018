#include "support/TestGlobals.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
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

namespace {

constexpr unsigned kFileOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

// The thread's capability sets (no libcap: two plain system calls).
bool Capabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capget, &header, data) == 0;
}

bool SetEffectiveFileOverrides(bool raised) {
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (!Capabilities(data)) return false;
  data[0].effective = raised ? data[0].effective | (data[0].permitted & kFileOverrides)
                             : data[0].effective & ~kFileOverrides;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

ObeyFileModes::ObeyFileModes() {
  if (::geteuid() != 0) {
    active_ = true;
    return;
  }
  lowered_ = SetEffectiveFileOverrides(false);
  active_ = lowered_;
}

ObeyFileModes::~ObeyFileModes() {
  if (lowered_) SetEffectiveFileOverrides(true);
}

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
