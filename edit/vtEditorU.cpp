#include "edit/vtEditorU.h"

#include <algorithm>

#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "platform/StagedFile.h"

namespace {

vtEditResult ReadDocument(const std::string& path, vtDocument& document) {
  std::string bytes, why;
  if (!platform::ReadWholeFile(path, bytes, why)) return vtEditResult::Fail(500, why);
  document = vtDocument(std::move(bytes));
  return {};
}

vtEditResult Stale(const std::string& path, const std::string& named, const std::string& now) {
  return vtEditResult::Fail(409, path + " is no longer version " + named + " (it is now " + now +
                                     "): it changed since it was read; read it again");
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

bool ValidIndex(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

vtEditResult KnownItem(const vtScriptModel& model, int item) {
  if (ValidIndex(item, model.Items.size())) return {};
  return vtEditResult::Fail(404, "no item " + std::to_string(item));
}

vtEditResult KnownLine(const vtScriptModel& model, int item, int line) {
  const vtEditResult known = KnownItem(model, item);
  if (known.Status != 200 || ValidIndex(line, model.Items[static_cast<std::size_t>(item)].Lines.size())) return known;
  return vtEditResult::Fail(404, "item " + std::to_string(item) + " has no line " + std::to_string(line));
}

// The file's bytes (at version, when one is named: else 409) and what the
// player's reader makes of them; the file is read again after the reader,
// so that the bytes checked are the ones it read (409 when they changed).
template <typename Model>
vtEditResult ReadWithModel(const std::string& path, const std::string* version,
                           bool (*read)(const std::string&, Model&, std::string&), vtDocument& document, Model& model) {
  vtEditResult result = ReadDocument(path, document);
  if (result.Status != 200) return result;
  if (version && document.Version() != *version) return Stale(path, *version, document.Version());
  std::string why;
  if (!read(path, model, why)) return vtEditResult::Fail(500, why);
  vtDocument again;
  result = ReadDocument(path, again);
  if (result.Status != 200) return result;
  if (again.Version() != document.Version()) return Stale(path, document.Version(), again.Version());
  return {};
}

// The staged copy is read by its hidden name and removed after: what its
// reader finds is no finding about a file of the demo.
bool StagedReads(const std::function<bool(const std::string&, std::string&)>& check, const std::string& staged,
                 std::string& why) {
  const vtFindingsMuted muted;
  return check(staged, why);
}

}  // namespace

// ---------------------------------------------------------------- lines

vtEditResult vtEditor::EditLine(const std::string& scriptPath, const std::string& version, int item, int line,
                                const std::function<void(vtRenderLineValues&)>& changeValues) {
  return EditScript(scriptPath, version, [&](const vtDocument& document, vtScriptModel& expected, Candidates& ways) {
    const vtEditResult known = KnownLine(expected, item, line);
    if (known.Status != 200) return known;
    vtScriptLine& target = expected.Items[static_cast<std::size_t>(item)].Lines[static_cast<std::size_t>(line)];
    vtRenderLineValues values = target.Values;
    changeValues(values);
    vtLineChange patched;
    if (PatchRenderLine(document, target.At, values, patched)) ways.push_back({patched});
    ways.push_back({{target.At, 1, {WholeRenderLine(document, target.At, values)}}});
    target.Values = values;
    return vtEditResult{};
  });
}

vtEditResult vtEditor::AddLine(const std::string& scriptPath, const std::string& version, int item,
                               const vtRenderLineValues& values) {
  return EditScript(scriptPath, version, [&](const vtDocument& document, vtScriptModel& expected, Candidates& ways) {
    const vtEditResult known = KnownItem(expected, item);
    if (known.Status != 200) return known;
    vtScriptItem& target = expected.Items[static_cast<std::size_t>(item)];
    ways.push_back(AddRenderLine(document, target, values));
    target.Lines.push_back({values, 0});
    return vtEditResult{};
  });
}

vtEditResult vtEditor::DeleteLine(const std::string& scriptPath, const std::string& version, int item, int line) {
  return EditScript(scriptPath, version, [&](const vtDocument&, vtScriptModel& expected, Candidates& ways) {
    const vtEditResult known = KnownLine(expected, item, line);
    if (known.Status != 200) return known;
    auto& lines = expected.Items[static_cast<std::size_t>(item)].Lines;
    ways.push_back({{lines[static_cast<std::size_t>(line)].At, 1, {}}});
    lines.erase(lines.begin() + line);
    return vtEditResult{};
  });
}

// ---------------------------------------------------------------- items

vtEditResult vtEditor::AddItem(const std::string& scriptPath, const std::string& version, int at,
                               const std::string& type, const std::string& file) {
  return EditScript(scriptPath, version, [&](const vtDocument& document, vtScriptModel& expected, Candidates& ways) {
    auto& items = expected.Items;
    if (at < 0 || static_cast<std::size_t>(at) > items.size())
      return vtEditResult::Fail(404, "no place " + std::to_string(at) + " among " + std::to_string(items.size()) + " items");
    ways.push_back({{ChannelPlace(document, items, at), 0, NewChannel(document, items, at, type, file)}});
    vtScriptItem added;
    added.Type = type;
    added.File = (GlobalFunc ? GlobalFunc->WorkDir : std::string(".")) + "\\" + file;
    items.insert(items.begin() + at, added);
    return vtEditResult{};
  });
}

vtEditResult vtEditor::DeleteItem(const std::string& scriptPath, const std::string& version, int item) {
  return EditScript(scriptPath, version, [&](const vtDocument& document, vtScriptModel& expected, Candidates& ways) {
    const vtEditResult known = KnownItem(expected, item);
    if (known.Status != 200) return known;
    auto& items = expected.Items;
    const vtChannelSpan span = ChannelSpan(document, items[static_cast<std::size_t>(item)]);
    ways.push_back({{span.First, span.Count, {}}});
    items.erase(items.begin() + item);
    return vtEditResult{};
  });
}

vtEditResult vtEditor::MoveItem(const std::string& scriptPath, const std::string& version, int item, int to) {
  return EditScript(scriptPath, version, [&](const vtDocument& document, vtScriptModel& expected, Candidates& ways) {
    const vtEditResult known = KnownItem(expected, item);
    if (known.Status != 200) return known;
    auto& items = expected.Items;
    if (!ValidIndex(to, items.size())) return vtEditResult::Fail(404, "no place " + std::to_string(to));
    const vtScriptItem moved = items[static_cast<std::size_t>(item)];
    vtChannelSpan span = ChannelSpan(document, moved);
    const int lead = ChannelLead(document, moved);  // its comment goes along
    span.Count += span.First - lead;
    span.First = lead;
    items.erase(items.begin() + item);
    // The place among the others, as they stand in the file.
    const int at = ChannelPlace(document, items, to);
    std::vector<vtLineChange> way = {{span.First, span.Count, {}}};
    std::vector<std::string> texts = SpanTexts(document, span);
    // The last channel has no empty line behind it: moved before others
    // that have one, it takes the one in front of it along.
    const bool blankBehind = IsBlank(document.Text(span.First + span.Count - 1));
    const bool blankBefore = span.First > 1 && IsBlank(document.Text(span.First - 1));
    if (!blankBehind && blankBefore && static_cast<std::size_t>(to) < items.size() && at != span.First - 1) {
      way.push_back({span.First - 1, 1, {}});
      texts.emplace_back();
    }
    way.push_back({at, 0, texts});
    ways.push_back(way);
    items.insert(items.begin() + to, moved);
    return vtEditResult{};
  });
}

// ---------------------------------------------------------------- layer keys

namespace {

// Where a key of that time goes among the others: their count before it.
std::size_t KeyPlace(const std::vector<vtLayerKeyEntry>& keys, std::uint32_t time) {
  std::size_t place = 0;
  while (place < keys.size() && keys[place].Values.Time < time) ++place;
  return place;
}

// 400 when another key of the layer has that time.
vtEditResult TimeFree(const std::vector<vtLayerKeyEntry>& keys, std::uint32_t time) {
  for (const vtLayerKeyEntry& key : keys)
    if (key.Values.Time == time)
      return vtEditResult::Fail(400, "another key of the layer is at " + std::to_string(time) + " ms");
  return {};
}

vtEditResult KnownKey(const vtLayerEntry& entry, int layer, int key) {
  if (ValidIndex(key, entry.Keys.size())) return {};
  return vtEditResult::Fail(404, "layer " + std::to_string(layer) + " has no key " + std::to_string(key));
}

// The line a key placed at `place` goes before, and the line whose
// indentation it takes.
void KeyLinePlace(const vtDocument& document, const vtLayerEntry& layer, const std::vector<vtLayerKeyEntry>& keys,
                  std::size_t place, int& before, std::string& indent) {
  if (!keys.empty()) {
    const int like = keys[std::min(place, keys.size() - 1)].At;
    before = place < keys.size() ? keys[place].At : keys.back().At + 1;
    indent = std::string(document.Indentation(like));
    return;
  }
  // The first key: one step deeper than the keys block's opener.
  before = layer.KeysOpen + 1;
  const std::string_view outer = document.Indentation(layer.At);
  indent = std::string(document.Indentation(layer.KeysOpen));
  if (indent.compare(0, outer.size(), outer) == 0) indent += indent.substr(outer.size());
}

vtEditResult FindLayer(vtLayerModel& model, int layer, vtLayerEntry*& found) {
  if (layer < 0 || static_cast<std::size_t>(layer) >= model.Layers.size())
    return vtEditResult::Fail(404, "no layer " + std::to_string(layer));
  found = &model.Layers[static_cast<std::size_t>(layer)];
  if (found->KeysOpen == 0) return vtEditResult::Fail(400, "layer " + std::to_string(layer) + " has no keys block");
  return {};
}

}  // namespace

vtEditResult vtEditor::ReadLayers(const std::string& path, vtLayerModel& model, std::string& version) {
  vtDocument document;
  const vtEditResult read = ReadWithModel(path, nullptr, ReadLayerModel, document, model);
  if (read.Status == 200) version = document.Version();
  return read;
}

vtEditResult vtEditor::EditKey(const std::string& path, const std::string& version, int layer, int key,
                               const std::function<void(vtKeyValues&)>& change) {
  return EditLayer(path, version, layer, [&](const vtDocument& document, vtLayerEntry& entry, Candidates& ways) {
    const vtEditResult known = KnownKey(entry, layer, key);
    if (known.Status != 200) return known;
    auto& keys = entry.Keys;
    const vtLayerKeyEntry old = keys[static_cast<std::size_t>(key)];
    vtKeyValues values = old.Values;
    change(values);
    keys.erase(keys.begin() + key);
    const vtEditResult free = TimeFree(keys, values.Time);
    if (free.Status != 200) return free;
    const std::size_t place = KeyPlace(keys, values.Time);
    std::string patched;
    if (!PatchKeyLine(document, old.At, old.Values, values, patched)) patched = WholeKeyLine(document, old.At, values);
    if (place == static_cast<std::size_t>(key)) {  // the order stays: the line changes where it stands
      ways.push_back({{old.At, 1, {patched}}});
      ways.push_back({{old.At, 1, {WholeKeyLine(document, old.At, values)}}});
    } else {  // a key dragged past another: its line moves into time order
      int before = 0;
      std::string indent;
      KeyLinePlace(document, entry, keys, place, before, indent);
      ways.push_back({{old.At, 1, {}}, {before, 0, {patched}}});
    }
    keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(place), {values, 0});
    return vtEditResult{};
  });
}

vtEditResult vtEditor::AddKey(const std::string& path, const std::string& version, int layer,
                              const std::function<void(vtKeyValues&)>& set) {
  return EditLayer(path, version, layer, [&](const vtDocument& document, vtLayerEntry& entry, Candidates& ways) {
    auto& keys = entry.Keys;
    vtKeyValues probe;
    set(probe);
    const std::size_t place = KeyPlace(keys, probe.Time);
    // Values not given are the neighbour's: the key before, else the one
    // after; a first key is white and opaque.
    vtKeyValues values;
    values.R = values.G = values.B = values.A = 255;
    if (!keys.empty()) values = keys[place > 0 ? place - 1 : 0].Values;
    set(values);
    const vtEditResult free = TimeFree(keys, values.Time);
    if (free.Status != 200) return free;
    int before = 0;
    std::string indent;
    KeyLinePlace(document, entry, keys, place, before, indent);
    ways.push_back({{before, 0, {indent + WholeKeyLine(vtDocument(), 1, values)}}});
    keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(place), {values, 0});
    return vtEditResult{};
  });
}

