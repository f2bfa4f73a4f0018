// The studio's own files in the demo's folder: the listing of the demo's
// files of one kind (for the page's "add item"), and the page's settings
// (tempo and offset of its beat grid) in studio-settings.json, which the
// player never reads as part of the demo.
//
// Threads: any thread (the server's workers); the settings are read and
// written under one lock.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

inline constexpr const char* kStudioSettingsFile = "studio-settings.json";

// The regular files under demoFolder ending in "." + extension (letter
// case as the readers take it), as the script names them: relative to
// workFolder, '\' between folders, sorted. Hidden entries and links to
// folders are left out; at most kMaxListedFiles, kMaxListDepth deep.
inline constexpr std::size_t kMaxListedFiles = 2000;
inline constexpr int kMaxListDepth = 8;
std::vector<std::string> DemoFiles(const std::string& workFolder, const std::string& demoFolder,
                                   const std::string& extension);

// {"tempo": BPM or null, "offset": ms}; the defaults (null, 0) when the file
// is missing or unreadable as JSON. False with the reason only when the
// file exists but cannot be read.
bool ReadStudioSettings(const std::string& demoFolder, nlohmann::json& settings, std::string& why);
// Merges change into the settings and writes the file atomically; the
// settings as written. False with the reason (the file stays as it was).
bool UpdateStudioSettings(const std::string& demoFolder, const nlohmann::json& change, nlohmann::json& settings,
                          std::string& why);
