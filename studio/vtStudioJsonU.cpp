#include "studio/vtStudioJsonU.h"

#include <cmath>

using nlohmann::json;

namespace {

// Times to the microsecond: floats printed in full would show their noise.
double Ms(float ms) { return std::round(static_cast<double>(ms) * 1000.0) / 1000.0; }

json VersionJson(const std::string& version) { return version.empty() ? json(nullptr) : json(version); }

}  // namespace

std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

json StateJson(const vtStudioState& state) {
  json out = {{"time_ms", Ms(state.TimeMs)},
              {"end_ms", Ms(state.EndMs)},
              {"paused", state.Paused},
              {"speed", state.Speed},
              {"loop", nullptr},
              {"frames", state.Frames}};
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
    json findings = json::array();
    for (const vtTimelineFinding& f : item.Findings)
      findings.push_back({{"line", f.Line}, {"severity", f.Severity}, {"code", f.Code}, {"text", f.Text}});
    items.push_back({{"index", i},
                     {"type", item.Type},
                     {"file", item.File},
                     {"status", item.Status},
                     {"message", item.Message},
                     {"version", VersionJson(item.Version)},
                     {"lines", std::move(lines)},
                     {"findings", std::move(findings)}});
  }
  return {{"end_ms", Ms(timeline.EndMs)},
          {"script", {{"file", timeline.ScriptFile}, {"version", VersionJson(timeline.ScriptVersion)}}},
          {"items", std::move(items)}};
}