vtEditResult vtEditor::DeleteKey(const std::string& path, const std::string& version, int layer, int key) {
  return EditLayer(path, version, layer, [&](const vtDocument&, vtLayerEntry& entry, Candidates& ways) {
    const vtEditResult known = KnownKey(entry, layer, key);
    if (known.Status != 200) return known;
    auto& keys = entry.Keys;
    ways.push_back({{keys[static_cast<std::size_t>(key)].At, 1, {}}});
    keys.erase(keys.begin() + key);
    return vtEditResult{};
  });
}

vtEditResult vtEditor::EditLayer(const std::string& path, const std::string& version, int layer,
                                 const LayerChange& change) {
  const Change<vtLayerModel> inLayer = [&](const vtDocument& document, vtLayerModel& expected, Candidates& ways) {
    vtLayerEntry* entry = nullptr;
    const vtEditResult found = FindLayer(expected, layer, entry);
    return found.Status != 200 ? found : change(document, *entry, ways);
  };
  return EditFile(path, version, ReadLayerModel, &vtLayerModel::SameLayers, inLayer);
}

// ---------------------------------------------------------------- writing

vtEditResult vtEditor::EditScript(const std::string& scriptPath, const std::string& version,
                                  const Change<vtScriptModel>& change) {
  return EditFile(scriptPath, version, ReadScriptModel, &vtScriptModel::SameDemo, change);
}

