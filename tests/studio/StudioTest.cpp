// The studio on a real demo: the timeline it shows, the page's commands
// taking effect at the next frame, reloads and messages reaching the
// streams, the waveform read off the main thread, and frames that
// allocate nothing with the studio attached.
#include "studio/vtStudioU.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sndfile.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "core/vtFuncU.h"
#include "live/vtLiveFindingsU.h"
#include "live/vtReloadU.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "support/AllocCounter.h"
#include "support/AudioMedia.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"
#include "studio/vtStudioJsonU.h"

using nlohmann::json;

namespace {

constexpr const char* kScript = R"(VT_DEMO_ENDTIME 20000
VT_BASS_MUSIC "data\music.wav"
VT_RENDER_CHANNEL {
VT_RENDER_ITEMS_TYPE "vt_TRANS"
VT_RENDER_ITEMS_FILE "data\camera.vtt"
VT_RENDER_LINES {
VT_RENDER_TIMES_BEGIN_END 0 20000 0 "vt_PLAY"
}
}
VT_RENDER_CHANNEL {
VT_RENDER_ITEMS_TYPE "vt_MESH"
VT_RENDER_ITEMS_FILE "data\Ring.vto"
VT_RENDER_LINES {
VT_RENDER_TIMES_BEGIN_END 1000 5000 1 "vt_PLAY"
VT_RENDER_TIMES_BEGIN_END 6000 9000 0 "vt_UNPLAY"
}
}
VT_RENDER_CHANNEL {
VT_RENDER_ITEMS_TYPE "vt_MESH"
VT_RENDER_ITEMS_FILE "data\broken.vto"
VT_RENDER_LINES {
VT_RENDER_TIMES_BEGIN_END 0 100 0 "vt_PLAY"
}
}
)";

constexpr const char* kMesh = R"(VT_MESH_INFO {
VT_MESH_TYPE
VT_GEN_TYPE "vt_TORUS"
VT_PARAMETER {
VT_RADIUS 1.0
VT_WITH 0.3
VT_STACKS %s
VT_SLICES 8
}
}
)";

std::string Mesh(const char* stacks) {
  char text[256];
  std::snprintf(text, sizeof text, kMesh, stacks);
  return text;
}

