// The page's edits through the real server and a real demo: the file on
// disk, the timeline answered, the picture's lines, the events, and the
// player's own write not reloaded a second time.
#include <gtest/gtest.h>
#include <httplib.h>

#include <future>
#include <nlohmann/json.hpp>

#include "edit/vtDocumentU.h"
#include "layers/vtLSysU.h"
#include "live/vtReloadU.h"
#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "studio/vtStudioU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

using nlohmann::json;

namespace {

constexpr const char* kScript =
    "VT_DEMO_ENDTIME 20000\r\n"
    "VT_RENDER_CHANNEL {\r\n"
    "\tVT_RENDER_ITEMS_TYPE \"vt_TRANS\"\r\n"
    "\tVT_RENDER_ITEMS_FILE \"data\\camera.vtt\"\r\n"
    "\tVT_RENDER_LINES {\r\n"
    "\t\tVT_RENDER_TIMES_BEGIN_END 1000 5000 0 \"vt_PLAY\"  # the intro\r\n"
    "\t}\r\n"
    "}";

class StudioEditTest : public testsupport::DemoGlTest {
 protected:
  void SetUp() override {
    DemoGlTest::SetUp();
    dir_.Write("data/tunnel_test.vds", kScript);
    dir_.Write("data/camera.vtt", "VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t0 0 -6\n}\n");
    ASSERT_TRUE(demo_.LoadScript("data\\tunnel_test.vds"));
    demo_.Init();
    ASSERT_TRUE(reloads_.Start());
    studio_.SetReloads(&reloads_);
    std::string error;
    ASSERT_TRUE(studio_.Start(0, error)) << error;
    client_ = std::make_unique<httplib::Client>("127.0.0.1", studio_.Port());
    client_->set_read_timeout(30, 0);
  }
  void TearDown() override { studio_.Stop(); }

  // A POST (a GET without a body) answered while the main loop runs frames.
  std::pair<int, json> Post(const std::string& path, const json& body) {
    auto answer = std::async(std::launch::async, [&] {
      httplib::Headers headers{{"X-Vortane-Token", studio_.Server().Token()}};
      if (body.is_null()) return client_->Get(path.c_str(), headers);
      return client_->Post(path.c_str(), headers, body.dump(), "application/json");
    });
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
      studio_.BeforeFrame();
      demo_.DrawFrame();
      studio_.AfterFrame();
    }
    const auto result = answer.get();
    if (!result) return {0, json()};
    return {result->status, json::parse(result->body)};
  }
  std::string Disk() const { return testsupport::ReadFileText(dir_.File("data/tunnel_test.vds")); }
  std::string Version() { return DocumentVersion(Disk()); }

