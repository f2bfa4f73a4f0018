#include "studio/vtStudioServerU.h"

#include <sys/random.h>
#include <sys/socket.h>

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "studio/vtStudioExchangeU.h"
#include "studio/vtStudioPageU.h"

using nlohmann::json;
using std::chrono::milliseconds;

namespace {

// The library's server with its listening socket in reach: the library
// listens with a backlog of 5, too short for a page and its tools
// connecting at once (the kernel drops what overflows, and clients wait
// seconds for their retries).
class ListeningServer : public httplib::Server {
 public:
  bool WidenBacklog() { return ::listen(svr_sock_, kBacklog) == 0; }
  static constexpr int kBacklog = 256;
};

constexpr milliseconds kApplyWait{2000};      // a POST waits this long for its frame
constexpr milliseconds kWaveformWait{20000};  // a waveform request, for the decoding
constexpr time_t kSocketTimeoutSeconds = 1;   // each read and write; bounds Stop
constexpr time_t kKeepAliveSeconds = 1;       // an idle connection; bounds Stop
constexpr float kSpeeds[] = {0.25f, 0.5f, 1.0f, 2.0f};

// ------------------------------------------------------------ JSON of the exchange

double Ms(float ms) { return std::round(static_cast<double>(ms) * 1000.0) / 1000.0; }

json StateJson(const vtStudioState& state) {
  json out = {{"time_ms", Ms(state.TimeMs)},
              {"end_ms", Ms(state.EndMs)},
              {"paused", state.Paused},
              {"speed", state.Speed},
              {"loop", nullptr}};
  if (state.Loop) out["loop"] = {Ms(state.LoopFrom), Ms(state.LoopTo)};
  return out;
}

json TimelineJson(const vtTimeline& timeline) {
  json items = json::array();
  for (std::size_t i = 0; i < timeline.Items.size(); ++i) {
    const vtTimelineItem& item = timeline.Items[i];
    json lines = json::array();
    for (const vtTimelineLine& line : item.Lines)
      lines.push_back({{"begin", Ms(line.Begin)}, {"end", Ms(line.End)}, {"mode", line.Mode}, {"play", line.Play}});
    items.push_back({{"index", i},
                     {"type", item.Type},
                     {"file", item.File},
                     {"status", item.Status},
                     {"message", item.Message},
                     {"lines", std::move(lines)}});
  }
  return {{"end_ms", Ms(timeline.EndMs)}, {"items", std::move(items)}};
}

// Invalid UTF-8 in file names or messages is replaced, never thrown at.
std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// ------------------------------------------------------------ answers

void Answer(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(Dump(body), "application/json");
}

void Refuse(httplib::Response& res, int status, const std::string& why) { Answer(res, status, {{"error", why}}); }

const char* StatusReason(int status) {
  switch (status) {
    case 400: return "bad request";
    case 403: return "forbidden";
    case 404: return "no such path";
    case 405: return "method not allowed";
    case 413: return "request too large";
    case 503: return "not available";
    default: return "server error";
  }
}

// ------------------------------------------------------------ routes

struct Route {
  const char* Path;
  const char* Method;  // "GET" (HEAD too) or "POST"
  bool NeedsToken;
};

const Route kRoutes[] = {
    {"/", "GET", true},
    {"/index.html", "GET", true},
    {"/studio.css", "GET", false},
    {"/studio.js", "GET", false},
    {"/api/state", "GET", true},
    {"/api/timeline", "GET", true},
    {"/api/waveform", "GET", true},
    {"/api/events", "GET", true},
    {"/api/seek", "POST", true},
    {"/api/pause", "POST", true},
    {"/api/resume", "POST", true},
    {"/api/speed", "POST", true},
    {"/api/loop", "POST", true},
};

const Route* FindRoute(const std::string& path) {
  for (const Route& route : kRoutes)
    if (path == route.Path) return &route;
  return nullptr;
}

bool MethodFits(const Route& route, const std::string& method) {
  if (method == route.Method) return true;
  return method == "HEAD" && std::strcmp(route.Method, "GET") == 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Compares without leaving the position of the first difference in the time.
bool SameSecret(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned char>(given[i] ^ token[i]);
  return difference == 0;
}

// ------------------------------------------------------------ request bodies

// The body, or false: larger than kMaxBodyBytes (tooLarge) or unreadable.
// A request with neither a length nor chunks has none (a bare POST).
bool ReadBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
              std::string& body, bool& tooLarge) {
  tooLarge = false;
  if (!req.has_header("Content-Length") && !req.has_header("Transfer-Encoding")) return true;
  const bool read = reader([&](const char* data, std::size_t length) {
    if (body.size() + length > vtStudioServer::kMaxBodyBytes) {
      tooLarge = true;
      return false;
    }
    body.append(data, length);
    return true;
  });
  if (res.status == 413) tooLarge = true;  // the length said so; the body was skipped
  return read && !tooLarge;
}

// A finite number in low..high from the body's member key.
bool ReadNumber(const json& body, const char* key, double low, double high, float& value, std::string& why) {
  const auto it = body.find(key);
  if (it == body.end()) {
    why = std::string("\"") + key + "\" is missing";
    return false;
  }
  if (!it->is_number()) {
    why = std::string("\"") + key + "\" must be a number";
    return false;
  }
  const double number = it->get<double>();
  if (!std::isfinite(number) || number < low || number > high) {
    char text[160];
    std::snprintf(text, sizeof text, "\"%s\" must lie in %.3f..%.3f", key, low, high);
    why = text;
    return false;
  }
  value = static_cast<float>(number);
  return true;
}

// The command a POST asks for, checked against the demo's end time; false
// with the reason.
bool ReadCommand(const std::string& path, const json& body, float endMs, vtStudioCommand& command,
                 std::string& why) {
  const double end = std::max(0.0f, endMs);
  if (path == "/api/seek") {
    command.Kind = vtStudioCommandKind::Seek;
    return ReadNumber(body, "time_ms", 0, end, command.Value, why);
  }
  if (path == "/api/pause" || path == "/api/resume") {
    command.Kind = path == "/api/pause" ? vtStudioCommandKind::Pause : vtStudioCommandKind::Resume;
    return true;
  }
  if (path == "/api/speed") {
    command.Kind = vtStudioCommandKind::Speed;
    if (!ReadNumber(body, "speed", 0.25, 2, command.Value, why)) return false;
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), command.Value) != std::end(kSpeeds)) return true;
    why = "\"speed\" must be 0.25, 0.5, 1 or 2";
    return false;
  }
  // /api/loop: {} clears, {"from", "to"} sets.
  const bool hasFrom = body.contains("from"), hasTo = body.contains("to");
  if (!hasFrom && !hasTo) {
    command.Kind = vtStudioCommandKind::ClearLoop;
    return true;
  }
  command.Kind = vtStudioCommandKind::Loop;
  if (!ReadNumber(body, "from", 0, end, command.Value, why) || !ReadNumber(body, "to", 0, end, command.To, why))
    return false;
  if (command.Value < command.To) return true;
  why = "\"from\" must come before \"to\"";
  return false;
}

