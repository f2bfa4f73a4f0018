// The studio's server against real clients on an ephemeral port: the
// request rules (token, Host, Origin, paths, methods, bodies, values), the
// commands reaching the main loop, the event streams (100 at once, clients
// vanishing) while frames go on, and a clean stop.
#include "studio/vtStudioServerU.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "studio/vtStudioExchangeU.h"

using nlohmann::json;

namespace {

constexpr float kEndMs = 60000;

// Stands in for the player's loop: takes the commands, applies them to a
// state of its own and publishes it, frame after frame.
class FakeMainLoop {
 public:
  explicit FakeMainLoop(vtStudioExchange& exchange) : exchange_(exchange) {
    state_.EndMs = kEndMs;
    exchange_.PublishState(state_);
    thread_ = std::thread([this] { Run(); });
  }
  ~FakeMainLoop() { End(); }
  void End() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<vtStudioCommand> Applied() {
    std::lock_guard<std::mutex> lock(mutex_);
    return applied_;
  }
  std::uint64_t Frames() const { return frames_; }

 private:
  void Run() {
    std::vector<vtStudioCommand> commands;
    while (!stop_) {
      exchange_.TakeCommands(commands);
      for (const vtStudioCommand& c : commands) Apply(c);
      exchange_.PublishState(state_);
      ++frames_;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  void Apply(const vtStudioCommand& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    applied_.push_back(c);
    switch (c.Kind) {
      case vtStudioCommandKind::Seek: state_.TimeMs = c.Value; break;
      case vtStudioCommandKind::Pause: state_.Paused = true; break;
      case vtStudioCommandKind::Resume: state_.Paused = false; break;
      case vtStudioCommandKind::Speed: state_.Speed = c.Value; break;
      case vtStudioCommandKind::Loop:
        state_.Loop = true;
        state_.LoopFrom = c.Value;
        state_.LoopTo = c.To;
        break;
      case vtStudioCommandKind::ClearLoop: state_.Loop = false; break;
    }
  }

  vtStudioExchange& exchange_;
  vtStudioState state_;
  std::mutex mutex_;
  std::vector<vtStudioCommand> applied_;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int ThreadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    closedir(dir);
  }
  return count;
}

// Polls a condition for up to 20 s (what is awaited happens in
// milliseconds; the margin is for loaded machines and sanitizers).
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 2000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

class StudioServer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(0, error)) << error;
    port_ = std::to_string(server_.Port());
  }

  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", server_.Port());
    client->set_read_timeout(20, 0);
    client->set_connection_timeout(20, 0);
    return client;
  }

  // Sends one request; "TOKEN" and "PORT" in the path and header values
  // are replaced by this server's.
  httplib::Result Send(const std::string& method, std::string path, httplib::Headers headers = {},
                       const std::string& body = "") const {
    httplib::Request req;
    req.method = method;
    req.path = Fill(path);
    for (auto& header : headers) req.headers.emplace(header.first, Fill(header.second));
    req.body = body;
    if (!body.empty()) req.headers.emplace("Content-Type", "application/json");
    return Client()->send(req);
  }
  httplib::Result Post(const std::string& path, const std::string& body) const {
    return Send("POST", path, {{"X-Vortane-Token", "TOKEN"}}, body);
  }

  std::string Fill(std::string text) const {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"TOKEN", server_.Token()}, {"PORT", port_}})
      for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    return text;
  }

  vtStudioExchange exchange_;
  FakeMainLoop loop_{exchange_};
  vtStudioServer server_{exchange_};
  std::string port_;
};

TEST_F(StudioServer, TokenIsNewAtEveryStartAndTheAddressCarriesIt) {
  const std::string first = server_.Token();
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos) << first;
  EXPECT_EQ(server_.Url(), "http://127.0.0.1:" + port_ + "/?token=" + first);
  std::string error;
  ASSERT_TRUE(server_.Start(0, error)) << error;
  EXPECT_NE(server_.Token(), first);
  port_ = std::to_string(server_.Port());
  EXPECT_EQ(Post("/api/pause", "")->status, 200) << "a restarted server takes commands";
}