  testsupport::TempDir dir_;
  testsupport::ChangeDir cd_{dir_.Path()};
  platform::MessageBoxRecorder boxes_;
  vtDemoSystem demo_;
  vtReloadController reloads_{demo_, "data\\tunnel_test.vds"};
  vtStudio studio_{demo_};
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(StudioEditTest, AnEditIsWrittenShownAtOnceAndNotReloadedAgain) {
  const json timeline = json::parse(client_->Get(("/api/timeline?token=" + studio_.Server().Token()).c_str())->body);
  EXPECT_EQ(timeline["script"], json({{"file", "data\\tunnel_test.vds"}, {"version", Version()}}));
  EXPECT_EQ(timeline["items"][0]["version"], DocumentVersion(testsupport::ReadFileText(dir_.File("data/camera.vtt"))));

  const auto [status, body] = Post("/api/edit/line", {{"item", 0}, {"line", 0}, {"begin", 1500}, {"end", 6000.4},
                                                      {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  EXPECT_EQ(Disk(), std::string(kScript).replace(std::string(kScript).find("1000 5000"), 9, "1500 6000"));
  EXPECT_EQ(body["items"][0]["lines"][0], json({{"begin", 1500}, {"end", 6000}, {"mode", 0}, {"play", "vt_PLAY"}}));
  EXPECT_EQ(body["script"]["version"], Version());
  EXPECT_EQ(demo_.Items[0]->Lines[0]->BeginTime, 1500) << "the next frame shows it";
  EXPECT_EQ(body["items"][0]["status"], "loaded") << "no reload from outside";

  std::vector<vtStudioEvent> events;
  studio_.Exchange().EventsAfter(0, std::chrono::milliseconds(0), events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Name, "edit");
  // The watch's news of the write is dropped: nothing reloads twice.
  const std::uint32_t reloads = reloads_.Reloads();
  for (std::uint32_t now = 1000; now < 2000; now += 50) reloads_.Poll(now);
  EXPECT_EQ(reloads_.Reloads(), reloads);

  EXPECT_EQ(Post("/api/undo", json::object()).first, 200);
  EXPECT_EQ(Disk(), kScript);
  EXPECT_EQ(demo_.Items[0]->Lines[0]->BeginTime, 1000);
  EXPECT_EQ(Post("/api/redo", json::object()).first, 200);
  EXPECT_EQ(Post("/api/redo", json::object()).first, 404);
}

TEST_F(StudioEditTest, RefusedEditsChangeNothing) {
  const std::string v = Version();
  const json line = {{"item", 0}, {"line", 0}, {"begin", 0}, {"end", 10}, {"version", v}};
  const auto with = [&](const char* key, const json& value) {
    json body = line;
    if (value.is_discarded()) body.erase(key);
    else body[key] = value;
    return body;
  };
  const struct {
    const char* Path;
    json Body;
    int Status;
  } cases[] = {
      {"/api/edit/line", with("begin", -1), 400},
      {"/api/edit/line", with("begin", 11), 400},
      {"/api/edit/line", with("end", "10"), 400},
      {"/api/edit/line", with("mode", 2), 400},
      {"/api/edit/line", with("mode", 0.5), 400},
      {"/api/edit/line", with("play", "vt_NONE"), 400},
      {"/api/edit/line", with("version", json::value_t::discarded), 400},
      {"/api/edit/line", with("line", 1), 404},
      {"/api/edit/line", with("item", 3), 404},
      {"/api/edit/line", with("version", "0000000000000000"), 409},
      {"/api/edit/line/add", with("end", 1e12), 400},
      {"/api/edit/line/delete", with("line", -1), 400},
      {"/api/undo", json::object(), 404},
  };
  for (const auto& c : cases) {
    const auto [status, body] = Post(c.Path, c.Body);
    EXPECT_EQ(status, c.Status) << c.Path << " " << c.Body.dump() << " " << body.dump();
    EXPECT_TRUE(body.contains("error")) << body.dump();
  }
  // Without the token, or from another page.
  EXPECT_EQ(client_->Post("/api/edit/line/delete", line.dump(), "application/json")->status, 403);
  httplib::Headers foreign{{"X-Vortane-Token", studio_.Server().Token()}, {"Origin", "http://example.com"}};
  EXPECT_EQ(client_->Post("/api/edit/line/delete", foreign, line.dump(), "application/json")->status, 403);
  EXPECT_EQ(Disk(), kScript);
}

TEST_F(StudioEditTest, AddedAndDeletedLinesReachThePicture) {
  auto [status, body] = Post("/api/edit/line/add", {{"item", 0}, {"begin", 6000}, {"end", 8000}, {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  ASSERT_EQ(demo_.Items[0]->Lines.size(), 2u);
  EXPECT_EQ(body["items"][0]["lines"][1], json({{"begin", 6000}, {"end", 8000}, {"mode", 0}, {"play", "vt_PLAY"}}));
  std::tie(status, body) = Post("/api/edit/line/delete", {{"item", 0}, {"line", 0}, {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  ASSERT_EQ(demo_.Items[0]->Lines.size(), 1u);
  EXPECT_EQ(demo_.Items[0]->Lines[0]->BeginTime, 6000);
  EXPECT_EQ(Post("/api/undo", json::object()).first, 200);
  EXPECT_EQ(Post("/api/undo", json::object()).first, 200);
  EXPECT_EQ(Disk(), kScript);
}

TEST_F(StudioEditTest, ItemsComeGoAndMoveAndTheSettingsStayOutOfTheScript) {
  const std::string token = "&token=" + studio_.Server().Token();
  const json files = json::parse(client_->Get(("/api/files?type=vt_TRANS" + token).c_str())->body);
  EXPECT_EQ(files["files"], json({"data\\camera.vtt"}));
  EXPECT_EQ(client_->Get(("/api/files?type=vt_NONE" + token).c_str())->status, 400);

  EXPECT_EQ(Post("/api/edit/item/add", {{"type", "vt_TRANS"}, {"file", "data\\..\\..\\x.vtt"}, {"at", 1},
                                        {"version", Version()}}).first, 400);
  auto [status, body] = Post("/api/edit/item/add", {{"type", "vt_TRANS"}, {"file", "data/new.vtt"}, {"at", 0},
                                                    {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  ASSERT_EQ(body["items"].size(), 2u);
  EXPECT_EQ(body["items"][0]["file"], "data\\new.vtt");
  EXPECT_EQ(body["items"][0]["version"], nullptr) << "its file does not exist";
  std::tie(status, body) = Post("/api/edit/item/move", {{"item", 0}, {"to", 1}, {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  EXPECT_EQ(body["items"][1]["file"], "data\\new.vtt");
  std::tie(status, body) = Post("/api/edit/item/delete", {{"item", 0}, {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  EXPECT_EQ(demo_.Items.size(), 1u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Post("/api/undo", json::object()).first, 200);
  EXPECT_EQ(Disk(), kScript);

  EXPECT_EQ(json::parse(client_->Get(("/api/settings?x=1" + token).c_str())->body),
            json({{"tempo", nullptr}, {"offset", 0}}));
  std::tie(status, body) = Post("/api/settings", {{"tempo", 128}});
  EXPECT_EQ(body, json({{"tempo", 128.0}, {"offset", 0}}));
  EXPECT_EQ(Post("/api/settings", {{"tempo", 0}}).first, 400);
  EXPECT_EQ(json::parse(testsupport::ReadFileText(dir_.File("data/studio-settings.json")))["tempo"], 128);
  EXPECT_EQ(Disk(), kScript);
}

TEST_F(StudioEditTest, LayerKeysAreReadAndEdited) {
  dir_.Write("data/t.vtl", "VT_LAYER {\n VT_TEXT_SOURCE \"no.image\"\n VT_KEYS {\n  VT_KEY 0 1 2 0 0 3 4 5 6 7 8\n"
                           "  VT_KEY 1000 10 20 1 0 30 40 50 60 70 80\n }\n}\n");
  auto [status, body] = Post("/api/edit/item/add", {{"type", "vt_2D_VTL"}, {"file", "data\\t.vtl"}, {"at", 1},
                                                    {"version", Version()}});
  ASSERT_EQ(status, 200) << body.dump();
  EXPECT_EQ(Post("/api/layers?item=0", nullptr).first, 400) << "no layer item";
  const json layers = Post("/api/layers?item=1", nullptr).second;
  EXPECT_EQ(layers["file"], "data\\t.vtl");
  EXPECT_EQ(layers["layers"][0]["keys"][1],
            json({{"time", 1000}, {"x", 10}, {"y", 20}, {"interpolation", 1}, {"angle", 0}, {"width", 30},
                  {"height", 40}, {"r", 50}, {"g", 60}, {"b", 70}, {"a", 80}}));
  const json key = {{"item", 1}, {"layer", 0}, {"key", 1}, {"version", layers["version"]}};
  json moved = key;
  moved["values"] = {{"time", 1500}, {"r", 255}, {"a", 127.5}};
  std::tie(status, body) = Post("/api/edit/key", moved);
  ASSERT_EQ(status, 200) << body.dump();
  const auto& keys = *dynamic_cast<vtLayerSystem&>(*demo_.Items[1]).Layers[0]->Keys;
  EXPECT_EQ(keys[1]->Time, 1500u) << "the next frame shows it";
  EXPECT_EQ(keys[1]->Color.A, 127.5f);
  json bad = key;
  bad["values"] = {{"r", 256}};
  EXPECT_EQ(Post("/api/edit/key", bad).first, 400);
  bad["values"] = {{"shade", 1}};
  EXPECT_EQ(Post("/api/edit/key", bad).first, 400);
  EXPECT_EQ(Post("/api/edit/key", moved).first, 409) << "made on the old version";
  EXPECT_EQ(Post("/api/undo", json::object()).first, 200);
  EXPECT_EQ(Post("/api/undo", json::object()).first, 200);
  EXPECT_EQ(Disk(), kScript);
}

}  // namespace
