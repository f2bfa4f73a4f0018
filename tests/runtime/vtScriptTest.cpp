// Reading the demo script: keys, channel and lines blocks, the version file.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "support/AudioMedia.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::ChangeDir;
using testsupport::TempDir;

class ScriptTest : public ::testing::Test {
 protected:
  ScriptTest() : cd_(dir_.Path()) { testsupport::ResetGlobals(); }

  // Writes data\test.vds and reads it into a fresh demo system.
  vtDemoSystem& Load(const std::string& script) {
    dir_.Write("data/test.vds", script);
    demo_ = std::make_unique<vtDemoSystem>();
    loaded_ = demo_->LoadScript("data\\test.vds");
    return *demo_;
  }
  static std::string Channel(const std::string& type, const std::string& file, const std::string& lines) {
    return "VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE \"" + type + "\"\n VT_RENDER_ITEMS_FILE \"" + file +
           "\"\n VT_RENDER_LINES {\n" + lines + " }\n}\n";
  }
  std::string Path(const std::string& name) const { return GlobalFunc->WorkDir + "\\" + name; }

  TempDir dir_;
  ChangeDir cd_;
  platform::MessageBoxRecorder boxes_;
  std::unique_ptr<vtDemoSystem> demo_;
  bool loaded_ = false;
};

TEST_F(ScriptTest, DefaultsWithoutKeysAndMissingScript) {
  vtDemoSystem& d = Load("# nothing here\n\n");
  EXPECT_TRUE(loaded_);
  EXPECT_TRUE(d.Loaded);
  EXPECT_EQ(d.ScriptName, "data\\test.vds");
  EXPECT_EQ(d.Config->Title, "Vortane Engine");
  EXPECT_EQ(d.Config->Width, 640);
  EXPECT_EQ(d.Config->Height, 480);
  EXPECT_EQ(d.Config->Bits, 32);
  EXPECT_FALSE(d.Config->FullScreen);
  EXPECT_EQ(d.DemoEndTime, -1.0f);
  EXPECT_FALSE(d.DebugMode || d.CursorMode || d.SpaceStop);

  vtDemoSystem missing;
  EXPECT_FALSE(missing.LoadScript("data\\nothing.vds"));
  EXPECT_FALSE(missing.Loaded);
  EXPECT_TRUE(missing.ScriptError.empty());
  EXPECT_TRUE(boxes_.Calls().empty());
}

TEST_F(ScriptTest, WrongExtensionIsRefusedWithTheReadersBox) {
  dir_.Write("data/test.txt", "VT_CURSOR\n");
  vtDemoSystem d;
  EXPECT_FALSE(d.LoadScript("data\\test.txt"));
  EXPECT_FALSE(d.Loaded);
  EXPECT_FALSE(d.CursorMode);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].Text.rfind("Bad File Format: vds", 0), 0u);
}

TEST_F(ScriptTest, EveryTopLevelKey) {
  vtDemoSystem& d = Load(
      "VT_DEMO_NAME \"Tunnel\"\nVT_DEMO_NAME \"Two\"\n"
      "VT_WINDOW_WIDTH 800\nVT_WINDOW_HEIGHT\t600\nVT_WINDOW_BITS 16\nVT_FULLSCREEN\n"
      "VT_DEBUG_MODE\nVT_CURSOR\nVT_SPACESTOP\nVT_STREAM_MODE \"vt_ZIP\"\nVT_DEMO_ENDTIME 20000\n"
      "VT_BASS_TIMER\n");
  EXPECT_EQ(d.DemoName, "Two");
  EXPECT_EQ(d.Config->Title, "Vortane Engine : Tunnel : Two");
  EXPECT_EQ(d.Config->Width, 800);
  EXPECT_EQ(d.Config->Height, 600);
  EXPECT_EQ(d.Config->Bits, 16);
  EXPECT_TRUE(d.Config->FullScreen);
  EXPECT_TRUE(d.DebugMode);
  EXPECT_TRUE(d.CursorMode);
  EXPECT_TRUE(d.SpaceStop);
  EXPECT_EQ(GlobalFunc->StreamMode, vt_ZIP);
  EXPECT_EQ(d.DemoEndTime, 20000.0f);
  EXPECT_FALSE(d.Music->Timer);  // no stream: the timer key has no effect
  EXPECT_EQ(d.ClockSource(), vtClockSource::System);
}