// The file is read as the page saw it (the version), the change is made,
// and the first way whose text the reader reads as expected is written.
template <typename Model>
vtEditResult vtEditor::EditFile(const std::string& path, const std::string& version, ReadModel<Model> read,
                                SameModel<Model> same, const Change<Model>& change) {
  vtDocument document;
  Model expected;
  const vtEditResult seen = ReadWithModel(path, &version, read, document, expected);
  if (seen.Status != 200) return seen;
  Candidates ways;
  const vtEditResult made = change(document, expected, ways);
  if (made.Status != 200) return made;
  return WriteFirstThatReads(path, document, ways, [&](const std::string& staged, std::string& why) {
    Model got;
    if (!read(staged, got, why)) return false;
    if ((got.*same)(expected)) return true;
    why = "the change would not read back as asked in " + path +
          ": the lines around it are laid out in a way it cannot follow";
    return false;
  });
}

vtEditResult vtEditor::WriteFirstThatReads(const std::string& path, const vtDocument& document, const Candidates& ways,
                                           const std::function<bool(const std::string&, std::string&)>& check) {
  vtEditResult last = vtEditResult::Fail(400, "the change cannot be made in " + path);
  for (const std::vector<vtLineChange>& way : ways) {
    last = WriteChecked(path, document, document.Apply(way), check);
    if (last.Status != 400) return last;
  }
  return last;
}