// ------------------------------------------------------------ event streams

// One client's stream: where it is in the events, when its next time
// event is due. Lives as long as the response that owns the provider.
struct StreamCursor {
  bool Started = false;
  std::uint64_t LastId = 0;
  std::chrono::steady_clock::time_point NextTime;
  std::vector<vtStudioEvent> Batch;
  std::string Text;
};

bool WriteText(httplib::DataSink& sink, const std::string& text) { return sink.write(text.data(), text.size()); }

void AppendEvent(std::string& text, const vtStudioEvent& event) {
  text += "id: " + std::to_string(event.Id) + "\nevent: " + event.Name + "\ndata: " + event.Data + "\n\n";
}

// The Last-Event-ID a reconnecting client sends; 0 (everything kept) when
// absent or malformed.
std::uint64_t LastEventId(const httplib::Request& req) {
  const std::string text = req.get_header_value("Last-Event-ID");
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoull(text);
}

}  // namespace

// ------------------------------------------------------------ the server

bool NewStudioToken(std::string& out) {
  unsigned char bytes[16];
  std::size_t have = 0;
  while (have < sizeof bytes) {
    const ssize_t got = getrandom(bytes + have, sizeof bytes - have, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    have += static_cast<std::size_t>(got);
  }
  static const char kDigits[] = "0123456789abcdef";
  out.clear();
  for (unsigned char byte : bytes) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 15]);
  }
  return true;
}