TEST_F(ScriptTest, KeysMatchAnywhereInALineAndUnknownStreamModeIsNone) {
  vtDemoSystem& d = Load("VT_DEMO_NAME \"VT_FULLSCREEN party\"\nVT_STREAM_MODE \"vt_zip\"\n");
  EXPECT_TRUE(d.Config->FullScreen);
  EXPECT_EQ(GlobalFunc->StreamMode, vt_NONE);
}

TEST_F(ScriptTest, TimerKeyAfterTheMusicMakesTheMusicTheClock) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(testsupport::WriteSound(dir_.File("My Song.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1,
                                      testsupport::TestTones(2205, 1, 22050)));
  vtDemoSystem& d = Load("VT_BASS_MUSIC \"My Song.wav\"\nVT_BASS_TIMER\n");
  EXPECT_TRUE(d.Music->Loaded);
  EXPECT_EQ(d.Music->FileName, Path("My Song.wav"));
  EXPECT_TRUE(d.Music->Timer);
  EXPECT_EQ(d.ClockSource(), vtClockSource::Music);
}

TEST_F(ScriptTest, LoggerKeyCreatesTheLog) {
  dir_.Write("data/keep", "");
  Load("VT_LOGGER\n");
  EXPECT_TRUE(GlobalLog->Enabled);
}

TEST_F(ScriptTest, VersionFileGivesTheTitle) {
  dir_.Write("data/versio.inf", "Party Edition 2\r\nsecond line\r\n");
  vtConfigData config;
  EXPECT_EQ(config.Title, "Party Edition 2");
  dir_.Write("data/versio.inf", "");
  EXPECT_EQ(vtConfigData().Title, "Vortane Engine");
}

TEST_F(ScriptTest, VersionDirectoryKeepsTheDefault) {
  dir_.Write("data/versio.inf/x", "");
  EXPECT_EQ(vtConfigData().Title, "Vortane Engine");
}

TEST_F(ScriptTest, MalformedIntegerIsAReportedScriptError) {
  vtDemoSystem& d = Load("VT_CURSOR\n" + Channel("vt_TRANS", "a.vtt", "VT_RENDER_TIMES_BEGIN_END 0 1 0 \"vt_PLAY\"\n") +
                         "VT_WINDOW_HEIGHT 600 \n");
  EXPECT_FALSE(loaded_);
  EXPECT_FALSE(d.Loaded);
  EXPECT_TRUE(d.Items.empty());
  EXPECT_NE(d.ScriptError.find("\"600 \" is an invalid integer"), std::string::npos);
  EXPECT_NE(d.ScriptError.find("data\\test.vds"), std::string::npos);
  EXPECT_NE(d.ScriptError.find("LINE: 9"), std::string::npos);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].Caption, "VortaneF Panic");
  EXPECT_EQ(boxes_.Calls()[0].Text, d.ScriptError);
}

TEST_F(ScriptTest, MalformedRenderLineWordIsAScriptError) {
  vtDemoSystem& d = Load(Channel("vt_TRANS", "a.vtt", "VT_RENDER_TIMES_BEGIN_END 0 1.5 0 \"vt_PLAY\"\n"));
  EXPECT_FALSE(loaded_);
  EXPECT_NE(d.ScriptError.find("\"1.5\" is an invalid integer"), std::string::npos);
}

TEST_F(ScriptTest, ChannelCreatesItemWithLines) {
  vtDemoSystem& d = Load(Channel("vt_TRANS", "data\\cam.vtt",
                                 "  VT_RENDER_TIMES_BEGIN_END 0 20000 0 \"vt_PLAY\"\n"
                                 "\tVT_RENDER_TIMES_BEGIN_END\t500  900 1 \"vt_UNPLAY\"\n"
                                 "  VT_RENDER_TIMES_BEGIN_END 1 2 0 \"vt_BACK\"\n"
                                 "# VT_RENDER_TIMES_BEGIN_END 3 4 0 \"vt_PLAY\"\n"));
  ASSERT_EQ(d.Items.size(), 1u);
  auto& item = *d.Items[0];
  EXPECT_EQ(item.ItemType, vt_TRANS);
  EXPECT_EQ(item.FileName, Path("data\\cam.vtt"));
  ASSERT_EQ(item.Lines.size(), 3u);
  EXPECT_EQ(item.Lines[0]->BeginTime, 0.0f);
  EXPECT_EQ(item.Lines[0]->EndTime, 20000.0f);
  EXPECT_EQ(item.Lines[0]->PlayType, vt_PLAY);
  EXPECT_EQ(item.Lines[1]->BeginTime, 500.0f);
  EXPECT_EQ(item.Lines[1]->EndTime, 900.0f);
  EXPECT_EQ(item.Lines[1]->TimeMode, 1);
  EXPECT_EQ(item.Lines[1]->PlayType, vt_UNPLAY);
  EXPECT_EQ(item.Lines[2]->PlayType, vt_NONE);
}

