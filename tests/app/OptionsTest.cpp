// The player's command line: every option, malformed values, the folder.
#include "app/vtOptionsU.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/vtDSysU.h"
#include "support/TestGlobals.h"

namespace {

bool Parse(std::vector<const char*> args, vtPlayerOptions& options, std::string& error) {
  args.insert(args.begin(), "vortane");
  return ParsePlayerOptions(static_cast<int>(args.size()), args.data(), options, error);
}

vtPlayerOptions Parsed(std::vector<const char*> args) {
  vtPlayerOptions options;
  std::string error;
  EXPECT_TRUE(Parse(args, options, error)) << error;
  return options;
}

TEST(PlayerOptions, NoArgumentsKeepEveryDefault) {
  const vtPlayerOptions o = Parsed({});
  EXPECT_EQ(o.DemoDir, "");
  EXPECT_FALSE(o.Live || o.Studio || o.Mute || o.Loop || o.Help || o.Version);
  EXPECT_EQ(o.Port, 7373);
  EXPECT_EQ(o.StartMs, 0.0f);
  EXPECT_EQ(o.Screen, vtScreenChoice::Script);
  EXPECT_EQ(o.Width, 0);
  EXPECT_TRUE(o.VerticalSync);
}

TEST(PlayerOptions, EveryOptionSetsItsField) {
  const vtPlayerOptions o = Parsed({"--live", "--start", "1500", "--size", "800x600", "--mute", "--loop",
                                    "--no-vsync", "--window", "demos/orbit"});
  EXPECT_TRUE(o.Live && o.Mute && o.Loop);
  EXPECT_FALSE(o.VerticalSync);
  EXPECT_EQ(o.StartMs, 1500.0f);
  EXPECT_EQ(o.Width, 800);
  EXPECT_EQ(o.Height, 600);
  EXPECT_EQ(o.Screen, vtScreenChoice::Window);
  EXPECT_EQ(o.DemoDir, "demos/orbit");
  EXPECT_EQ(Parsed({"--fullscreen"}).Screen, vtScreenChoice::FullScreen);
  EXPECT_EQ(Parsed({"--fullscreen", "--window"}).Screen, vtScreenChoice::Window) << "the last one counts";
  EXPECT_EQ(Parsed({"--start=0"}).StartMs, 0.0f);
  EXPECT_EQ(Parsed({"--size=1X2"}).Height, 2);
  EXPECT_EQ(Parsed({"--", "--odd-folder"}).DemoDir, "--odd-folder");
  EXPECT_EQ(Parsed({"--studio", "--port", "0"}).Port, 0) << "0 picks a free port";
  EXPECT_EQ(Parsed({"--port=65535", "--studio"}).Port, 65535);
  EXPECT_EQ(Parsed({"--new", "demos/first"}).NewDir, "demos/first");
  EXPECT_TRUE(Parsed({"--check", "--json"}).Json);
}

TEST(PlayerOptions, StudioImpliesLiveMode) {
  const vtPlayerOptions o = Parsed({"--studio"});
  EXPECT_TRUE(o.Studio && o.Live);
  EXPECT_EQ(o.Port, 7373);
}

TEST(PlayerOptions, HelpAndVersionEndTheParsing) {
  EXPECT_TRUE(Parsed({"--help", "--no-such-option"}).Help);
  EXPECT_TRUE(Parsed({"-h"}).Help);
  EXPECT_TRUE(Parsed({"--mute", "--version", "a", "b"}).Version);
  EXPECT_NE(std::string(kPlayerUsage).find("usage: vortane [OPTIONS] [DIR]"), std::string::npos);
  EXPECT_EQ(std::string(kPlayerVersion).rfind("vortane ", 0), 0u);
}

TEST(PlayerOptions, WrongArgumentsAreNamed) {
  const struct {
    std::vector<const char*> args;
    const char* error;
  } cases[] = {
      {{"--stat", "5"}, "unknown option --stat"},
      {{"-x"}, "unknown option -x"},
      {{"--start"}, "--start needs a value"},
      {{"--start", "abc"}, "bad value for --start: \"abc\" (whole milliseconds, 0 or more)"},
      {{"--start", "-5"}, "bad value for --start: \"-5\" (whole milliseconds, 0 or more)"},
      {{"--start", "12.5"}, "bad value for --start: \"12.5\" (whole milliseconds, 0 or more)"},
      {{"--start="}, "bad value for --start: \"\" (whole milliseconds, 0 or more)"},
      {{"--start", "99999999999"}, "bad value for --start: \"99999999999\" (whole milliseconds, 0 or more)"},
      {{"--size", "800"}, "bad value for --size: \"800\" (WIDTHxHEIGHT, each 1 to 16384)"},
      {{"--size", "0x600"}, "bad value for --size: \"0x600\" (WIDTHxHEIGHT, each 1 to 16384)"},
      {{"--size", "800x"}, "bad value for --size: \"800x\" (WIDTHxHEIGHT, each 1 to 16384)"},
      {{"--size", "20000x600"}, "bad value for --size: \"20000x600\" (WIDTHxHEIGHT, each 1 to 16384)"},
      {{"--mute=yes"}, "--mute takes no value"},
      {{"--studio=1"}, "--studio takes no value"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "65536"}, "bad value for --port: \"65536\" (a port number from 0 to 65535)"},
      {{"--port", "-1"}, "bad value for --port: \"-1\" (a port number from 0 to 65535)"},
      {{"--port", "http"}, "bad value for --port: \"http\" (a port number from 0 to 65535)"},
      {{"one", "two"}, "more than one demo folder: one and two"},
      {{"--port", "8000"}, "--port is the studio's port: it needs --studio"},
      {{"--new", "a", "b"}, "--new makes a demo; it plays none (b)"},
      {{"--new="}, "bad value for --new: \"\" (the folder to make the new demo in)"},
      {{"--live", "--port=0", "demo"}, "--port is the studio's port: it needs --studio"},
      {{""}, "the demo folder is an empty name"},
      {{"--json"}, "--json goes with --check"},
  };
  for (const auto& c : cases) {
    vtPlayerOptions options;
    std::string error;
    EXPECT_FALSE(Parse(c.args, options, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(PlayerOptions, WindowOptionsOverrideTheScript) {
  testsupport::ResetGlobals();
  vtDemoSystem demo;
  demo.Config->FullScreen = true;
  demo.Config->Width = 640;
  demo.Config->Height = 480;
  ApplyWindowOptions(vtPlayerOptions(), demo);
  EXPECT_TRUE(demo.Config->FullScreen);
  EXPECT_EQ(demo.Config->Width, 640);
  ApplyWindowOptions(Parsed({"--window", "--size", "320x200"}), demo);
  EXPECT_FALSE(demo.Config->FullScreen);
  EXPECT_EQ(demo.Config->Width, 320);
  EXPECT_EQ(demo.Config->Height, 200);
  ApplyWindowOptions(Parsed({"--fullscreen"}), demo);
  EXPECT_TRUE(demo.Config->FullScreen);
}

}  // namespace
