// The reader's line as a view into its buffer: it survives every refill,
// its marks and substring search agree with plain models, and the one-pass
// word conversions and the two decimal paths give what the general
// operations give, bit for bit.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/vtTextU.h"
#include "support/TestGlobals.h"

namespace {

using testsupport::TempDir;

std::string RandomText(std::mt19937& random, const std::string& alphabet, size_t maxLength) {
  std::string text;
  const size_t length = random() % (maxLength + 1);
  for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
  return text;
}

// Lines of every length around the scan blocks, ended every which way,
// read through buffers of many sizes, in place and read ahead: each line
// is still whole after the reader refilled its buffer behind it, and after
// cuts.
TEST(vtLineView, SurvivesEveryRefillOfTheBuffer) {
  TempDir dir;
  std::mt19937 random(3);
  std::string content;
  std::vector<std::string> expected;
  const char* const ends[] = {"\n", "\r\n", "\r"};
  for (int i = 0; i < 300; ++i) {
    std::string line = RandomText(random, "ab *{}\t", 70);
    content += line + ends[random() % 3];
    for (char& c : line)
      if (c == '\t') c = ' ';
    expected.push_back(line);
  }
  const std::string path = dir.Write("lines.vtx", content);
  for (size_t size : {1, 2, 3, 7, 16, 17, 64, 100, 1001, 4096, 5001}) {
    vtText text("vtx");
    text.SetBufferSize(size);
    text.SetReadAhead(size % 2 ? vtText::ReadAhead::Always : vtText::ReadAhead::Never);
    ASSERT_TRUE(text.Open(path));
    for (const std::string& line : expected) {
      ASSERT_FALSE(text.Eof());
      text.ReadLine();
      text.Eof();  // may refill the buffer the line was shown from
      ASSERT_EQ(text.Line, line) << "buffer of " << size;
      text.SkipBlanks();
      text.Eof();
      ASSERT_EQ(text.Line, line.empty() ? line : line.substr(line.find_first_not_of(' ', 1) == std::string::npos
                                                                 ? line.size()
                                                                 : line.find_first_not_of(' ', 1)));
    }
    EXPECT_TRUE(text.Eof());
  }
}

TEST(vtLineView, AssignedTextIsItsOwn) {
  vtText text;
  std::string source = "VT_RADIUS 2.5";
  text.Line = source;
  source[0] = 'X';
  EXPECT_EQ(text.Line, "VT_RADIUS 2.5");
  text.Line = text.Line.View().substr(3);  // from itself
  EXPECT_EQ(text.Line, "RADIUS 2.5");
  std::ostringstream printed;
  printed << text.Line;
  EXPECT_EQ(printed.str(), "RADIUS 2.5");
  EXPECT_EQ(std::string("[") + text.Line, "[RADIUS 2.5");
}

// The marks ReadLine notes in its scan against a plain look at each line,
// for lines read whole and lines gathered across buffer ends, in place and
// read ahead; the key tests
// that use them against a plain substring search, before and after a cut.
TEST(vtLineView, MarksAndKeyTestsAgreeWithThePlainLine) {
  TempDir dir;
  std::mt19937 random(5);
  std::string content;
  std::vector<std::string> lines;
  for (int i = 0; i < 400; ++i) {
    std::string line = RandomText(random, "ab *{}\t", 60);
    content += line + "\n";
    for (char& c : line)
      if (c == '\t') c = ' ';
    lines.push_back(line);
  }
  const std::string path = dir.Write("marks.vtx", content);
  for (size_t size : {5, 33, 64, 1001, 4096, 5001}) {
    vtText text("vtx");
    text.SetBufferSize(size);
    text.SetReadAhead(size % 2 ? vtText::ReadAhead::Always : vtText::ReadAhead::Never);
    ASSERT_TRUE(text.Open(path));
    for (const std::string& line : lines) {
      text.ReadLine();
      ASSERT_NE(text.Line.KnownMarks(), nullptr);
      const vtLine::Marks& marks = *text.Line.KnownMarks();
      ASSERT_EQ(marks.FirstStar, line.find('*')) << '"' << line << '"';
      ASSERT_EQ(marks.LastStar, line.rfind('*')) << '"' << line << '"';
      ASSERT_EQ(marks.Opens, line.find('{') != std::string::npos) << '"' << line << '"';
      ASSERT_EQ(marks.Closes, line.find('}') != std::string::npos) << '"' << line << '"';
      for (int k = 0; k < 8; ++k) {
        const std::string key = (k % 2 ? "*" : "") + RandomText(random, "ab *{}", 4);
        ASSERT_EQ(text.Contains(key), line.find(key) != std::string::npos) << '"' << line << "\" / " << key;
      }
      for (char c : {'{', '}', '*', 'a'}) ASSERT_EQ(text.Holds(c), line.find(c) != std::string::npos);
      text.SkipThrough('*');
      const std::string rest = line.find('*') == std::string::npos ? line : line.substr(line.find('*') + 1);
      EXPECT_EQ(text.Line.KnownMarks() == nullptr, rest.size() < line.size());
      for (const char* key : {"*", "}", "{", "a*"})
        ASSERT_EQ(text.Contains(key), rest.find(key) != std::string::npos) << '"' << rest << "\" / " << key;
    }
  }
}

TEST(vtLineView, FindAgreesWithASubstringSearchFromAnyPosition) {
  std::mt19937 random(13);
  vtText reader;
  for (int i = 0; i < 50000; ++i) {
    const std::string line = RandomText(random, "*AB ", 40);
    const std::string key = RandomText(random, "*AB ", 5);
    const size_t from = random() % (line.size() + 2);
    reader.Line = line;
    ASSERT_EQ(reader.Line.find(key, from), line.find(key, from)) << line << " / " << key << " from " << from;
  }
}

// The one-pass conversions of a line's front word against the word taken by
// the general operations and converted whole, on words of every shape.
TEST(vtLineView, WordConversionsMatchTheWordOperations) {
  std::mt19937 random(17);
  vtText reader;
  for (int i = 0; i < 100000; ++i) {
    const std::string line = RandomText(random, "  0123456789.-+eE\tx", 14);
    reader.Line = line;
    const std::string word = reader.PeekWord();
    size_t length = 0;
    const float expected = StrToFloatDef(word), got = WordAsFloat(line, length);
    ASSERT_EQ(length, word.size()) << '"' << line << '"';
    ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << '"' << line << '"';

    std::string expectedError, gotError;
    std::int32_t expectedInt = 0, gotInt = 0;
    try {
      expectedInt = reader.ToInt(word);
    } catch (const vtConvertError& e) {
      expectedError = e.what();
    }
    try {
      gotInt = reader.WordAsInt(line, length);
      ASSERT_EQ(length, word.size()) << '"' << line << '"';
    } catch (const vtConvertError& e) {
      gotError = e.what();
    }
    ASSERT_EQ(gotError, expectedError) << '"' << line << '"';
    ASSERT_EQ(gotInt, expectedInt) << '"' << line << '"';
  }
}

// from_chars with the formats' rules around it: the grammar, a sign of our
// own, and infinity or 0 out of range.
bool ReferenceDecimal(std::string text, float& value) {
  const size_t first = text.find_first_not_of(" \t");
  text.erase(0, first == std::string::npos ? text.size() : first);
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  if (text.empty() || text[0] == '+' || text[0] == '-') return false;
  const bool hasDigit = text.find_first_of("0123456789") < text.find_first_of("eE");
  if (!hasDigit || text.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
  if (text[0] == '.') text.insert(0, "0");
  float parsed = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
  if (result.ptr != text.data() + text.size()) return false;
  if (result.ec == std::errc::result_out_of_range) {  // only the exponent takes these numbers out of range
    const size_t e = text.find_first_of("eE");
    parsed = std::strtol(text.c_str() + e + 1, nullptr, 10) > 0 ? HUGE_VALF : 0.0f;
  }
  value = negative ? -parsed : parsed;
  return true;
}

TEST(vtLineView, BothDecimalPathsGiveTheReferenceBits) {
  std::mt19937 random(19);
  auto digits = [&](size_t most) { return RandomText(random, "0123456789", most); };
  for (int i = 0; i < 200000; ++i) {
    std::string number = std::string(random() % 4 == 0 ? " " : "") + "+-"[random() % 2] + digits(9);
    if (random() % 3) number += "." + digits(9);
    if (random() % 3 == 0) number += std::string(1, "eE"[random() % 2]) + (random() % 2 ? "-" : "") + digits(2);
    if (random() % 50 == 0) number += "x";
    if (random() % 4 == 0) number.erase(0, number.find_first_of("+-") + 1);
    float reference = 0, quick = 0, library = 0;
    const bool valid = ReferenceDecimal(number, reference);
    ASSERT_EQ(ParseDecimal(number, quick), valid) << '"' << number << '"';
    ASSERT_EQ(ParseDecimalWithLibrary(number, library), valid) << '"' << number << '"';
    if (!valid) continue;
    ASSERT_EQ(std::memcmp(&quick, &reference, sizeof quick), 0) << '"' << number << '"' << quick << " " << reference;
    ASSERT_EQ(std::memcmp(&library, &reference, sizeof library), 0) << '"' << number << '"';
  }
}

}  // namespace
