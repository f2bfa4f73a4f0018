// A whole demo folder from one input: the script, the item files it names
// and their textures and music are written to the scratch folder, the demo
// system loads everything on the offscreen context with the manual clock,
// and a few frames are drawn.
//
// Splitting: the input up to the first marker line is the script
// "demo.vds". A marker line is "--- NAME" on a line of its own, NAME being
// 1 to 24 letters, digits, '_' or '.' (no leading '.'); the bytes after it,
// up to the next marker line, are the file NAME. The newline before a
// marker belongs to the marker. Files are flat in the folder, at most 8 of
// them (later markers stay in the content); a repeated name keeps the last.
// Example:
//   VT_RENDER_CHANNEL {\n ... VT_RENDER_ITEMS_FILE "a.vtt" ... }\n--- a.vtt\n...
#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "ItemFuzz.h"
#include "runtime/vtDSysU.h"

namespace {

constexpr size_t kMaxFiles = 8;
constexpr size_t kMaxNameLength = 24;

using File = std::pair<std::string, std::string>;  // name, content

// The NAME of a marker line starting at text[at] ("--- NAME\n" or to the
// end of the input), or "" when the line is no marker.
std::string MarkerName(const std::string& text, size_t at, size_t& next) {
  if (text.compare(at, 4, "--- ") != 0) return {};
  size_t end = text.find('\n', at + 4);
  if (end == std::string::npos) end = text.size();
  const std::string name = text.substr(at + 4, end - at - 4);
  if (name.empty() || name.size() > kMaxNameLength || name[0] == '.') return {};
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return {};
  next = std::min(end + 1, text.size());
  return name;
}

std::vector<File> Split(const std::string& input) {
  std::vector<File> files{{"demo.vds", {}}};
  size_t start = 0;
  for (size_t at = 0; at < input.size(); ++at) {
    if (files.size() > kMaxFiles || (at != 0 && input[at - 1] != '\n')) continue;
    size_t next = 0;
    const std::string name = MarkerName(input, at, next);
    if (name.empty()) continue;
    const size_t contentEnd = at == 0 ? 0 : at - 1;  // the newline before the marker
    files.back().second = input.substr(start, contentEnd - start);
    files.emplace_back(name, std::string());
    start = next;
    at = next - 1;
  }
  files.back().second = input.substr(std::min(start, input.size()));
  return files;
}

// Removes the previous input's files, writes this one's.
bool WriteFolder(const std::vector<File>& files) {
  static std::vector<std::string> written;
  for (const auto& name : written) std::remove(name.c_str());
  written.clear();
  for (const auto& file : files) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.second.data());
    if (!itemfuzz::WriteScratchFile(file.first, bytes, file.second.size())) return false;
    written.push_back(file.first);
  }
  return true;
}

// Time zero, and the start and middle of the first few lines.
std::vector<float> FrameTimes(const vtDemoSystem& demo) {
  std::vector<float> times{0};
  for (const auto& item : demo.Items)
    for (const auto& line : item->Lines) {
      if (times.size() >= 4) return times;
      times.push_back(line->BeginTime);
      times.push_back(line->BeginTime / 2 + line->EndTime / 2);
    }
  return times;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (!itemfuzz::Begin()) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (!WriteFolder(Split(input))) return 0;
  {
    vtDemoSystem demo;
    demo.SetManualTime(0);
    demo.LoadScript(GlobalFunc->WorkDir + "\\demo.vds");
    demo.Init();
    const std::vector<float> times = FrameTimes(demo);
    for (size_t i = 0; i < times.size(); ++i) {
      demo.ShowTimeline = i == 1;
      demo.SetManualTime(times[i]);
      demo.DrawFrame();
    }
    glFinish();
  }
  itemfuzz::ReleaseGlNames();
  return 0;
}