TEST_F(StudioServer, TheRightHostTokenAndOriginAreServed) {
  const struct {
    const char* method;
    const char* path;
    httplib::Headers headers;
  } cases[] = {
      {"GET", "/api/state?token=TOKEN", {}},
      {"GET", "/api/state", {{"X-Vortane-Token", "TOKEN"}}},
      {"GET", "/api/state?token=TOKEN", {{"Host", "localhost:PORT"}}},
      {"GET", "/api/state?token=TOKEN", {{"Host", "LOCALHOST:PORT"}}},
      {"GET", "/api/timeline?token=TOKEN", {{"Origin", "http://127.0.0.1:PORT"}}},
      {"POST", "/api/pause", {{"X-Vortane-Token", "TOKEN"}, {"Origin", "http://localhost:PORT"}}},
      {"GET", "/?token=TOKEN", {}},
      {"GET", "/index.html?token=TOKEN", {}},
      {"GET", "/studio.js", {}},  // the page's files need no token
      {"GET", "/studio.css", {}},
      {"HEAD", "/api/state?token=TOKEN", {}},
      {"GET", "/", {{"Cookie", "vortane_studio_PORT=TOKEN"}}},  // a reload of the page
      {"GET", "/", {{"Cookie", "theme=dark; vortane_studio_PORT=TOKEN"}}},
  };
  for (const auto& c : cases) {
    const auto res = Send(c.method, c.path, c.headers);
    ASSERT_TRUE(res) << c.path << ": " << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200) << c.method << " " << c.path << " " << res->body;
  }
  const auto page = Send("GET", "/?token=TOKEN");
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("studio.js"), std::string::npos);
  EXPECT_EQ(page->get_header_value("Set-Cookie"), Fill("vortane_studio_PORT=TOKEN; Path=/; HttpOnly; SameSite=Strict"));
  EXPECT_EQ(Send("GET", "/studio.js")->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

// Every refusal is JSON with an error, and none of them reaches the main loop.
TEST_F(StudioServer, BadRequestsAreRefusedAndChangeNothing) {
  const std::string big(4 * 1024 * 1024, ' ');
  const struct {
    const char* method;
    const char* path;
    httplib::Headers headers;
    std::string body;
    int status;
  } cases[] = {
      // Token
      {"GET", "/api/state", {}, "", 403},
      {"GET", "/api/state?token=0123456789abcdef0123456789abcdef", {}, "", 403},
      {"GET", "/api/state", {{"X-Vortane-Token", "TOKEN0"}}, "", 403},
      {"GET", "/api/state?token=", {}, "", 403},
      {"GET", "/", {}, "", 403},
      {"GET", "/index.html", {}, "", 403},
      {"POST", "/api/seek", {}, R"({"time_ms": 10})", 403},
      {"GET", "/api/events", {}, "", 403},
      {"GET", "/api/no-such-thing", {}, "", 403},  // under /api/ the token comes first
      // The cookie opens the page only, and only with this port's token
      {"GET", "/api/state", {{"Cookie", "vortane_studio_PORT=TOKEN"}}, "", 403},
      {"GET", "/", {{"Cookie", "vortane_studio_PORT=0123456789abcdef0123456789abcdef"}}, "", 403},
      {"GET", "/", {{"Cookie", "vortane_studio_1=TOKEN"}}, "", 403},
      {"GET", "/", {{"Cookie", "vortane_studio_PORT=TOKEN; vortane_studio_PORT=x"}}, "", 403},
      // Host (DNS rebinding) and Origin (other web pages)
      {"GET", "/api/state?token=TOKEN", {{"Host", "evil.example:PORT"}}, "", 403},
      {"GET", "/api/state?token=TOKEN", {{"Host", "127.0.0.1"}}, "", 403},
      {"GET", "/api/state?token=TOKEN", {{"Host", "127.0.0.1:1"}}, "", 403},
      {"GET", "/studio.js", {{"Host", "evil.example"}}, "", 403},
      {"POST", "/api/pause?token=TOKEN", {{"Origin", "http://evil.example"}}, "", 403},
      {"POST", "/api/pause?token=TOKEN", {{"Origin", "null"}}, "", 403},
      {"POST", "/api/pause?token=TOKEN", {{"Origin", "https://127.0.0.1:PORT"}}, "", 403},
      {"GET", "/api/state?token=TOKEN", {{"Origin", "http://127.0.0.1:PORT.evil.example"}}, "", 403},
      // Paths and methods
      {"GET", "/api/no-such-thing?token=TOKEN", {}, "", 404},
      {"GET", "/no-such-file.js", {}, "", 404},
      {"GET", "/../etc/passwd", {}, "", 404},
      {"POST", "/api/state?token=TOKEN", {}, "{}", 405},
      {"GET", "/api/seek?token=TOKEN", {}, "", 405},
      {"PUT", "/api/seek?token=TOKEN", {}, R"({"time_ms": 10})", 405},
      {"DELETE", "/api/loop?token=TOKEN", {}, "", 405},
      {"POST", "/studio.js", {}, "{}", 405},
      // Bodies
      {"POST", "/api/seek?token=TOKEN", {}, "", 400},
      {"POST", "/api/seek?token=TOKEN", {}, "{", 400},
      {"POST", "/api/seek?token=TOKEN", {}, "NaN", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": NaN})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": Infinity})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": 1e999})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": "5"})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": true})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": null})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": [5]})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": -1})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time_ms": 60000.5})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"({"time": 5})", 400},
      {"POST", "/api/seek?token=TOKEN", {}, R"([{"time_ms": 5}])", 400},
      {"POST", "/api/seek?token=TOKEN", {}, "5", 400},
      {"POST", "/api/seek?token=TOKEN", {}, "{\"time_ms\": 5}" + big, 400},
      {"POST", "/api/seek?token=TOKEN", {}, "\xff\xfe{}", 400},
      {"POST", "/api/pause?token=TOKEN", {}, "[1]", 400},
      {"POST", "/api/resume?token=TOKEN", {}, "x", 400},
      {"POST", "/api/speed?token=TOKEN", {}, R"({"speed": 3})", 400},
      {"POST", "/api/speed?token=TOKEN", {}, R"({"speed": 0})", 400},
      {"POST", "/api/speed?token=TOKEN", {}, R"({"speed": -1})", 400},
      {"POST", "/api/speed?token=TOKEN", {}, R"({"speed": 0.3})", 400},
      {"POST", "/api/speed?token=TOKEN", {}, R"({})", 400},
      {"POST", "/api/loop?token=TOKEN", {}, "", 400},
      {"POST", "/api/loop?token=TOKEN", {}, R"({"from": 5})", 400},
      {"POST", "/api/loop?token=TOKEN", {}, R"({"to": 5})", 400},
      {"POST", "/api/loop?token=TOKEN", {}, R"({"from": 5, "to": 5})", 400},
      {"POST", "/api/loop?token=TOKEN", {}, R"({"from": 6, "to": 5})", 400},
      {"POST", "/api/loop?token=TOKEN", {}, R"({"from": 0, "to": 70000})", 400},
      {"POST", "/api/loop?token=TOKEN", {}, R"({"from": "0", "to": 500})", 400},
      // Values of the waveform's query
      {"GET", "/api/waveform?token=TOKEN", {}, "", 400},
      {"GET", "/api/waveform?token=TOKEN&columns=0", {}, "", 400},
      {"GET", "/api/waveform?token=TOKEN&columns=-5", {}, "", 400},
      {"GET", "/api/waveform?token=TOKEN&columns=abc", {}, "", 400},
      {"GET", "/api/waveform?token=TOKEN&columns=16385", {}, "", 400},
      {"GET", "/api/waveform?token=TOKEN&columns=99999999999999999999", {}, "", 400},
  };
  for (const auto& c : cases) {
    const auto res = Send(c.method, c.path, c.headers, c.body);
    ASSERT_TRUE(res) << c.method << " " << c.path << ": " << httplib::to_string(res.error());
    EXPECT_EQ(res->status, c.status) << c.method << " " << c.path << " " << c.body.substr(0, 40);
    if (std::string(c.method) == "HEAD") continue;
    const json body = json::parse(res->body, nullptr, false);
    EXPECT_TRUE(body.is_object() && body["error"].is_string()) << c.path << ": " << res->body;
  }
  // A chunked body of several megabytes is cut off too.
  const auto chunked = Client()->Post(
      Fill("/api/seek?token=TOKEN").c_str(),
      [&](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= big.size()) {
          sink.done();
          return true;
        }
        return sink.write(big.data() + offset, 64 * 1024);
      },
      "application/json");
  if (chunked) {
    EXPECT_EQ(chunked->status, 400);  // or the connection was cut while sending
  }
  EXPECT_TRUE(loop_.Applied().empty());
  EXPECT_EQ(Send("GET", "/api/state?token=TOKEN")->status, 200) << "the server still answers";
  EXPECT_EQ(Send("GET", "/api/seek?token=TOKEN")->get_header_value("Allow"), "POST");
}