vtStudioServer::vtStudioServer(vtStudioExchange& exchange) : exchange_(exchange) {}

vtStudioServer::~vtStudioServer() { Stop(); }

std::string vtStudioServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

bool vtStudioServer::Start(int port, std::string& error) {
  Stop();
  exchange_.Reopen();
  if (!NewStudioToken(token_)) {
    error = "the system gave no random bytes for the studio's token";
    return false;
  }
  auto server = std::make_unique<ListeningServer>();
  ListeningServer& listening = *server;
  server_ = std::move(server);
  Configure();
  AddInterface();
  errno = 0;
  port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1") : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (port_ <= 0) {
    const int reason = errno;
    error = "the studio cannot listen on 127.0.0.1:" + std::to_string(port) +
            (reason ? std::string(" (") + std::strerror(reason) + ")" : std::string());
    server_.reset();
    port_ = 0;
    return false;
  }
  listening.WidenBacklog();  // on failure the library's backlog stays
  listenEnded_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  // Stop before the server loop has begun would not reach it.
  while (!server_->is_running() && !listenEnded_) std::this_thread::sleep_for(milliseconds(1));
  return true;
}

void vtStudioServer::Stop() {
  if (!server_) return;
  exchange_.Stop();  // ends the streams and the waits of requests
  server_->stop();
  if (thread_.joinable()) thread_.join();  // the pool's threads end with the loop
  server_.reset();
}

