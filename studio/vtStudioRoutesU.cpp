#include "studio/vtStudioRoutesU.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>

#include "edit/vtScriptEditU.h"
#include "runtime/vtSpeedsU.h"
#include "studio/vtStudioFilesU.h"
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

// A whole number in low..high (an index, a mode).
bool ReadWhole(const json& body, const char* key, double low, double high, std::int32_t& value, std::string& why) {
  double number = 0;
  if (!ReadNumber(body, key, low, high, number, why)) return false;
  if (number != std::floor(number)) {
    why = std::string("\"") + key + "\" must be a whole number";
    return false;
  }
  value = static_cast<std::int32_t>(number);
  return true;
}

// A time the script can hold: whole milliseconds (a fraction is rounded),
// 0 up to the largest integer the reader reads.
bool ReadTime(const json& body, const char* key, std::int32_t& value, std::string& why) {
  double ms = 0;
  if (!ReadNumber(body, key, 0, std::numeric_limits<std::int32_t>::max(), ms, why)) return false;
  value = static_cast<std::int32_t>(std::llround(ms));
  return true;
}

bool ReadVersion(const json& body, std::string& version, std::string& why) {
  const auto it = body.find("version");
  if (it == body.end() || !it->is_string() || it->get_ref<const std::string&>().size() > 64) {
    why = "\"version\" must be the file's version as the timeline gave it";
    return false;
  }
  version = it->get<std::string>();
  return true;
}

constexpr double kMaxIndex = 1e9;

// A place in a list: an item, its line, a layer, a key.
bool ReadIndex(const json& body, const char* key, std::int32_t& value, std::string& why) {
  return ReadWhole(body, key, 0, kMaxIndex, value, why);
}

bool ReadItem(const json& body, vtStudioEdit& edit, std::string& why) {
  return ReadIndex(body, "item", edit.Item, why) && ReadVersion(body, edit.Version, why);
}

// begin, end, and mode and play when given (both when required).
bool ReadLineValues(const json& body, bool required, vtStudioEdit& edit, std::string& why) {
  if (!ReadTime(body, "begin", edit.Begin, why) || !ReadTime(body, "end", edit.End, why)) return false;
  if (edit.Begin > edit.End) {
    why = "\"begin\" must not come after \"end\"";
    return false;
  }
  if (required || body.contains("mode")) {
    std::int32_t mode = 0;
    if (!ReadWhole(body, "mode", 0, 1, mode, why)) return false;
    edit.Mode = mode;
  }
  if (required || body.contains("play")) {
    const auto play = body.find("play");
    if (play == body.end() || !play->is_string() || (*play != "vt_PLAY" && *play != "vt_UNPLAY")) {
      why = "\"play\" must be \"vt_PLAY\" or \"vt_UNPLAY\"";
      return false;
    }
    edit.Play = play->get<std::string>();
  }
  return true;
}

// Queues the edit for the main loop and answers what it did.
vtStudioReply ApplyEdit(vtStudioExchange& exchange, const vtStudioEdit& edit) {
  const std::uint64_t ticket = exchange.PushEdit(edit);
  if (ticket == 0) return StudioError(503, "the player is not taking edits");
  vtStudioReply reply;
  if (!exchange.WaitEdit(ticket, kApplyWait, reply))
    return StudioError(503, "the player took no edit within 2 s; nothing was changed");
  return reply;
}

// An edit of that kind, its values read from the body by read (false: 400
// with the reason), applied.
using EditReader = std::function<bool(vtStudioEdit& edit, std::string& why)>;
vtStudioReply ReadAndApply(vtStudioExchange& exchange, vtStudioEditKind kind, const EditReader& read) {
  vtStudioEdit edit;
  edit.Kind = kind;
  std::string why;
  if (read && !read(edit, why)) return StudioError(400, why);
  return ApplyEdit(exchange, edit);
}

