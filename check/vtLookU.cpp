#include "check/vtLookU.h"

#include <algorithm>
#include <vector>

#include "core/vtFindingsU.h"
#include "core/vtKeysU.h"
#include "core/vtTextU.h"

namespace {

constexpr std::string_view kOpens = " {";

bool IsKeyChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// A key as a word: its name without the " {" of a block opener.
std::string_view Stem(const vtKey& key) {
  std::string_view name = key.Name;
  if (name.size() > kOpens.size() && name.substr(name.size() - kOpens.size()) == kOpens)
    name.remove_suffix(kOpens.size());
  return name;
}

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A word of key characters starting with "VT_", outside the quotes.
struct Word {
  std::string_view Text;
  size_t End;  // where it ends in the line
};

std::vector<Word> KeyWords(std::string_view line) {
  const size_t firstQuote = line.find('"');
  const size_t lastQuote = line.rfind('"');
  std::vector<Word> words;
  for (size_t i = 0; i < line.size();) {
    if (firstQuote != std::string_view::npos && i > firstQuote && i < lastQuote) {
      i = lastQuote + 1;
      continue;
    }
    if (line.compare(i, 3, "VT_") != 0 || (i > 0 && IsKeyChar(line[i - 1]))) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < line.size() && IsKeyChar(line[end])) ++end;
    words.push_back({line.substr(i, end - i), end});
    i = end;
  }
  return words;
}

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

struct OpenBlock {
  const vtKey* Key;
  std::int32_t Line;
};

// One file's walk: the open blocks as the readers see them. In every
// format the first line holding "}" ends all blocks open at that point.
class LineLook {
 public:
  LineLook(vtText& reader, const vtKeyTable& table) : reader_(reader), table_(table) {}

  // Lines without a "VT_" word (all of a scene's) only close blocks.
  void Walk() {
    while (!reader_.Eof()) {
      const bool content = reader_.ReadLine();
      const std::string_view line = reader_.Line;  // until the next ReadLine
      const bool closes = line.find('}') != std::string_view::npos;
      if (content && line.find("VT_") != std::string_view::npos)
        LookAt(line);
      else if (!content && closes && !open_.empty())
        Note("comment-brace", "this comment holds \"}\": it ends " + Describe(open_.back()));
      if (closes) open_.clear();
    }
  }

 private:
  void Note(std::string code, std::string text) const {
    NoteLine(reader_, std::move(code), vtSeverity::Warning, std::move(text));
  }

  std::string Describe(const OpenBlock& block) const {
    return "the " + std::string(block.Key->Name) + " of line " + std::to_string(block.Line);
  }

  std::string_view Inside() const { return open_.empty() ? std::string_view() : open_.back().Key->Name; }

  void LookAt(std::string_view line) {
    bool first = true;
    for (const Word& word : KeyWords(line)) {
      const vtKey* key = Known(word.Text);
      if (!key) {
        Unknown(word.Text);
        continue;
      }
      if (!first) continue;  // the values of one key per line are looked at
      first = false;
      const std::string_view rest = line.substr(word.End);
      if (key->Kind == vtValueKind::Block) {
        Opener(*key, rest);
        continue;
      }
      if (!Placed(*key)) continue;
      LookAtValue(*key, rest);
    }
  }

  // The entry of this word's key that stands in the open block, else any.
  const vtKey* Known(std::string_view word) const {
    const vtKey* any = nullptr;
    for (const vtKey& key : table_) {
      if (Stem(key) != word) continue;
      if (key.Block == Inside()) return &key;
      if (!any) any = &key;
    }
    return any;
  }

  void Unknown(std::string_view word) const {
    std::string text = Quote(word) + " is no key of a " + std::string(table_.Format) + " file";
    for (const vtKey& key : table_)
      if (key.Kind != vtValueKind::Block && word.find(key.Name) == 0) {
        Note("unknown-key", text + ": it is read as " + std::string(key.Name));
        return;
      }
    const std::string_view nearest = NearestKey(word, table_);
    if (!nearest.empty()) text += "; did you mean " + std::string(nearest) + "?";
    Note("unknown-key", text + " (it is ignored)");
  }

  bool Placed(const vtKey& key) const {
    if (key.Block == Inside()) return true;
    if (key.Block.empty())
      Note("misplaced", std::string(key.Name) + " inside " + Describe(open_.back()) + " is not read there");
    else
      Note("misplaced",
           std::string(key.Name) + " is read only inside " + std::string(key.Block) + "; here it is ignored");
    return false;
  }