TEST_F(StudioServer, CommandsReachTheMainLoopInOrderAndAnswerWithTheNewState) {
  const struct {
    const char* path;
    const char* body;
    vtStudioCommandKind kind;
    float value, to;
  } cases[] = {
      {"/api/seek", R"({"time_ms": 1500})", vtStudioCommandKind::Seek, 1500, 0},
      {"/api/seek", R"({"time_ms": 0})", vtStudioCommandKind::Seek, 0, 0},
      {"/api/seek", R"({"time_ms": 60000, "extra": "ignored"})", vtStudioCommandKind::Seek, 60000, 0},
      {"/api/pause", "", vtStudioCommandKind::Pause, 0, 0},
      {"/api/resume", "{}", vtStudioCommandKind::Resume, 0, 0},
      {"/api/speed", R"({"speed": 0.25})", vtStudioCommandKind::Speed, 0.25f, 0},
      {"/api/speed", R"({"speed": 2})", vtStudioCommandKind::Speed, 2, 0},
      {"/api/loop", R"({"from": 1000, "to": 2500.5})", vtStudioCommandKind::Loop, 1000, 2500.5f},
      {"/api/loop", "{}", vtStudioCommandKind::ClearLoop, 0, 0},
  };
  for (const auto& c : cases) {
    const auto res = Post(c.path, c.body);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << c.path << " " << res->body;
  }
  const auto applied = loop_.Applied();
  ASSERT_EQ(applied.size(), std::size(cases));
  for (std::size_t i = 0; i < applied.size(); ++i) {
    EXPECT_EQ(applied[i].Kind, cases[i].kind) << cases[i].body;
    EXPECT_EQ(applied[i].Value, cases[i].value) << cases[i].body;
    EXPECT_EQ(applied[i].To, cases[i].to) << cases[i].body;
  }
  // The answer is the state once the command's frame has run.
  const json state = json::parse(Post("/api/seek", R"({"time_ms": 4321})")->body);
  EXPECT_EQ(state["time_ms"], 4321.0);
  EXPECT_EQ(state["end_ms"], kEndMs);
  EXPECT_EQ(state["loop"], nullptr);
  const json looped = json::parse(Post("/api/loop", R"({"from": 100, "to": 200})")->body);
  EXPECT_EQ(looped["loop"], json::array({100.0, 200.0}));
  EXPECT_EQ(json::parse(Post("/api/pause", "")->body)["paused"], true);
  EXPECT_EQ(json::parse(Send("GET", "/api/state?token=TOKEN")->body)["paused"], true);
}

