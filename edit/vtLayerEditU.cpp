#include "edit/vtLayerEditU.h"

#include "core/vtTextU.h"
#include "core/vtTypeU.h"
#include "layers/vtLSysU.h"

namespace {

constexpr int kValues = 11;

// Where the reader finds the eleven values of a key line
// (vtLayerSystem::ReadKey): behind the last 'Y' and one character, ten
// number words, then the rest of the line without its trailing blanks.
bool KeyLineSpans(std::string_view text, vtTextSpan (&spans)[kValues]) {
  const std::size_t y = text.rfind('Y');
  if (y == std::string_view::npos) return false;
  std::size_t at = y + 2;
  if (!NumberWords(text, at, spans, kValues - 1)) return false;
  std::size_t end = text.size();
  while (end > at && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (end <= at) return false;
  spans[kValues - 1] = {at, end - at};
  return true;
}

std::string ValueText(const vtKeyValues& v, int i) {
  switch (i) {
    case 0: return FormatInteger(v.Time);
    case 1: return FormatSingle(v.X);
    case 2: return FormatSingle(v.Y);
    case 3: return FormatInteger(v.Interpolation);
    case 4: return FormatSingle(v.Angle);
    case 5: return FormatSingle(v.Width);
    case 6: return FormatSingle(v.Height);
    case 7: return FormatSingle(v.R);
    case 8: return FormatSingle(v.G);
    case 9: return FormatSingle(v.B);
    default: return FormatSingle(v.A);
  }
}

bool SameValue(const vtKeyValues& a, const vtKeyValues& b, int i) { return ValueText(a, i) == ValueText(b, i); }

}  // namespace

bool vtKeyValues::operator==(const vtKeyValues& o) const {
  for (int i = 0; i < kValues; ++i)
    if (!SameValue(*this, o, i)) return false;
  return true;
}

bool vtLayerModel::SameLayers(const vtLayerModel& other) const {
  if (Layers.size() != other.Layers.size()) return false;
  for (std::size_t i = 0; i < Layers.size(); ++i) {
    const vtLayerEntry &a = Layers[i], &b = other.Layers[i];
    if (a.Source != b.Source || a.BlendS != b.BlendS || a.BlendD != b.BlendD || a.Keys.size() != b.Keys.size() ||
        (a.KeysOpen == 0) != (b.KeysOpen == 0))
      return false;
    for (std::size_t k = 0; k < a.Keys.size(); ++k)
      if (!(a.Keys[k].Values == b.Keys[k].Values)) return false;
  }
  return true;
}

bool ReadLayerModel(const std::string& path, vtLayerModel& model, std::string& why) {
  vtLayerSystem layers(vt_2D_VTL, path);
  try {
    layers.LoadFromFile();
  } catch (const vtConvertError& error) {
    why = std::string(error.what()) + " (" + path + ", line " + std::to_string(error.LineNumber) + ")";
    return false;
  } catch (const vtIOError& error) {
    why = std::string(error.what()) + " (" + path + ")";
    return false;
  }
  if (!layers.Loaded) {
    why = "the layer file " + path + " cannot be read";
    return false;
  }
  model = {};
  for (const auto& layer : layers.Layers) {
    vtLayerEntry entry;
    entry.Source = layer->TextureSource;
    entry.BlendS = layer->BlendSFactor;
    entry.BlendD = layer->BlendDFactor;
    entry.At = layer->SourceLine;
    entry.KeysOpen = layer->Keys ? layer->KeysLine : 0;
    if (layer->Keys)
      for (const auto& key : *layer->Keys)
        entry.Keys.push_back({{key->Time, key->Position.X, key->Position.Y, key->Interpolation, key->Angle,
                               key->Size.X, key->Size.Y, key->Color.R, key->Color.G, key->Color.B, key->Color.A},
                              key->SourceLine});
    model.Layers.push_back(std::move(entry));
  }
  return true;
}

bool PatchKeyLine(const vtDocument& document, int at, const vtKeyValues& old, const vtKeyValues& values,
                  std::string& text) {
  const std::string_view line = document.Text(at);
  vtTextSpan spans[kValues];
  if (line.find("VT_KEY") == std::string_view::npos || !KeyLineSpans(line, spans)) return false;
  std::vector<std::pair<vtTextSpan, std::string>> changes;
  for (int i = 0; i < kValues; ++i)
    if (!SameValue(old, values, i)) changes.emplace_back(spans[i], ValueText(values, i));
  text = Spliced(line, changes);
  return true;
}

std::string WholeKeyLine(const vtDocument& document, int like, const vtKeyValues& values) {
  std::string text = std::string(document.Indentation(like)) + "VT_KEY";
  for (int i = 0; i < kValues; ++i) text += " " + ValueText(values, i);
  return text;
}