void vtStudioServer::Configure() {
  httplib::Server& server = *server_;
  server.new_task_queue = [] { return new httplib::ThreadPool(kMaxEventStreams + kRequestThreads); };
  // SO_REUSEADDR only: with the library's SO_REUSEPORT a second player
  // could bind the same port and share its connections.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_read_timeout(kSocketTimeoutSeconds, 0);
  server.set_write_timeout(kSocketTimeoutSeconds, 0);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_payload_max_length(kMaxBodyBytes);
  server.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "no-referrer"}});

  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    const std::string port = ":" + std::to_string(port_);
    const std::string host = Lower(req.get_header_value("Host"));
    if (host != "127.0.0.1" + port && host != "localhost" + port) {
      Refuse(res, 403, "the Host must be 127.0.0.1" + port + " or localhost" + port);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.has_header("Origin")) {
      const std::string origin = Lower(req.get_header_value("Origin"));
      if (origin != "http://127.0.0.1" + port && origin != "http://localhost" + port) {
        Refuse(res, 403, "requests from other web pages are refused");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    const Route* route = FindRoute(req.path);
    const bool guarded = route ? route->NeedsToken : req.path.rfind("/api/", 0) == 0;
    if (guarded) {
      const std::string given =
          req.has_header("X-Vortane-Token") ? req.get_header_value("X-Vortane-Token") : req.get_param_value("token");
      if (!SameSecret(given, token_)) {
        Refuse(res, 403, "a missing or wrong token: use the address the player printed");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if (!route) {
      Refuse(res, 404, "no such path: " + req.path);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!MethodFits(*route, req.method)) {
      res.set_header("Allow", std::strcmp(route->Method, "GET") == 0 ? "GET, HEAD" : "POST");
      Refuse(res, 405, std::string(route->Path) + " takes " + route->Method);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // What the library answers by itself (a malformed request, a body over
  // the limit) gets a JSON error too; an oversized body is a bad request.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        if (res.status == 413) {
          Refuse(res, 400, "the body is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
          return httplib::Server::HandlerResponse::Handled;
        }
        Refuse(res, res.status, StatusReason(res.status));
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    Refuse(res, 500, "server error");
  });
}

void vtStudioServer::AddInterface() {
  httplib::Server& server = *server_;

  auto page = [](const httplib::Request& req, httplib::Response& res) {
    const vtStudioPageFile* file = FindStudioPageFile(req.path == "/" ? "/index.html" : req.path.c_str());
    if (!file) return Refuse(res, 404, "no such path: " + req.path);
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'");
    res.set_content(reinterpret_cast<const char*>(file->Data), file->Size, StudioPageContentType(file->Path));
  };
  for (const char* path : {"/", "/index.html", "/studio.css", "/studio.js"}) server.Get(path, page);

  server.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
    Answer(res, 200, StateJson(exchange_.State()));
  });
  server.Get("/api/timeline", [this](const httplib::Request&, httplib::Response& res) {
    Answer(res, 200, TimelineJson(*exchange_.Timeline()));
  });

  server.Get("/api/waveform", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string text = req.get_param_value("columns");
    const bool digits = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
    const int columns = digits ? std::stoi(text) : 0;
    if (columns < 1 || columns > kMaxWaveformColumns)
      return Refuse(res, 400, "columns must be a whole number from 1 to " + std::to_string(kMaxWaveformColumns));
    const auto wave = exchange_.Waveform(kWaveformWait);
    if (!wave) return Refuse(res, 503, "the music is still being read");
    json body = {{"columns", columns}, {"min", json::array()}, {"max", json::array()}};
    if (!wave->Min.empty()) {
      std::vector<float> low, high;
      WaveformColumns(*wave, exchange_.State().EndMs, columns, low, high);
      auto rounded = [](float v) { return std::round(v * 1000.0) / 1000.0; };
      for (int c = 0; c < columns; ++c) {
        body["min"].push_back(rounded(low[static_cast<std::size_t>(c)]));
        body["max"].push_back(rounded(high[static_cast<std::size_t>(c)]));
      }
    }
    Answer(res, 200, body);
  });

  server.Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
    if (++streams_ > kMaxEventStreams) {
      --streams_;
      return Refuse(res, 503, "too many event streams are open");
    }
    auto cursor = std::make_shared<StreamCursor>();
    cursor->LastId = LastEventId(req);
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, cursor](std::size_t, httplib::DataSink& sink) {
          StreamCursor& c = *cursor;
          const auto interval = milliseconds(1000 / kTimeEventsPerSecond);
          c.Text.clear();
          if (!c.Started) {
            c.Started = true;
            c.Text = "retry: 1000\n\n";
            c.NextTime = std::chrono::steady_clock::now();
          }
          const auto now = std::chrono::steady_clock::now();
          const auto wait = std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(c.NextTime - now));
          exchange_.EventsAfter(c.LastId, wait, c.Batch);
          if (exchange_.Stopped()) {
            sink.done();
            return true;
          }
          for (const vtStudioEvent& event : c.Batch) {
            AppendEvent(c.Text, event);
            c.LastId = event.Id;
          }
          if (std::chrono::steady_clock::now() >= c.NextTime) {
            c.Text += "event: time\ndata: " + Dump(StateJson(exchange_.State())) + "\n\n";
            c.NextTime = std::max(c.NextTime + interval, std::chrono::steady_clock::now());
          }
          return c.Text.empty() || WriteText(sink, c.Text);
        },
        [this](bool) { --streams_; });
  });

  // State changes: the command goes to the main loop's queue; the answer
  // is the state once a frame has applied it (202 when none has in time).
  auto command = [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
    std::string text;
    bool tooLarge = false;
    if (!ReadBody(req, res, reader, text, tooLarge))
      return Refuse(res, 400,
                    tooLarge ? "the body is larger than " + std::to_string(kMaxBodyBytes) + " bytes"
                             : std::string("the body could not be read"));
    const bool optional = req.path == "/api/pause" || req.path == "/api/resume";
    if (text.empty() && !optional) return Refuse(res, 400, "the body must be a JSON object");
    const json body = text.empty() ? json::object() : json::parse(text, nullptr, false);
    if (!body.is_object()) return Refuse(res, 400, "the body must be a JSON object");
    vtStudioCommand command;
    std::string why;
    if (!ReadCommand(req.path, body, exchange_.State().EndMs, command, why)) return Refuse(res, 400, why);
    const std::uint64_t ticket = exchange_.Push(command);
    if (ticket == 0) return Refuse(res, 503, "the player is not taking commands");
    vtStudioState state;
    const bool applied = exchange_.WaitApplied(ticket, kApplyWait, state);
    Answer(res, applied ? 200 : 202, StateJson(state));
  };
  for (const char* path : {"/api/seek", "/api/pause", "/api/resume", "/api/speed", "/api/loop"})
    server.Post(path, command);
}