// Without a main loop taking commands a POST ends with 202, and a full
// queue refuses more instead of growing.
TEST_F(StudioServer, CommandsNobodyTakesAreBounded) {
  loop_.End();
  auto client = Client();
  const auto first = Post("/api/pause", "");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 202);
  for (std::size_t i = 1; i < vtStudioExchange::kMaxQueuedCommands; ++i) exchange_.Push({});
  const auto full = Post("/api/pause", "");
  EXPECT_EQ(full->status, 503);
}

// The events of one stream, as text, until the condition holds on it.
std::string ReadStream(httplib::Client& client, const std::string& path, const httplib::Headers& headers,
                       const std::function<bool(const std::string&)>& enough) {
  std::string text;
  client.Get(path.c_str(), headers, [&](const char* data, std::size_t length) {
    text.append(data, length);
    return !enough(text);
  });
  return text;
}

// The data of the stream's first event of that name.
json EventData(const std::string& text, const std::string& name) {
  const std::string head = "event: " + name + "\ndata: ";
  const std::size_t at = text.find(head);
  if (at == std::string::npos) return nullptr;
  const std::size_t from = at + head.size();
  return json::parse(text.substr(from, text.find('\n', from) - from), nullptr, false);
}

TEST_F(StudioServer, EventStreamsCarryTimeMessagesAndReloads) {
  exchange_.PostEvent("message", R"({"kind":"warning","caption":"c","text":"before"})");
  auto client = Client();
  const auto has = [](const std::string& what) {
    return [what](const std::string& text) { return text.find(what) != std::string::npos; };
  };
  // A new stream gets the kept events, then time events.
  std::string text = ReadStream(*client, Fill("/api/events?token=TOKEN"), {}, has("event: time\ndata: {"));
  EXPECT_NE(text.find("id: 1\nevent: message\ndata: {\"kind\":\"warning\",\"caption\":\"c\",\"text\":\"before\"}\n\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(EventData(text, "time")["end_ms"], kEndMs);
  // Events posted while a client listens reach it.
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    exchange_.PostEvent("reload", R"({"index":2,"status":"reloaded","file":"data\\a.vtl"})");
  });
  text = ReadStream(*client, Fill("/api/events?token=TOKEN"), {}, has("event: reload"));
  poster.join();
  EXPECT_NE(text.find("id: 2\nevent: reload\ndata: {\"index\":2"), std::string::npos) << text;
  // A client coming back with Last-Event-ID gets only what it missed.
  exchange_.PostEvent("message", R"({"text":"third"})");
  text = ReadStream(*client, Fill("/api/events?token=TOKEN"), {{"Last-Event-ID", "2"}}, has("event: time"));
  EXPECT_EQ(text.find("id: 1\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("id: 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("id: 3\nevent: message"), std::string::npos) << text;
}

// 100 clients open streams at once, all are served; the interface still
// answers and frames go on; then they vanish mid-stream and every slot is
// freed.
TEST_F(StudioServer, HundredStreamsAtOnceAndClientsVanishingNeverStallIt) {
  constexpr int kClients = 100;
  std::atomic<int> streaming{0};
  std::atomic<bool> vanish{false};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      auto client = Client();
      bool counted = false;
      client->Get(Fill("/api/events?token=TOKEN").c_str(), [&](const char* data, std::size_t length) {
        if (!counted && std::string(data, length).find("event: time") != std::string::npos) {
          counted = true;
          ++streaming;
        }
        return !vanish.load();  // false: the client drops the connection
      });
    });
  }
  EXPECT_TRUE(Eventually([&] { return streaming == kClients; })) << streaming << " streams";
  EXPECT_EQ(server_.OpenEventStreams(), kClients);
  const std::uint64_t frames = loop_.Frames();
  EXPECT_EQ(Send("GET", "/api/state?token=TOKEN")->status, 200);
  EXPECT_EQ(Post("/api/seek", R"({"time_ms": 1234})")->status, 200);
  EXPECT_TRUE(Eventually([&] { return loop_.Frames() > frames + 10; })) << "frames go on";
  vanish = true;
  for (auto& t : clients) t.join();
  EXPECT_TRUE(Eventually([&] { return server_.OpenEventStreams() == 0; })) << server_.OpenEventStreams();
  EXPECT_EQ(Send("GET", "/api/state?token=TOKEN")->status, 200);
}

