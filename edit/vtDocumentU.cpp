#include "edit/vtDocumentU.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

constexpr char kCtrlZ = 26;

}  // namespace

std::string DocumentVersion(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

vtDocument::vtDocument(std::string bytes) : bytes_(std::move(bytes)), version_(DocumentVersion(bytes_)) {
  textEnd_ = std::min(bytes_.find(kCtrlZ), bytes_.size());
  std::size_t at = 0;
  while (at < textEnd_) {
    Line line;
    line.Start = at;
    while (at < textEnd_ && bytes_[at] != '\n' && bytes_[at] != '\r') ++at;
    line.End = at;
    if (at < textEnd_) {
      ++at;
      if (bytes_[at - 1] == '\r' && at < textEnd_ && bytes_[at] == '\n') ++at;
    }
    line.Next = at;
    lines_.push_back(line);
  }
}

std::string_view vtDocument::Text(int n) const {
  if (n < 1 || n > LineCount()) return {};
  const Line& line = lines_[static_cast<std::size_t>(n - 1)];
  return std::string_view(bytes_).substr(line.Start, line.End - line.Start);
}

std::string_view vtDocument::LineEnd(int n) const {
  if (n < 1 || n > LineCount()) return {};
  const Line& line = lines_[static_cast<std::size_t>(n - 1)];
  return std::string_view(bytes_).substr(line.End, line.Next - line.End);
}

std::string_view vtDocument::Indentation(int n) const {
  const std::string_view text = Text(n);
  return text.substr(0, std::min(text.find_first_not_of(" \t"), text.size()));
}

std::string vtDocument::NewLineEnd(int n) const {
  if (!LineEnd(n).empty()) return std::string(LineEnd(n));
  for (int i = 1; i <= LineCount(); ++i)
    if (!LineEnd(i).empty()) return std::string(LineEnd(i));
  return "\n";
}

std::string vtDocument::Apply(std::vector<vtLineChange> changes) const {
  std::sort(changes.begin(), changes.end(), [](const vtLineChange& a, const vtLineChange& b) {
    return a.First != b.First ? a.First < b.First : a.Count < b.Count;  // inserts before a replace there
  });
  struct Piece {
    std::string_view Text;
    std::string End;  // "" where the line had none
  };
  std::vector<Piece> out;
  const auto copy = [&](int n) { out.push_back({Text(n), std::string(LineEnd(n))}); };
  int next = 1;  // the first line not yet copied or replaced
  for (const vtLineChange& change : changes) {
    for (; next < change.First && next <= LineCount(); ++next) copy(next);
    const std::string newEnd = NewLineEnd(std::min(change.First, LineCount()));
    for (std::size_t i = 0; i < change.Lines.size(); ++i) {
      const int old = change.First + static_cast<int>(i);
      const bool replaces = static_cast<int>(i) < change.Count && !LineEnd(old).empty();
      out.push_back({change.Lines[i], replaces ? std::string(LineEnd(old)) : newEnd});
    }
    next = std::max(next, change.First + change.Count);
  }
  for (; next <= LineCount(); ++next) copy(next);

  // The last line keeps the document's habit: a line end or none.
  const bool finalEnd = LineCount() == 0 || !LineEnd(LineCount()).empty();
  std::string result;
  result.reserve(bytes_.size() + 256);
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::string& end = out[i].End;
    if (i + 1 == out.size() && !finalEnd) end.clear();
    else if (end.empty()) end = NewLineEnd(LineCount());  // the old last line, now followed by others
    result.append(out[i].Text).append(end);
  }
  result.append(bytes_, textEnd_, std::string::npos);
  return result;
}

bool NumberWords(std::string_view text, std::size_t& at, vtTextSpan* words, std::size_t count) {
  const auto blank = [&](std::size_t i) { return text[i] == ' ' || text[i] == '\t'; };
  for (std::size_t w = 0; w < count; ++w) {
    if (at >= text.size()) return false;
    std::size_t end = at + 1;
    while (end < text.size() && !blank(end)) ++end;
    std::size_t digits = at;
    while (digits < end && blank(digits)) ++digits;
    if (digits == end) return false;
    words[w] = {digits, end - digits};
    at = end;
    if (at < text.size()) ++at;  // the blank behind the word
    while (at < text.size() && blank(at)) ++at;
  }
  return true;
}

std::string Spliced(std::string_view text, const std::vector<std::pair<vtTextSpan, std::string>>& changes) {
  std::string out;
  std::size_t copied = 0;
  for (const auto& [span, replacement] : changes) {
    out.append(text.substr(copied, span.At - copied)).append(replacement);
    copied = span.At + span.Size;
  }
  return out.append(text.substr(copied));
}

std::string FormatInteger(std::int64_t value) { return std::to_string(value); }

std::string FormatSingle(float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  std::string out(text, result.ptr);
  return out == "-0" ? "0" : out;
}