// A query parameter of 1 to maxDigits decimal digits.
bool ReadDigits(const HttpRequest& request, const char* name, std::size_t maxDigits, int& value) {
  const std::string* text = request.Param(name);
  if (!text || text->empty() || text->size() > maxDigits || text->find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoi(*text);
  return true;
}

// ------------------------------------------------------------ handlers

vtStudioReply GetState(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return {200, StateJson(exchange.State())};
}

vtStudioReply GetTimeline(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return {200, TimelineJson(*exchange.Timeline())};
}

vtStudioReply GetWaveform(vtStudioExchange& exchange, const HttpRequest& request, const json&) {
  int columns = 0;
  if (!ReadDigits(request, "columns", 5, columns) || columns < 1 || columns > vtStudioServer::kMaxWaveformColumns)
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

// {"item", "line", "begin", "end", "mode", "play", "version"}
vtStudioReply EditLine(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::Line, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadIndex(body, "line", edit.Line, why) &&
           ReadLineValues(body, false, edit, why);
  });
}

// {"item", "begin", "end", "mode", "play", "version"}
vtStudioReply AddLine(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::LineAdd, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadLineValues(body, false, edit, why);
  });
}

// {"item", "line", "version"}
vtStudioReply DeleteLine(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::LineDelete, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadIndex(body, "line", edit.Line, why);
  });
}

// {"type", "file", "at", "version"}
vtStudioReply AddItem(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::ItemAdd, [&](vtStudioEdit& edit, std::string& why) {
    if (!ReadVersion(body, edit.Version, why) || !ReadIndex(body, "at", edit.To, why)) return false;
    const auto type = body.find("type");
    const auto file = body.find("file");
    if (type == body.end() || !type->is_string()) {
      why = "\"type\" must be an item kind's tag";
      return false;
    }
    if (file == body.end() || !file->is_string() || file->get_ref<const std::string&>().empty() ||
        file->get_ref<const std::string&>().size() > 1024) {
      why = "\"file\" must name the item's file inside the demo's folder";
      return false;
    }
    edit.Type = type->get<std::string>();
    edit.File = file->get<std::string>();
    return true;
  });
}

// {"item", "version"}
vtStudioReply DeleteItem(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::ItemDelete,
                      [&](vtStudioEdit& edit, std::string& why) { return ReadItem(body, edit, why); });
}

// {"item", "to", "version"}
vtStudioReply MoveItem(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::ItemMove, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadIndex(body, "to", edit.To, why);
  });
}

// ?type=KIND: the demo's files a KIND item can read, as the script names
// them (relative to the work folder, '\\' between folders).
vtStudioReply GetFiles(vtStudioExchange& exchange, const HttpRequest& request, const json&) {
  const std::string* type = request.Param("type");
  const char* extension = type ? ItemExtension(*type) : nullptr;
  if (!extension) return StudioError(400, "type must be one of vt_3D_ASE, vt_2D_VTL, vt_SKY, vt_TRANS, vt_MESH, vt_TUNNEL");
  return {200, {{"type", *type}, {"files", DemoFiles(exchange.WorkFolder(), exchange.DemoFolder(), extension)}}};
}

vtStudioReply GetSettings(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  json settings;
  std::string why;
  if (!ReadStudioSettings(exchange.DemoFolder(), settings, why)) return StudioError(500, why);
  return {200, settings};
}

// {"tempo": BPM or null, "offset": ms}, either or both.
vtStudioReply SetSettings(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  json change = json::object();
  std::string why;
  if (body.contains("tempo")) {
    double tempo = 0;
    if (body["tempo"].is_null()) change["tempo"] = nullptr;
    else if (!ReadNumber(body, "tempo", 1, 1000, tempo, why)) return StudioError(400, why);
    else change["tempo"] = tempo;
  }
  if (body.contains("offset")) {
    double offset = 0;
    if (!ReadNumber(body, "offset", -1e7, 1e7, offset, why)) return StudioError(400, why);
    change["offset"] = offset;
  }
  json settings;
  if (!UpdateStudioSettings(exchange.DemoFolder(), change, settings, why)) return StudioError(500, why);
  return {200, settings};
}