TEST_F(StudioServer, StreamsBeyondTheLimitGet503) {
  std::atomic<bool> done{false};
  std::vector<std::thread> clients;
  for (int i = 0; i < vtStudioServer::kMaxEventStreams; ++i)
    clients.emplace_back([&] {
      Client()->Get(Fill("/api/events?token=TOKEN").c_str(), [&](const char*, std::size_t) { return !done.load(); });
    });
  EXPECT_TRUE(Eventually([&] { return server_.OpenEventStreams() == vtStudioServer::kMaxEventStreams; }));
  const auto refused = Send("GET", "/api/events?token=TOKEN");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  done = true;
  for (auto& t : clients) t.join();
}

// Stop with streams open: they end, every thread the server started is
// gone and the port is closed.
TEST(StudioServerStop, EndsStreamsJoinsThreadsAndClosesThePort) {
  vtStudioExchange exchange;
  const int threadsBefore = ThreadCount();
  vtStudioServer server(exchange);
  std::string error;
  ASSERT_TRUE(server.Start(0, error)) << error;
  const int port = server.Port();
  EXPECT_GT(ThreadCount(), threadsBefore);
  std::atomic<int> ended{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 5; ++i)
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(20, 0);
      client.Get(("/api/events?token=" + server.Token()).c_str(), [](const char*, std::size_t) { return true; });
      ++ended;
    });
  ASSERT_TRUE(Eventually([&] { return server.OpenEventStreams() == 5; }));
  server.Stop();
  for (auto& t : clients) t.join();
  EXPECT_EQ(ended, 5);
  EXPECT_FALSE(server.Running());
  EXPECT_EQ(ThreadCount(), threadsBefore);
  httplib::Client late("127.0.0.1", port);
  late.set_connection_timeout(2, 0);
  EXPECT_FALSE(late.Get("/studio.js")) << "the port is closed";
  server.Stop();  // a second stop does nothing
}

