#include "edit/vtScriptEditU.h"

#include <algorithm>
#include <filesystem>

#include "core/vtFuncU.h"
#include "platform/Files.h"
#include "runtime/vtDSysU.h"

namespace {

constexpr std::string_view kRenderLineKey = "VT_RENDER_TIMES_BEGIN_END";

bool SameItem(const vtScriptItem& a, const vtScriptItem& b) {
  if (a.Type != b.Type || a.File != b.File || a.Lines.size() != b.Lines.size()) return false;
  for (std::size_t i = 0; i < a.Lines.size(); ++i)
    if (!(a.Lines[i].Values == b.Lines[i].Values)) return false;
  return true;
}

// Where the reader finds the three numbers and the tag of a render line
// (vtDemoSystem::AddRenderLine): behind the last 'D' and one character,
// three number words, then the text between the first and the last double
// quote of the rest.
bool RenderLineSpans(std::string_view text, vtTextSpan (&numbers)[3], vtTextSpan& tag) {
  const std::size_t d = text.rfind('D');
  if (d == std::string_view::npos) return false;
  std::size_t at = d + 2;
  if (!NumberWords(text, at, numbers, 3)) return false;
  const std::size_t open = text.find('"', at);
  const std::size_t close = text.rfind('"');
  if (open == std::string_view::npos || close == open) return false;
  tag = {open + 1, close - open - 1};
  return true;
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

const char* ItemExtension(const std::string& type) {
  static const char* const kKinds[][2] = {{"vt_3D_ASE", "ase"}, {"vt_2D_VTL", "vtl"}, {"vt_SKY", "vtk"},
                                          {"vt_TRANS", "vtt"},  {"vt_MESH", "vto"},   {"vt_TUNNEL", "vts"}};
  for (const auto& kind : kKinds)
    if (type == kind[0]) return kind[1];
  return nullptr;
}

bool CheckItemFile(const std::string& workDir, const std::string& demoFolder, const std::string& type,
                   std::string& file, std::string& why) {
  const char* extension = ItemExtension(type);
  if (!extension) {
    why = "\"type\" must be one of vt_3D_ASE, vt_2D_VTL, vt_SKY, vt_TRANS, vt_MESH, vt_TUNNEL";
    return false;
  }
  for (char& c : file) {
    if (c == '/') c = '\\';
    if (static_cast<unsigned char>(c) < 32 || c == '"') {
      why = "\"file\" may hold neither quotes nor control characters";
      return false;
    }
  }
  const std::string dotted = std::string(".") + extension;
  if (file.size() <= dotted.size() || file.compare(file.size() - dotted.size(), dotted.size(), dotted) != 0) {
    why = "a " + type + " item's file ends in " + dotted;
    return false;
  }
  const bool absolute = file[0] == '\\' || file.find(':') != std::string::npos;
  const bool climbs = ("\\" + file + "\\").find("\\..\\") != std::string::npos;
  // The part that exists with its links followed: a new file's folder may
  // be a link that leads out.
  std::error_code error;
  const std::string disk =
      std::filesystem::weakly_canonical(platform::ResolvePath(workDir + "\\" + file), error).string();
  if (absolute || climbs || error || disk.compare(0, demoFolder.size() + 1, demoFolder + "/") != 0) {
    why = "\"" + file + "\" lies outside the demo's folder";
    return false;
  }
  return true;
}

vtChannelSpan ChannelSpan(const vtDocument& document, const vtScriptItem& item) {
  int last = item.Place.End;
  const auto lone = [&](int n, std::string_view text) {
    return n <= document.LineCount() && document.Text(n).find_first_not_of(" \t") != std::string_view::npos &&
           document.Text(n).substr(document.Text(n).find_first_not_of(" \t")) == text;
  };
  if (item.Place.Closed && lone(last + 1, "}")) ++last;
  if (last + 1 <= document.LineCount() && IsBlank(document.Text(last + 1)) && last + 1 < document.LineCount()) ++last;
  return {item.Place.Channel, last - item.Place.Channel + 1};
}

// A comment holding a brace is left where it is: the readers count its
// brace as the end of a block.
int ChannelLead(const vtDocument& document, const vtScriptItem& item) {
  const auto describes = [&](int n) {
    const std::string_view text = document.Text(n);
    return text.substr(0, 1) == "#" && text.find_first_of("{}") == std::string_view::npos;
  };
  int first = item.Place.Channel;
  while (first > 1 && describes(first - 1)) --first;
  return first == 1 ? item.Place.Channel : first;
}

std::vector<std::string> SpanTexts(const vtDocument& document, vtChannelSpan span) {
  std::vector<std::string> texts;
  for (int n = span.First; n < span.First + span.Count; ++n) texts.emplace_back(document.Text(n));
  return texts;
}

int ChannelPlace(const vtDocument& document, const std::vector<vtScriptItem>& items, int at) {
  if (items.empty()) return document.LineCount() + 1;
  if (at <= 0) return ChannelLead(document, items.front());
  const vtChannelSpan before = ChannelSpan(document, items[static_cast<std::size_t>(at - 1)]);
  return before.First + before.Count;
}

std::vector<std::string> NewChannel(const vtDocument& document, const std::vector<vtScriptItem>& items, int at,
                                    const std::string& type, const std::string& file) {
  const vtScriptItem* like = items.empty() ? nullptr : &items[static_cast<std::size_t>(std::max(at - 1, 0))];
  std::string outer, inner = "\t";
  if (like) {
    outer = document.Indentation(like->Place.Channel);
    inner = document.Indentation(like->Place.File);
  }
  std::vector<std::string> lines = {outer + "VT_RENDER_CHANNEL {",
                                    inner + "VT_RENDER_ITEMS_TYPE \"" + type + "\"",
                                    inner + "VT_RENDER_ITEMS_FILE \"" + file + "\"",
                                    inner + "VT_RENDER_LINES {",
                                    inner + "}",
                                    outer + "}"};
  if (!like) return lines;
  // Channels apart by an empty line stay so: the new one takes one behind
  // it, or in front of it after the last channel (which has none behind).
  const vtChannelSpan span = ChannelSpan(document, *like);
  if (IsBlank(document.Text(span.First + span.Count - 1))) lines.emplace_back();
  else if (static_cast<std::size_t>(at) == items.size() && IsBlank(document.Text(ChannelLead(document, *like) - 1)))
    lines.insert(lines.begin(), "");
  return lines;
}

bool vtScriptModel::SameDemo(const vtScriptModel& other) const {
  if (Items.size() != other.Items.size() || EndTime != other.EndTime || DemoName != other.DemoName ||
      Music != other.Music)
    return false;
  for (std::size_t i = 0; i < Items.size(); ++i)
    if (!SameItem(Items[i], other.Items[i])) return false;
  return true;
}

bool ReadScriptModel(const std::string& path, vtScriptModel& model, std::string& why) {
  vtDemoSystem demo;
  demo.ApplyRequests = false;
  if (!demo.LoadScript(path)) {
    why = demo.ScriptError.empty() ? "the script " + path + " cannot be read" : demo.ScriptError;
    return false;
  }
  model = {};
  model.EndTime = demo.DemoEndTime;
  model.DemoName = demo.DemoName;
  model.Music = demo.Requests.MusicName;
  for (const auto& item : demo.Items) {
    vtScriptItem shown;
    shown.Type = GlobalFunc->NameFromType(item->ItemType);
    shown.File = item->FileName;
    shown.Place = item->Place;
    for (const auto& line : item->Lines)
      shown.Lines.push_back({{static_cast<std::int32_t>(line->BeginTime), static_cast<std::int32_t>(line->EndTime),
                              line->TimeMode, GlobalFunc->NameFromType(line->PlayType)},
                             line->SourceLine});
    model.Items.push_back(std::move(shown));
  }
  return true;
}

bool PatchRenderLine(const vtDocument& document, int at, const vtRenderLineValues& values, vtLineChange& change) {
  const std::string_view text = document.Text(at);
  vtTextSpan numbers[3], tag;
  if (text.find(kRenderLineKey) == std::string_view::npos || !RenderLineSpans(text, numbers, tag)) return false;
  const std::string patched = Spliced(text, {{numbers[0], FormatInteger(values.Begin)},
                                             {numbers[1], FormatInteger(values.End)},
                                             {numbers[2], FormatInteger(values.Mode)},
                                             {tag, values.Play}});
  change = {at, 1, {patched}};
  return true;
}

std::string WholeRenderLine(const vtDocument& document, int like, const vtRenderLineValues& values) {
  return std::string(document.Indentation(like)) + std::string(kRenderLineKey) + " " + FormatInteger(values.Begin) +
         " " + FormatInteger(values.End) + " " + FormatInteger(values.Mode) + " \"" + values.Play + "\"";
}

std::vector<vtLineChange> AddRenderLine(const vtDocument& document, const vtScriptItem& item,
                                        const vtRenderLineValues& values) {
  if (!item.Lines.empty()) {
    const int last = item.Lines.back().At;
    return {{last + 1, 0, {WholeRenderLine(document, last, values)}}};
  }
  const vtScriptPlace& place = item.Place;
  if (place.LinesOpen > 0) {
    // One step deeper than the opener, the step being the opener's own.
    const std::string_view outer = document.Indentation(place.Channel);
    std::string indent(document.Indentation(place.LinesOpen));
    if (indent.compare(0, outer.size(), outer) == 0) indent += indent.substr(outer.size());
    return {{place.LinesOpen + 1, 0, {indent + WholeRenderLine(vtDocument(), 1, values)}}};
  }
  // No lines block: one before the channel's "}" (which then stands alone
  // at the top level, where the reader ignores it).
  const int before = place.Closed ? place.End : place.End + 1;
  const int like = place.File > 0 ? place.File : place.Channel;
  const std::string indent(document.Indentation(like));
  return {{before, 0, {indent + "VT_RENDER_LINES {", WholeRenderLine(document, like, values), indent + "}"}}};
}