// The key values given in body["values"]: each a finite number in its
// range (times and interpolations whole); all of them when required.
bool ReadKeyValues(const json& body, bool timeRequired, vtStudioEdit& edit, std::string& why) {
  const auto values = body.find("values");
  if (values == body.end() || !values->is_object()) {
    why = "\"values\" must be an object of key values";
    return false;
  }
  struct Range {
    double Low, High;
    bool Whole;
  };
  constexpr double kFar = 1e7;
  const Range ranges[11] = {{0, 4294967295.0, true}, {-kFar, kFar, false}, {-kFar, kFar, false}, {0, 2, true},
                            {-kFar, kFar, false},   {-kFar, kFar, false}, {-kFar, kFar, false}, {0, 255, false},
                            {0, 255, false},        {0, 255, false},      {0, 255, false}};
  for (const auto& entry : values->items()) {
    const std::string& name = entry.key();  // a named variable: lambdas cannot capture structured bindings in C++17
    if (std::find_if(std::begin(kKeyValueNames), std::end(kKeyValueNames),
                     [&](const char* known) { return name == known; }) == std::end(kKeyValueNames)) {
      why = "\"" + name + "\" is no key value";
      return false;
    }
  }
  for (int i = 0; i < 11; ++i) {
    if (!values->contains(kKeyValueNames[i])) {
      if (i == 0 && timeRequired) {
        why = "\"time\" is missing";
        return false;
      }
      continue;
    }
    double number = 0;
    if (!ReadNumber(*values, kKeyValueNames[i], ranges[i].Low, ranges[i].High, number, why)) return false;
    if (ranges[i].Whole && number != std::floor(number)) {
      why = std::string("\"") + kKeyValueNames[i] + "\" must be a whole number";
      return false;
    }
    edit.KeyValues[i] = number;
  }
  return true;
}

// ?item=I
vtStudioReply GetLayers(vtStudioExchange& exchange, const HttpRequest& request, const json&) {
  int item = 0;
  if (!ReadDigits(request, "item", 9, item)) return StudioError(400, "item must be an item's index");
  return ReadAndApply(exchange, vtStudioEditKind::Layers, [&](vtStudioEdit& edit, std::string&) {
    edit.Item = item;
    return true;
  });
}

// {"item", "layer", "key", "values": {...}, "version"}
vtStudioReply EditKey(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::Key, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadIndex(body, "layer", edit.Layer, why) &&
           ReadIndex(body, "key", edit.Key, why) && ReadKeyValues(body, false, edit, why);
  });
}

// {"item", "layer", "values": {"time", ...}, "version"}
vtStudioReply AddKey(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::KeyAdd, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadIndex(body, "layer", edit.Layer, why) &&
           ReadKeyValues(body, true, edit, why);
  });
}

// {"item", "layer", "key", "version"}
vtStudioReply DeleteKey(vtStudioExchange& exchange, const HttpRequest&, const json& body) {
  return ReadAndApply(exchange, vtStudioEditKind::KeyDelete, [&](vtStudioEdit& edit, std::string& why) {
    return ReadItem(body, edit, why) && ReadIndex(body, "layer", edit.Layer, why) &&
           ReadIndex(body, "key", edit.Key, why);
  });
}

vtStudioReply Undo(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return ReadAndApply(exchange, vtStudioEditKind::Undo, nullptr);
}

vtStudioReply Redo(vtStudioExchange& exchange, const HttpRequest&, const json&) {
  return ReadAndApply(exchange, vtStudioEditKind::Redo, nullptr);
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
    {"POST", "/api/edit/line", Kind::Json, EditLine},
    {"POST", "/api/edit/line/add", Kind::Json, AddLine},
    {"POST", "/api/edit/line/delete", Kind::Json, DeleteLine},
    {"POST", "/api/edit/item/add", Kind::Json, AddItem},
    {"POST", "/api/edit/item/delete", Kind::Json, DeleteItem},
    {"POST", "/api/edit/item/move", Kind::Json, MoveItem},
    {"GET", "/api/files", Kind::Json, GetFiles},
    {"GET", "/api/layers", Kind::Json, GetLayers},
    {"POST", "/api/edit/key", Kind::Json, EditKey},
    {"POST", "/api/edit/key/add", Kind::Json, AddKey},
    {"POST", "/api/edit/key/delete", Kind::Json, DeleteKey},
    {"GET", "/api/settings", Kind::Json, GetSettings},
    {"POST", "/api/settings", Kind::Json, SetSettings},
    {"POST", "/api/undo", Kind::Json, Undo, true},
    {"POST", "/api/redo", Kind::Json, Redo, true},
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
