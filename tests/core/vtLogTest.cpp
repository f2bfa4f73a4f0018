#include "core/vtLogU.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/vtFuncU.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::ReadFileText;
using testsupport::TempDir;

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  return lines;
}

class vtLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetGlobals();
    GlobalFunc->WorkDir = dir_.Path();
    platform::SetTimeSource([this] { return now_; });
  }
  void TearDown() override {
    platform::SetTimeSource(nullptr);
    testsupport::ResetGlobals();
  }
  std::string LogPath() const { return dir_.File("data/Vortane.log"); }
  void MakeDataDir() const { ::mkdir(dir_.File("data").c_str(), 0755); }

  TempDir dir_;
  std::uint32_t now_ = 1000;
};

TEST_F(vtLogFile, BannerHeaderAndEntriesFlushedAtOnce) {
  MakeDataDir();
  vtLog log;
  EXPECT_FALSE(log.Enabled);
  log.Info("dropped", "before open");
  log.WriteLine("dropped too");
  struct stat st;
  EXPECT_NE(::stat(LogPath().c_str(), &st), 0);

  now_ = 1250;
  log.Open();
  EXPECT_TRUE(log.Enabled);
  now_ = 3040;
  log.Info("data\\intro.vtl", "vtLayerSystem.LoadFromFile");
  log.Debug("m", "");
  log.WriteBlank();

  // Read while the log is still open: every line must already be on disk.
  auto lines = SplitCrLf(ReadFileText(LogPath()));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Vortane Delphi Logger");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(Date: \d\d\.\d\d\.\d{4})"))) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Time: \d\d:\d\d:\d\d 250)"))) << lines[2];
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "* INFO * : @ 2040 MSG : data\\intro.vtl IN : vtLayerSystem.LoadFromFile");
  EXPECT_EQ(lines[5], "* DEBUG * : @ 2040 MSG : m IN : ");
  EXPECT_EQ(lines[6], "");
}

TEST_F(vtLogFile, ElapsedTimeWrapsAround) {
  MakeDataDir();
  now_ = 0xFFFFFF00u;
  vtLog log;
  log.Open();
  now_ = 0x100;
  log.Info("m", "w");
  auto lines = SplitCrLf(ReadFileText(LogPath()));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "* INFO * : @ 512 MSG : m IN : w");
}

TEST_F(vtLogFile, RecreatedOnEachOpen) {
  MakeDataDir();
  dir_.Write("data/Vortane.log", "old run\r\n");
  vtLog log;
  log.Open();
  EXPECT_EQ(SplitCrLf(ReadFileText(LogPath()))[0], "Vortane Delphi Logger");
}

TEST_F(vtLogFile, UncreatableFileWarnsAndStaysOff) {
  platform::MessageBoxRecorder boxes;
  vtLog log;  // no data folder: the file cannot be created
  log.Open();
  EXPECT_FALSE(log.Enabled);
  log.Info("m", "w");
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, "VortaneE Warning");
  EXPECT_NE(boxes.Calls()[0].Text.find(dir_.Path() + "\\data\\Vortane.log"), std::string::npos)
      << boxes.Calls()[0].Text;
}

}  // namespace
