// The studio's data as JSON: one text form for every answer and event, and
// the state and timeline as the interface shows them (README, "Studio").
//
// Threads: pure functions of their arguments; any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "studio/vtStudioExchangeU.h"

// One line of JSON. Invalid UTF-8 (in a file name or a message) is
// replaced, never thrown at.
std::string Dump(const nlohmann::json& value);

// {"time_ms", "end_ms", "paused", "speed", "loop": null or [from, to]}
nlohmann::json StateJson(const vtStudioState& state);
// {"end_ms", "script": {"file", "version"},
//  "items": [{"index", "type", "file", "status", "message", "version", "lines"}]}
// (a version is null for a file that does not exist)
nlohmann::json TimelineJson(const vtTimeline& timeline);
