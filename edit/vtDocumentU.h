// Edit: a file as its bytes and a line index, and the line patches every
// edit of the demo's files is made of. A patch replaces, inserts or removes
// whole lines; every byte it does not touch is copied as it was (comments,
// blanks or tabs, "\r\n" or "\n" line ends, a missing final newline, text
// the readers ignore).
//
// Lines are split as the line reader splits them (core/vtTextU.h): at
// "\n", "\r" or "\r\n", and a Ctrl-Z ends the text (what follows it is kept
// as it is). Lines count from 1, as the reader's LineNumber does.
//
// Threads: plain values; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A hash of the bytes as 16 hexadecimal digits (64-bit FNV-1a): equal
// bytes give equal versions, and any change gives another one.
std::string DocumentVersion(std::string_view bytes);

// One change: Count lines from First are replaced by Lines (texts without
// their line ends). Count 0 inserts before First; First = LineCount() + 1
// appends. Replaced lines keep their line ends in order; further new lines
// take the document's NewLineEnd.
struct vtLineChange {
  int First = 1;
  int Count = 0;
  std::vector<std::string> Lines;
};

class vtDocument {
 public:
  vtDocument() = default;
  explicit vtDocument(std::string bytes);

  const std::string& Bytes() const { return bytes_; }
  const std::string& Version() const { return version_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  // The text of line n (1..LineCount) without its line end; "" outside.
  std::string_view Text(int n) const;
  std::string_view LineEnd(int n) const;
  // The blanks and tabs line n starts with.
  std::string_view Indentation(int n) const;
  // The line end new lines near line n take: line n's own, else the first
  // one of the document, else "\n".
  std::string NewLineEnd(int n) const;

  // The bytes with the changes made (they must not overlap; any order).
  // A document that had no final line end still has none.
  std::string Apply(std::vector<vtLineChange> changes) const;

 private:
  struct Line {
    std::size_t Start = 0, End = 0, Next = 0;  // text [Start, End), line end [End, Next)
  };
  std::string bytes_;
  std::string version_;
  std::vector<Line> lines_;
  std::size_t textEnd_ = 0;  // where the lines end: the size, or the Ctrl-Z
};

// A part of a line's text: Size bytes from At.
struct vtTextSpan {
  std::size_t At = 0, Size = 0;
};

// The spans of count number words from `at` as the readers cut them: a
// word ends at the first blank (or tab) after its first character, and the
// blanks leading it are no part of its number. `at` moves past each word,
// the blank behind it and any further blanks. False when the text ends
// before count words or a word holds nothing but blanks.
bool NumberWords(std::string_view text, std::size_t& at, vtTextSpan* words, std::size_t count);

// The text with each span replaced by its new text (spans in order, apart).
std::string Spliced(std::string_view text, const std::vector<std::pair<vtTextSpan, std::string>>& changes);

// Numbers as the readers read them back exactly: integers in decimal, a
// single as the shortest decimal without exponent that converts back to
// the same single ("0.1", "-3", "1000000").
std::string FormatInteger(std::int64_t value);
std::string FormatSingle(float value);