TEST(StudioServerStart, APortInUseIsReportedNotShared) {
  vtStudioExchange exchange;
  vtStudioServer first(exchange), second(exchange);
  std::string error;
  ASSERT_TRUE(first.Start(0, error)) << error;
  EXPECT_FALSE(second.Start(first.Port(), error));
  EXPECT_NE(error.find("127.0.0.1:" + std::to_string(first.Port())), std::string::npos) << error;
  EXPECT_FALSE(second.Running());
}

TEST_F(StudioServer, WaveformIsFoldedIntoTheColumnsAsked) {
  // No music: empty arrays.
  json body = json::parse(Send("GET", "/api/waveform?token=TOKEN&columns=4")->body);
  EXPECT_EQ(body, json::parse(R"({"columns": 4, "min": [], "max": []})"));
  // Two buckets over the demo's first half (the demo is 60 s; each column
  // here covers 15 s).
  auto wave = std::make_shared<vtWaveform>();
  wave->BucketMs = 15000;
  wave->Min = {-0.5f, -0.25f};
  wave->Max = {0.75f, 0.125f};
  exchange_.WaveformPending();
  std::thread publisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    exchange_.PublishWaveform(wave);
  });
  body = json::parse(Send("GET", "/api/waveform?token=TOKEN&columns=4")->body);  // waits for it
  publisher.join();
  EXPECT_EQ(body["min"], json::parse("[-0.5, -0.25, 0, 0]"));
  EXPECT_EQ(body["max"], json::parse("[0.75, 0.125, 0, 0]"));
  EXPECT_EQ(body["columns"], 4);
}

}  // namespace