vtEditResult vtEditor::WriteChecked(const std::string& path, const vtDocument& document, const std::string& bytes,
                                    const std::function<bool(const std::string&, std::string&)>& check,
                                    bool remember) {
  platform::StagedFile staged;
  std::string why;
  if (!staged.Stage(path, bytes, why)) return vtEditResult::Fail(500, why);
  if (check && !StagedReads(check, staged.Path(), why)) return vtEditResult::Fail(400, why);
  // A save from a text editor wins, also one made while this was staged.
  const platform::StagedFile::Outcome outcome = staged.CommitIfStill(document.Bytes(), why);
  if (outcome == platform::StagedFile::Outcome::Failed) return vtEditResult::Fail(500, why);
  if (outcome == platform::StagedFile::Outcome::Changed) {
    vtDocument now;
    const vtEditResult read = ReadDocument(path, now);
    return read.Status != 200 ? read : Stale(path, document.Version(), now.Version());
  }
  if (remember) Remember(path, document, bytes);
  return {200, {}, path, DocumentVersion(bytes)};
}

// Only the span that differs is kept.
void vtEditor::Remember(const std::string& path, const vtDocument& document, const std::string& bytes) {
  const std::string& old = document.Bytes();
  std::size_t head = 0;
  while (head < old.size() && head < bytes.size() && old[head] == bytes[head]) ++head;
  std::size_t tail = 0;
  while (tail < old.size() - head && tail < bytes.size() - head &&
         old[old.size() - 1 - tail] == bytes[bytes.size() - 1 - tail])
    ++tail;
  redo_.clear();
  undo_.push_back({path, head, old.substr(head, old.size() - head - tail), bytes.substr(head, bytes.size() - head - tail),
                   document.Version(), DocumentVersion(bytes)});
  if (undo_.size() > kMaxSteps) undo_.erase(undo_.begin());
}

// ---------------------------------------------------------------- history

vtEditResult vtEditor::Undo() { return Replay(undo_, redo_, false); }
vtEditResult vtEditor::Redo() { return Replay(redo_, undo_, true); }

vtEditResult vtEditor::Replay(std::vector<Step>& from, std::vector<Step>& to, bool forward) {
  if (from.empty()) return vtEditResult::Fail(404, forward ? "nothing to redo" : "nothing to undo");
  const Step step = from.back();
  vtDocument document;
  const vtEditResult read = ReadDocument(step.File, document);
  if (read.Status != 200) return read;
  const std::string& expected = forward ? step.VersionBefore : step.VersionAfter;
  if (document.Version() != expected) return Stale(step.File, expected, document.Version());
  const std::string& out = forward ? step.Before : step.After;
  const std::string& in = forward ? step.After : step.Before;
  std::string bytes = document.Bytes();
  bytes.replace(step.At, out.size(), in);
  const vtEditResult written = WriteChecked(step.File, document, bytes, nullptr, false);
  if (written.Status != 200) return written;
  from.pop_back();
  to.push_back(step);
  return written;
}
