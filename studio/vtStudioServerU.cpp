#include "studio/vtStudioServerU.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <vector>

#include "studio/vtStudioExchangeU.h"
#include "studio/vtStudioJsonU.h"
#include "studio/vtStudioPageU.h"
#include "studio/vtStudioRoutesU.h"

using nlohmann::json;
using platform::HttpAnswer;
using platform::HttpRequest;

namespace {

constexpr char kJson[] = "application/json";

HttpAnswer JsonAnswer(const vtStudioReply& reply) {
  HttpAnswer answer;
  answer.Status = reply.Status;
  answer.ContentType = kJson;
  answer.Body = Dump(reply.Body);
  answer.Headers = {{"Cache-Control", "no-store"},
                    {"X-Content-Type-Options", "nosniff"},
                    {"Referrer-Policy", "no-referrer"}};
  return answer;
}

HttpAnswer Refusal(int status, const std::string& why) { return JsonAnswer(StudioError(status, why)); }

// A file of the page, sent from the program's own copy.
HttpAnswer PageAnswer(const std::string& path) {
  const vtStudioPageFile* file = FindStudioPageFile(path == "/" ? "/index.html" : path.c_str());
  if (!file) return Refusal(404, "no such path: " + path);
  HttpAnswer answer = JsonAnswer({200, nullptr});
  answer.ContentType = StudioPageContentType(file->Path);
  answer.Body.clear();
  answer.ConstantBody = std::string_view(reinterpret_cast<const char*>(file->Data), file->Size);
  answer.Headers.emplace_back("Content-Security-Policy",
                              "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'");
  return answer;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Compares without leaving the position of the first difference in the time.
bool SameSecret(const std::string* given, const std::string& token) {
  if (!given || given->size() != token.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned char>((*given)[i] ^ token[i]);
  return difference == 0;
}

// The value of the cookie name, if sent; a cookie sent twice counts as
// none, as a query parameter sent twice does.
std::optional<std::string> CookieValue(const HttpRequest& request, const std::string& name) {
  if (request.HeaderCount("cookie") != 1) return std::nullopt;
  std::optional<std::string> found;
  std::string_view rest = *request.Header("cookie");
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find(';'), rest.size());
    std::string_view pair = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.substr(0, name.size() + 1) != name + "=") continue;
    if (found) return std::nullopt;
    found = std::string(pair.substr(name.size() + 1));
  }
  return found;
}

// The Last-Event-ID a reconnecting client sends; 0 (everything kept) when
// absent or malformed.
std::uint64_t LastEventId(const HttpRequest& request) {
  const std::string* text = request.Header("last-event-id");
  if (!text || text->empty() || text->size() > 19 || text->find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::stoull(*text);
}

// One client's event stream: the kept events it has not had, then every
// new one, and a time event kTimeEventsPerSecond times a second. Asked by
// the transport's loop; never waits.
class EventStream : public platform::HttpStream {
 public:
  EventStream(const vtStudioExchange& exchange, std::atomic<int>& open, std::uint64_t lastId)
      : exchange_(exchange), open_(open), lastId_(lastId) {}
  ~EventStream() override { --open_; }

  bool Next(std::string& out) override {
    if (exchange_.Stopped()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
      started_ = true;
      out = "retry: 1000\n\n";
      nextTime_ = now;
    }
    exchange_.EventsAfter(lastId_, std::chrono::milliseconds(0), batch_);
    for (const vtStudioEvent& event : batch_) {
      out += "id: " + std::to_string(event.Id) + "\nevent: " + event.Name + "\ndata: " + event.Data + "\n\n";
      lastId_ = event.Id;
    }
    if (now >= nextTime_) {
      out += "event: time\ndata: " + Dump(StateJson(exchange_.State())) + "\n\n";
      nextTime_ = std::max(nextTime_ + kInterval, now);
    }
    return true;
  }

 private:
  static constexpr std::chrono::milliseconds kInterval{1000 / vtStudioServer::kTimeEventsPerSecond};

  const vtStudioExchange& exchange_;
  std::atomic<int>& open_;
  std::uint64_t lastId_;
  bool started_ = false;
  std::chrono::steady_clock::time_point nextTime_;
  std::vector<vtStudioEvent> batch_;
};

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

platform::HttpLimits vtStudioServer::DefaultLimits() {
  platform::HttpLimits limits;
  limits.BodyBytes = kMaxBodyBytes;
  limits.Workers = kRequestThreads;
  limits.StreamInterval = std::chrono::milliseconds(1000 / kTimeEventsPerSecond);
  return limits;
}

vtStudioServer::vtStudioServer(vtStudioExchange& exchange) : exchange_(exchange) {}

vtStudioServer::~vtStudioServer() { Stop(); }

std::string vtStudioServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(Port()) + "/?token=" + token_;
}

bool vtStudioServer::Start(int port, std::string& error) { return Start(port, DefaultLimits(), error); }