TEST_F(ScriptTest, ChannelClosedOnItsOpeningLineAddsNothing) {
  vtDemoSystem& d = Load("VT_RENDER_CHANNEL { }\n VT_RENDER_ITEMS_TYPE \"vt_TRANS\"\n VT_RENDER_ITEMS_FILE \"a.vtt\"\n}\n");
  EXPECT_TRUE(d.Items.empty());
}

TEST_F(ScriptTest, BraceInLinesBlockEndsBlockAndChannel) {
  vtDemoSystem& d = Load(
      "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\nVT_RENDER_ITEMS_FILE \"a.vtt\"\n"
      "VT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 10 0 \"vt_PLAY\"\n}\n"
      "VT_CURSOR\n}\n");
  ASSERT_EQ(d.Items.size(), 1u);
  EXPECT_EQ(d.Items[0]->Lines.size(), 1u);
  EXPECT_TRUE(d.CursorMode);  // read at top level again
}

TEST_F(ScriptTest, CommentBraceEndsLinesBlockWithItemButChannelWithout) {
  vtDemoSystem& d = Load(
      "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\nVT_RENDER_ITEMS_FILE \"a.vtt\"\n"
      "VT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 10 0 \"vt_PLAY\"\n# } lines\n"
      "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_FILE \"b.vtt\"\n# } dropped\n");
  ASSERT_EQ(d.Items.size(), 1u);
  EXPECT_EQ(d.Items[0]->FileName, Path("a.vtt"));
}

TEST_F(ScriptTest, TypeCarriesAcrossChannelsAndUnknownTypeKeepsIt) {
  vtDemoSystem& d = Load(Channel("vt_TRANS", "a.vtt", "VT_RENDER_TIMES_BEGIN_END 0 1 0 \"vt_PLAY\"\n") +
                         Channel("vt_trans", "b.vtt", "") +
                         "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_FILE \"c.vtt\"\n}\n");
  ASSERT_EQ(d.Items.size(), 3u);
  EXPECT_EQ(d.Items[1]->ItemType, vt_TRANS);
  EXPECT_EQ(d.Items[2]->FileName, Path("c.vtt"));
  EXPECT_TRUE(d.Items[1]->Lines.empty());
}

TEST_F(ScriptTest, ChannelWithoutItsOwnItemAppendsNothingAndWarns) {
  vtDemoSystem& d = Load(Channel("vt_TRANS", "a.vtt", "") +
                         "VT_RENDER_CHANNEL {\nVT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 1 0 \"vt_PLAY\"\n}\n"
                         "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_NONE\"\n}\n");
  ASSERT_EQ(d.Items.size(), 1u);
  EXPECT_TRUE(d.Items[0]->Lines.empty());
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].Caption, "VortaneE Warning");
  EXPECT_NE(boxes_.Calls()[0].Text.find("data\\test.vds"), std::string::npos);
  EXPECT_NE(boxes_.Calls()[0].Text.find("LINE: 9"), std::string::npos);
}

TEST_F(ScriptTest, FileLineWithoutTypeCreatesNothing) {
  vtDemoSystem& d = Load("VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_FILE \"a.vtt\"\n}\n");
  EXPECT_TRUE(d.Items.empty());
}

TEST_F(ScriptTest, ScriptEndingInsideABlockEndsIt) {
  vtDemoSystem& d = Load(
      "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\nVT_RENDER_ITEMS_FILE \"a.vtt\"\n"
      "VT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 10 0 \"vt_PLAY\"\n");
  EXPECT_TRUE(loaded_);
  ASSERT_EQ(d.Items.size(), 1u);
  EXPECT_EQ(d.Items[0]->Lines.size(), 1u);
  Load("VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\nVT_RENDER_ITEMS_FILE \"a.vtt\"");
  EXPECT_EQ(demo_->Items.size(), 1u);
}

TEST_F(ScriptTest, CommentBlocksAreSkipped) {
  vtDemoSystem& d = Load("/* VT_CURSOR\nVT_SPACESTOP\n*/ VT_DEBUG_MODE\n#VT_FULLSCREEN\n");
  EXPECT_FALSE(d.CursorMode);
  EXPECT_FALSE(d.SpaceStop);
  EXPECT_TRUE(d.DebugMode);
  EXPECT_FALSE(d.Config->FullScreen);
}

}  // namespace