  void Opener(const vtKey& key, std::string_view rest) {
    const std::string_view stem = Stem(key);
    if (reader_.Line.find(key.Name) == std::string_view::npos) {
      Note("block-opener", std::string(stem) + " opens a block only when written " + Quote(key.Name));
      return;
    }
    if (key.Block != Inside() && !open_.empty()) {
      Note("nested-block", std::string(key.Name) + " inside " + Describe(open_.back()) +
                               " opens nothing: the lines after it still belong to line " +
                               std::to_string(open_.back().Line));
      return;
    }
    if (!Placed(key)) return;
    const size_t brace = rest.find('{');
    const std::string_view after = brace == std::string_view::npos ? std::string_view() : rest.substr(brace + 1);
    if (after.find_first_not_of(' ') != std::string_view::npos) {
      if (after.find('}') != std::string_view::npos)
        Note("after-opener", "the \"}\" on the line of " + std::string(key.Name) + " closes the block at once");
      else
        Note("after-opener", Quote(after.substr(after.find_first_not_of(' '))) + " after " + std::string(key.Name) +
                                 " is not read: write it on a line of its own");
    }
    open_.push_back({&key, reader_.LineNumber});
  }

  void LookAtValue(const vtKey& key, std::string_view rest) const {
    const std::string name(key.Name);
    const size_t blanks = std::min(rest.find_first_not_of(' '), rest.size());
    const std::string_view value = rest.substr(blanks);
    if (key.Kind == vtValueKind::None) {
      if (!value.empty())
        Note("value-on-flag", name + " takes no value: " + Quote(value) + " is not read, the key alone acts");
      return;
    }
    if (value.empty()) {
      Note("no-value", name + " has no value");
      return;
    }
    if (static_cast<int>(blanks) < key.Gap) {
      Note("spacing", name + " needs " +
                          (key.Gap == 1 ? std::string("a blank or tab") : std::to_string(key.Gap) + " blanks or tabs") +
                          " before its value: with fewer, the reader cuts off the value's first character");
      return;
    }
    const size_t hash = value.find('#');
    if (hash != std::string_view::npos && (key.Kind != vtValueKind::Quoted || hash > value.rfind('"'))) {
      Note("trailing-comment", "\"#\" starts a comment only at the start of a line: " + Quote(value.substr(hash)) +
                                   " is read as part of the line of " + name);
      return;
    }
    if (key.Kind == vtValueKind::Quoted) {
      const size_t quotes = std::count(value.begin(), value.end(), '"');
      if (quotes < 2) Note("quotes", name + " needs its value in double quotes; it reads an empty text");
      if (quotes > 2) Note("quotes", name + " reads everything from the first to the last double quote");
      return;
    }
    if (key.SpacingMatters && value.back() == ' ')
      Note("trailing-blank", "blanks after the value of " + name + " change what is read (" +
                                 (key.Kind == vtValueKind::Integer ? "no integer" : "the number reads as 0") + ")");
  }

  vtText& reader_;
  const vtKeyTable& table_;
  std::vector<OpenBlock> open_;
};

}  // namespace

std::string_view NearestKey(std::string_view word, const vtKeyTable& table) {
  std::string_view best;
  size_t bestDistance = word.size() < 8 ? 1 : 2;
  for (const vtKey& key : table) {
    const size_t distance = EditDistance(word, Stem(key));
    if (distance <= bestDistance && (best.empty() || distance < bestDistance)) {
      best = Stem(key);
      bestDistance = distance;
    }
  }
  return best;
}

void LookAtLines(const std::string& fileName, const vtKeyTable& table) {
  // Opened under its own extension: a refused one is the loader's finding.
  const size_t dot = fileName.find_last_of('.');
  vtText reader(dot == std::string::npos ? fileName : fileName.substr(dot + 1));
  vtText::CutWatch cuts;  // the reader's own rule, as a live reload applies it
  if (!reader.Open(fileName)) return;
  LineLook(reader, table).Walk();
  reader.Close();
  for (const vtText::CutWatch::Cut& cut : cuts.Cuts)
    ReportFinding({cut.File, cut.BlockLine, "unclosed", vtSeverity::Error,
                   "the file ends inside the block opened here (is it cut short?): the player reads what is "
                   "there, a live reload refuses the file"});
}
