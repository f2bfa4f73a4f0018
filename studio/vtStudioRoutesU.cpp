#include "studio/vtStudioRoutesU.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "runtime/vtSpeedsU.h"
#include "studio/vtStudioJsonU.h"
#include "studio/vtStudioServerU.h"

using nlohmann::json;
using platform::HttpRequest;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kApplyWait{2000};      // a command waits this long for its frame
constexpr milliseconds kWaveformWait{20000};  // a waveform request, for the decoding

// ------------------------------------------------------------ values

// A finite number in low..high from the body's member key, checked as the
// double it was sent as (a float would round 0.2500000001 to 0.25).
bool ReadNumber(const json& body, const char* key, double low, double high, double& value, std::string& why) {
  const auto it = body.find(key);
  if (it == body.end()) {
    why = std::string("\"") + key + "\" is missing";
    return false;
  }
  if (!it->is_number()) {
    why = std::string("\"") + key + "\" must be a number";
    return false;
  }
  value = it->get<double>();
  if (std::isfinite(value) && value >= low && value <= high) return true;
  char text[160];
  std::snprintf(text, sizeof text, "\"%s\" must lie in %.3f..%.3f", key, low, high);
  why = text;
  return false;
}

// The demo's end time, the upper bound of every time a command names.
double EndMs(const vtStudioExchange& exchange) { return std::max(0.0f, exchange.State().EndMs); }

// Queues the command; the answer is the state once a frame has applied it
// (202 when none has in time).
vtStudioReply Apply(vtStudioExchange& exchange, const vtStudioCommand& command) {
  const std::uint64_t ticket = exchange.Push(command);
  if (ticket == 0) return StudioError(503, "the player is not taking commands");
  vtStudioState state;
  const bool applied = exchange.WaitApplied(ticket, kApplyWait, state);
  return {applied ? 200 : 202, StateJson(state)};
}

// ------------------------------------------------------------ handlers

vtStudioReply GetState(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return {200, StateJson(exchange.State())};
}

vtStudioReply GetTimeline(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return {200, TimelineJson(*exchange.Timeline())};
}

vtStudioReply GetWaveform(vtStudioExchange& exchange, const HttpRequest& request, const json&) {
  const std::string* text = request.Param("columns");
  const bool digits = text && !text->empty() && text->size() <= 5 &&
                      text->find_first_not_of("0123456789") == std::string::npos;
  const int columns = digits ? std::stoi(*text) : 0;
  if (columns < 1 || columns > vtStudioServer::kMaxWaveformColumns)
    return StudioError(400, "columns must be a whole number from 1 to " +
                                std::to_string(vtStudioServer::kMaxWaveformColumns));
  const auto wave = exchange.Waveform(kWaveformWait);
  if (!wave) return StudioError(503, "the music is still being read");
  json body = {{"columns", columns}, {"min", json::array()}, {"max", json::array()}};
  if (wave->Min.empty()) return {200, body};
  std::vector<float> low, high;
  WaveformColumns(*wave, exchange.State().EndMs, columns, low, high);
  const auto rounded = [](float v) { return std::round(v * 1000.0) / 1000.0; };
  for (std::size_t c = 0; c < low.size(); ++c) {
    body["min"].push_back(rounded(low[c]));
    body["max"].push_back(rounded(high[c]));
  }
  return {200, body};
}

vtStudioReply Seek(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  double ms = 0;
  std::string why;
  if (!ReadNumber(body, "time_ms", 0, EndMs(exchange), ms, why)) return StudioError(400, why);
  return Apply(exchange, {vtStudioCommandKind::Seek, static_cast<float>(ms), 0});
}

vtStudioReply Pause(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return Apply(exchange, {vtStudioCommandKind::Pause, 0, 0});
}

vtStudioReply Resume(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return Apply(exchange, {vtStudioCommandKind::Resume, 0, 0});
}

vtStudioReply Speed(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  double speed = 0;
  std::string why;
  if (!ReadNumber(body, "speed", kSpeeds[0], kSpeeds[std::size(kSpeeds) - 1], speed, why))
    return StudioError(400, why);
  if (std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) == std::end(kSpeeds))
    return StudioError(400, "\"speed\" must be 0.25, 0.5, 1 or 2");
  return Apply(exchange, {vtStudioCommandKind::Speed, static_cast<float>(speed), 0});
}

// {} clears the loop, {"from", "to"} sets it.
vtStudioReply Loop(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  if (!body.contains("from") && !body.contains("to")) return Apply(exchange, {vtStudioCommandKind::ClearLoop, 0, 0});
  double from = 0, to = 0;
  std::string why;
  const double end = EndMs(exchange);
  if (!ReadNumber(body, "from", 0, end, from, why) || !ReadNumber(body, "to", 0, end, to, why))
    return StudioError(400, why);
  // Compared as the player will hold them: two times a float cannot tell
  // apart make no span.
  const float start = static_cast<float>(from), stop = static_cast<float>(to);
  if (!(start < stop)) return StudioError(400, "\"from\" must come before \"to\"");
  return Apply(exchange, {vtStudioCommandKind::Loop, start, stop});
}

// ------------------------------------------------------------ the table

using Kind = vtStudioRouteKind;

const vtStudioRoute kStudioRoutes[] = {
    {"GET", "/", Kind::Page},
    {"GET", "/index.html", Kind::Page},
    {"GET", "/studio.css", Kind::PublicPage},
    {"GET", "/studio.js", Kind::PublicPage},
    {"GET", "/api/state", Kind::Json, GetState},
    {"GET", "/api/timeline", Kind::Json, GetTimeline},
    {"GET", "/api/waveform", Kind::Json, GetWaveform},
    {"GET", "/api/events", Kind::Events},
    {"POST", "/api/seek", Kind::Json, Seek},
    {"POST", "/api/pause", Kind::Json, Pause, true},
    {"POST", "/api/resume", Kind::Json, Resume, true},
    {"POST", "/api/speed", Kind::Json, Speed},
    {"POST", "/api/loop", Kind::Json, Loop},
};

bool MethodFits(const vtStudioRoute& route, std::string_view method) {
  return method == route.Method || (method == "HEAD" && std::string_view(route.Method) == "GET");
}

}  // namespace

const vtStudioRoute* FindStudioRoute(std::string_view path, std::string_view method) {
  for (const vtStudioRoute& route : kStudioRoutes)
    if (path == route.Path && MethodFits(route, method)) return &route;
  return nullptr;
}

std::string StudioRouteMethods(std::string_view path) {
  std::string methods;
  for (const vtStudioRoute& route : kStudioRoutes) {
    if (path != route.Path) continue;
    const std::string method = std::string_view(route.Method) == "GET" ? "GET, HEAD" : route.Method;
    if (methods.find(method) == std::string::npos) methods += (methods.empty() ? "" : ", ") + method;
  }
  return methods;
}

bool StudioPathNeedsToken(std::string_view path) {
  bool known = false;
  for (const vtStudioRoute& route : kStudioRoutes) {
    if (path != route.Path) continue;
    if (route.Kind == Kind::PublicPage) return false;
    known = true;
  }
  return known || path.substr(0, 5) == "/api/";
}