// The demo above in a scratch folder, loaded and started, on a clock the
// test moves.
class StudioTest : public testsupport::DemoGlTest {
 protected:
  void SetUp() override {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::SetTimeSource([this] { return now_; });
    DemoGlTest::SetUp();
    dir_.Write("data/tunnel_test.vds", kScript);
    dir_.Write("data/camera.vtt", "VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t0 0 -6\n}\n");
    dir_.Write("data/Ring.vto", Mesh("8"));
    dir_.Write("data/broken.vto", Mesh("eight"));
    // Two seconds of music: loud in the first, silent in the second.
    std::vector<std::int16_t> music = testsupport::TestTones(22050, 1, 22050);
    music.resize(44100, 0);
    ASSERT_TRUE(testsupport::WriteSound(dir_.File("data/music.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, music));
    ASSERT_TRUE(demo_.LoadScript("data\\tunnel_test.vds"));
    demo_.Init();
    demo_.Music->Stop();
  }
  void TearDown() override { platform::SetTimeSource({}); }

  void Frame() {
    studio_.BeforeFrame();
    demo_.DrawFrame();
    studio_.AfterFrame();
  }

  std::uint32_t now_ = 100000;
  testsupport::TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
  platform::MessageBoxRecorder boxes_;
  vtDemoSystem demo_;
  vtStudio studio_{demo_};
};

// A row says "missing" for a file that is not there, and carries what was
// found in its file when it was last read: a file read again forgets it.
TEST_F(StudioTest, RowsSayMissingAndCarryTheirFilesLatestFindings) {
  vtLiveFindings findings;
  vtFindingsScope scope(findings);
  studio_.SetFindings(&findings);
  dir_.Write("data/Ring.vto", Mesh("0"));
  demo_.LoadItem(*demo_.Items[1]);
  std::remove(dir_.File("data/camera.vtt").c_str());
  json items = TimelineJson(studio_.BuildTimeline())["items"];
  EXPECT_EQ(items[0]["status"], "missing");
  ASSERT_EQ(items[1]["findings"].size(), 1u) << items[1];
  EXPECT_EQ(items[1]["findings"][0]["code"], "torus");
  dir_.Write("data/Ring.vto", Mesh("8"));
  demo_.LoadItem(*demo_.Items[1]);
  EXPECT_TRUE(TimelineJson(studio_.BuildTimeline())["items"][1]["findings"].empty());
}

TEST_F(StudioTest, TheTimelineShowsEveryItemAsTheScriptWroteIt) {
  const vtTimeline timeline = studio_.BuildTimeline();
  EXPECT_EQ(timeline.EndMs, 20000);
  ASSERT_EQ(timeline.Items.size(), 3u);
  const vtTimelineItem& camera = timeline.Items[0];
  EXPECT_EQ(camera.Type, "vt_TRANS");
  EXPECT_EQ(camera.File, "data\\camera.vtt");
  EXPECT_EQ(camera.Status, "loaded");
  EXPECT_EQ(camera.Message, "");
  const vtTimelineItem& ring = timeline.Items[1];
  EXPECT_EQ(ring.File, "data\\Ring.vto");
  ASSERT_EQ(ring.Lines.size(), 2u);
  EXPECT_EQ(ring.Lines[0].Begin, 1000);
  EXPECT_EQ(ring.Lines[0].End, 5000);
  EXPECT_EQ(ring.Lines[0].Mode, 1);
  EXPECT_EQ(ring.Lines[0].Play, "vt_PLAY");
  EXPECT_EQ(ring.Lines[1].Play, "vt_UNPLAY");
  const vtTimelineItem& broken = timeline.Items[2];
  EXPECT_EQ(broken.Status, "failed");
  EXPECT_NE(broken.Message.find("\"eight\""), std::string::npos) << broken.Message;
  EXPECT_NE(broken.Message.find("File: data\\broken.vto\nLINE: 7"), std::string::npos) << broken.Message;
  EXPECT_EQ(broken.Message.find(dir_.Path()), std::string::npos) << "the work folder is left out";
}

TEST_F(StudioTest, CommandsTakeEffectAtTheNextFrameAndTheStateFollows) {
  vtStudioExchange& exchange = studio_.Exchange();
  Frame();
  exchange.Push({vtStudioCommandKind::Seek, 12000, 0});
  exchange.Push({vtStudioCommandKind::Pause, 0, 0});
  EXPECT_NE(demo_.CurrentTime, 12000) << "nothing happens before the frame";
  Frame();
  EXPECT_EQ(demo_.CurrentTime, 12000);
  EXPECT_TRUE(demo_.Paused());
  vtStudioState state = exchange.State();
  EXPECT_EQ(state.TimeMs, 12000);
  EXPECT_EQ(state.EndMs, 20000);
  EXPECT_TRUE(state.Paused);

  exchange.Push({vtStudioCommandKind::Speed, 0.5f, 0});
  exchange.Push({vtStudioCommandKind::Loop, 11000, 13000});
  exchange.Push({vtStudioCommandKind::Resume, 0, 0});
  Frame();
  EXPECT_EQ(demo_.Speed(), 0.5f);
  EXPECT_FALSE(demo_.Paused());
  state = exchange.State();
  EXPECT_TRUE(state.Loop);
  EXPECT_EQ(state.LoopFrom, 11000);
  EXPECT_EQ(state.LoopTo, 13000);
  now_ += 2400;  // 1200 ms of demo time at half speed: past the loop's end
  Frame();
  Frame();
  EXPECT_LT(demo_.CurrentTime, 13000) << "the loop set by the page wraps";

  exchange.Push({vtStudioCommandKind::ClearLoop, 0, 0});
  Frame();
  EXPECT_FALSE(exchange.State().Loop);
}

TEST_F(StudioTest, ReloadsAndMessagesReachTheStreamsAndTheTimeline) {
  vtStudioExchange& exchange = studio_.Exchange();
  const std::string ring = GlobalFunc->WorkDir + "\\data\\Ring.vto";
  const std::string failure = "\"x\" is an invalid integer\rFile: " + ring + "\rLINE: 7";
  studio_.PostMessage(vtConsoleKind::Panic, kCaptionPanic, failure, 1500.4f);
  studio_.Reloaded({vtReloadEvent::Status::Failed, 1, ring, failure});
  vtTimeline timeline = *exchange.Timeline();
  EXPECT_EQ(timeline.Items[1].Status, "failed");
  EXPECT_EQ(timeline.Items[1].Message, "\"x\" is an invalid integer\nFile: data\\Ring.vto\nLINE: 7");
  std::vector<vtStudioEvent> events;
  ASSERT_TRUE(exchange.EventsAfter(0, std::chrono::milliseconds(0), events));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].Name, "message");
  EXPECT_EQ(json::parse(events[0].Data),
            json({{"kind", "panic"},
                  {"caption", kCaptionPanic},
                  {"text", "\"x\" is an invalid integer\nFile: data\\Ring.vto\nLINE: 7"},
                  {"time_ms", 1500}}));
  EXPECT_EQ(events[1].Name, "reload");
  EXPECT_EQ(json::parse(events[1].Data), json({{"index", 1}, {"status", "failed"}, {"file", "data\\Ring.vto"}}));

  studio_.Reloaded({vtReloadEvent::Status::Reloaded, 1, ring, ""});
  timeline = *exchange.Timeline();
  EXPECT_EQ(timeline.Items[1].Status, "reloaded");
  EXPECT_EQ(timeline.Items[1].Message, "");
  EXPECT_EQ(timeline.Items[2].Status, "failed") << "other items keep theirs";
  // A huge message is cut, not carried whole to every stream.
  studio_.PostMessage(vtConsoleKind::Warning, kCaptionWarning, std::string(100000, 'x'), 0);
  ASSERT_TRUE(exchange.EventsAfter(2, std::chrono::milliseconds(0), events));
  EXPECT_LT(json::parse(events.back().Data)["text"].get<std::string>().size(), 5000u);
  // An item replaced by a new object starts afresh.
  demo_.Items[1] = CreateRenderItem(vt_MESH, ring);
  studio_.Reloaded({vtReloadEvent::Status::Reloaded, -1, GlobalFunc->WorkDir + "\\data\\tunnel_test.vds", ""});
  EXPECT_EQ(exchange.Timeline()->Items[1].Status, "loaded");
  // A picture's event names it as the demo does, not by its canonical path.
  studio_.Reloaded({vtReloadEvent::Status::Reloaded, -1, GlobalFunc->WorkDir + "/data/textures/sky.png", ""});
  ASSERT_TRUE(exchange.EventsAfter(0, std::chrono::milliseconds(0), events));
  EXPECT_EQ(json::parse(events.back().Data)["file"], "data\\textures\\sky.png");
}

// The reload controller tells the studio once a script's merge is done:
// an item whose reload failed stays failed, with its message, when the
// script adds an item in front of it.
TEST_F(StudioTest, AFailedReloadStaysFailedWhenTheScriptAddsAnItemInFrontOfIt) {
  vtReloadController reloads(demo_, "data\\tunnel_test.vds");
  std::vector<vtReloadEvent> events;
  reloads.SetObserver([&](const vtReloadEvent& event) {
    events.push_back(event);
    studio_.Reloaded(event);
  });
  dir_.Write("data/Ring.vto", Mesh("x"));
  EXPECT_FALSE(reloads.ReloadItem(1));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_NE(events[0].Message.find("LINE: 7"), std::string::npos) << events[0].Message;
  std::string script = kScript;
  const std::string front = "VT_RENDER_CHANNEL {\nVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\nVT_RENDER_ITEMS_FILE "
                            "\"data\\front.vtt\"\nVT_RENDER_LINES {\nVT_RENDER_TIMES_BEGIN_END 0 10 0 \"vt_PLAY\"\n}\n}\n";
  script.insert(script.find("VT_RENDER_CHANNEL"), front);
  dir_.Write("data/front.vtt", "VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t0 0 -6\n}\n");
  dir_.Write("data/tunnel_test.vds", script);
  ASSERT_TRUE(reloads.ReloadScript());
  const vtTimeline timeline = *studio_.Exchange().Timeline();
  ASSERT_EQ(timeline.Items.size(), 4u);
  EXPECT_EQ(timeline.Items[0].Status, "loaded");
  EXPECT_EQ(timeline.Items[2].File, "data\\Ring.vto");
  EXPECT_EQ(timeline.Items[2].Status, "failed");
  EXPECT_NE(timeline.Items[2].Message.find("File: data\\Ring.vto\nLINE: 7"), std::string::npos);
}

// Started for real: the server answers with this demo, the waveform is read
// from its music on the worker, and stopping leaves nothing running.
TEST_F(StudioTest, ServesTheDemoAndItsWaveform) {
  std::string error;
  ASSERT_TRUE(studio_.Start(0, error)) << error;
  httplib::Client client("127.0.0.1", studio_.Port());
  client.set_read_timeout(30, 0);
  const std::string token = "&token=" + studio_.Server().Token();
  const auto timeline = client.Get(("/api/timeline?x=1" + token).c_str());
  ASSERT_TRUE(timeline);
  EXPECT_EQ(json::parse(timeline->body)["items"].size(), 3u);
  const auto wave = client.Get(("/api/waveform?columns=10" + token).c_str());
  ASSERT_TRUE(wave);
  const json body = json::parse(wave->body);
  ASSERT_EQ(body["max"].size(), 10u);
  // 20 s of demo in 10 columns: the first is the loud second of music, the
  // second is silent, the rest lies past the music's end.
  EXPECT_GT(body["max"][0].get<double>(), 0.3);
  EXPECT_LT(body["min"][0].get<double>(), -0.3);
  for (int c = 1; c < 10; ++c) EXPECT_EQ(body["max"][c], 0.0) << c;
  studio_.Stop();
  EXPECT_FALSE(studio_.Server().Running());
  EXPECT_FALSE(client.Get(("/api/state?x=1" + token).c_str()));
}

// The sample demo's frames allocate nothing with the studio taking
// commands and publishing its state around each of them.
class StudioFrames : public testsupport::DemoGlTest {
 protected:
  int Width() const override { return 160; }
  int Height() const override { return 120; }
  void Frames() {
    for (float t = 0; t <= 60000; t += 750) {
      demo_.SetManualTime(t);
      studio_.BeforeFrame();
      demo_.DrawFrame();
      studio_.AfterFrame();
    }
  }

  testsupport::ChangeDir cd_{testsupport::SourceDir()};
  platform::MessageBoxRecorder boxes_;
  vtDemoSystem demo_;
  vtStudio studio_{demo_};
};

TEST_F(StudioFrames, AllocateNothing) {
  ASSERT_TRUE(demo_.LoadScript("data\\tunnel_test.vds"));
  demo_.SetManualTime(0);
  demo_.Init();
  demo_.Music->Stop();
  Frames();  // the driver builds what it caches
  studio_.Exchange().Push({vtStudioCommandKind::Speed, 1, 0});
  studio_.BeforeFrame();  // a frame with a command may allocate
  testsupport::NewCallCounter counter;
  Frames();
  EXPECT_EQ(counter.OwnCalls(), 0u);
}

}  // namespace