bool vtStudioServer::Start(int port, const platform::HttpLimits& limits, std::string& error) {
  Stop();
  exchange_.Reopen();
  if (!NewStudioToken(token_)) {
    error = "the system gave no random bytes for the studio's token";
    return false;
  }
  platform::HttpService service;
  service.Admit = [this](const HttpRequest& request) { return Admit(request); };
  service.Serve = [this](HttpRequest&& request) { return Serve(std::move(request)); };
  // The interface knows no 413: a body over the limit is a bad request.
  service.Refuse = [](int status, const std::string& why) { return Refusal(status == 413 ? 400 : status, why); };
  if (http_.Start("127.0.0.1", port, limits, std::move(service), error)) return true;
  error = "the studio " + error;
  return false;
}

void vtStudioServer::Stop() {
  if (!http_.Running()) return;
  exchange_.Stop();  // ends the streams and the waits of the handlers
  http_.Stop();
}

// Rule 1: the request comes from a page of this player, or from no page.
bool vtStudioServer::FromThisPlayer(const HttpRequest& request, std::string& why) const {
  const std::string port = ":" + std::to_string(Port());
  const std::string* host = request.Header("host");
  const std::string hostName = host ? Lower(*host) : std::string();
  if (hostName != "127.0.0.1" + port && hostName != "localhost" + port) {
    why = "the Host must be 127.0.0.1" + port + " or localhost" + port + ", once";
    return false;
  }
  if (request.HeaderCount("origin") == 0) return true;
  const std::string* origin = request.Header("origin");
  const std::string originName = origin ? Lower(*origin) : std::string();
  if (originName == "http://127.0.0.1" + port || originName == "http://localhost" + port) return true;
  why = "requests from other web pages are refused";
  return false;
}

// Rules 1 to 3, before the body is read; the page and the event streams
// are answered here, the rest by Serve.
std::optional<HttpAnswer> vtStudioServer::Admit(const HttpRequest& request) {
  std::string why;
  if (!FromThisPlayer(request, why)) return Refusal(403, why);
  const vtStudioRoute* route = FindStudioRoute(request.Path, request.Method);
  const bool page = route && route->Kind == vtStudioRouteKind::Page;
  if (StudioPathNeedsToken(request.Path)) {
    const std::string* given =
        request.HeaderCount("x-vortane-token") ? request.Header("x-vortane-token") : request.Param("token");
    const std::optional<std::string> cookie = page ? CookieValue(request, CookieName()) : std::nullopt;
    if (!SameSecret(given, token_) && !(cookie && SameSecret(&*cookie, token_)))
      return Refusal(403, "a missing or wrong token: use the address the player printed");
  }
  if (!route) {
    const std::string methods = StudioRouteMethods(request.Path);
    if (methods.empty()) return Refusal(404, "no such path: " + request.Path);
    HttpAnswer answer = Refusal(405, request.Path + " takes " + methods);
    answer.Headers.emplace_back("Allow", methods);
    return answer;
  }
  switch (route->Kind) {
    case vtStudioRouteKind::Page: return PageWithCookie(request.Path);
    case vtStudioRouteKind::PublicPage: return PageAnswer(request.Path);
    case vtStudioRouteKind::Events: return OpenEventStream(request);
    case vtStudioRouteKind::Json: break;
  }
  return std::nullopt;
}

// Rule 4 and the route's handler, on a worker.
HttpAnswer vtStudioServer::Serve(HttpRequest&& request) {
  const vtStudioRoute* route = FindStudioRoute(request.Path, request.Method);
  if (!route || !route->Handler) return Refusal(404, "no such path: " + request.Path);
  const bool ignored = std::string_view(route->Method) != "POST" || (route->BodyOptional && request.Body.empty());
  const json body = ignored ? json::object() : json::parse(request.Body, nullptr, false);
  if (!body.is_object()) return Refusal(400, "the body must be a JSON object");
  return JsonAnswer(route->Handler(exchange_, request, body));
}

// The page's own address carries no token once the page has read it, so a
// reload of the page shows the cookie instead. It opens the page only: the
// interface still wants the token itself, which the page keeps for its tab.
std::string vtStudioServer::CookieName() const { return "vortane_studio_" + std::to_string(Port()); }

HttpAnswer vtStudioServer::PageWithCookie(const std::string& path) const {
  HttpAnswer answer = PageAnswer(path);
  answer.Headers.emplace_back("Set-Cookie", CookieName() + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict");
  return answer;
}

HttpAnswer vtStudioServer::OpenEventStream(const HttpRequest& request) {
  if (++streams_ > kMaxEventStreams) {
    --streams_;
    return Refusal(503, "too many event streams are open");
  }
  HttpAnswer answer = JsonAnswer({200, nullptr});
  answer.ContentType = "text/event-stream";
  answer.Body.clear();
  answer.Stream = std::make_unique<EventStream>(exchange_, streams_, LastEventId(request));
  return answer;
}
