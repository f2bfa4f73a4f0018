#include "core/vtTextU.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include <string>
#include <vector>

#include "core/vtDemoPathU.h"
#include "platform/MessageBox.h"
#include "support/TestGlobals.h"

namespace {

using platform::MessageBoxRecorder;
using platform::MsgIcon;
using testsupport::ReadFileText;
using testsupport::TempDir;

class vtTextFile : public ::testing::Test {
 protected:
  // Writes content to "t.vtx" and opens it for reading.
  vtText& OpenWith(const std::string& content) {
    path_ = dir_.Write("t.vtx", content);
    reader_ = std::make_unique<vtText>("vtx");
    EXPECT_TRUE(reader_->Open(path_));
    return *reader_;
  }

  // Every line ReadLine hands out until Eof.
  std::vector<std::string> AllLines(const std::string& content) {
    vtText& text = OpenWith(content);
    std::vector<std::string> lines;
    while (!text.Eof()) {
      text.ReadLine();
      lines.push_back(text.Line);
    }
    return lines;
  }

  TempDir dir_;
  std::string path_;
  std::unique_ptr<vtText> reader_;
};

TEST(vtText, StartsWithTheDefaults) {
  vtText text;
  EXPECT_EQ(text.Mode, vtRead);
  EXPECT_EQ(text.Extension, "*NOT AVAIL*");
  EXPECT_EQ(text.LineNumber, 0);
  EXPECT_FALSE(text.InComment);
  EXPECT_EQ(vtText("").Extension, "*NOT AVAIL*");
  EXPECT_EQ(vtText("vtl").Extension, "vtl");
}

TEST(vtText, ReadFloatCutsBehindTheLastDelimiter) {
  vtText text;
  text.Line = "VT_RADIUS 2.5";
  EXPECT_FLOAT_EQ(text.ReadFloat('S'), 2.5f);
  EXPECT_EQ(text.Line, "2.5");  // the cut stays
  text.Line = "VT_RADIUS  2.5";
  EXPECT_FLOAT_EQ(text.ReadFloat('S'), 2.5f);
  text.Line = "VT_RADIUS2.5";
  EXPECT_FLOAT_EQ(text.ReadFloat('S'), 0.5f);
  text.Line = "VT_RADIUS 2.5 ";
  EXPECT_EQ(text.ReadFloat('S'), 0.0f);
  text.Line = "2.5";  // no delimiter: only the first character goes
  EXPECT_FLOAT_EQ(text.ReadFloat('S'), 0.5f);
  text.Line = "";
  EXPECT_EQ(text.ReadFloat('S'), 0.0f);
  EXPECT_EQ(text.Line, "");
  text.Line = "VT_TRANSLATE 1E5";  // an exponent behind a key ending in E is cut
  EXPECT_EQ(text.ReadFloat('E'), 0.0f);
}

TEST(vtText, ReadIntRaisesTheConversionErrorWithText) {
  vtText text;
  text.Line = "VT_STACKS 7";
  EXPECT_EQ(text.ReadInt('S'), 7);
  text.Line = "VT_STACKS 7 ";
  try {
    text.ReadInt('S');
    FAIL() << "no conversion error";
  } catch (const vtConvertError& e) {
    EXPECT_STREQ(e.what(), "\"7 \" is an invalid integer");
  }
  text.Line = "VT_LOOP 1";
  EXPECT_TRUE(text.ReadBool('P'));
  text.Line = "VT_LOOP 2";
  EXPECT_FALSE(text.ReadBool('P'));
}

TEST_F(vtTextFile, ConversionErrorNamesFileAndLine) {
  vtText& text = OpenWith("VT_A 1\nVT_STACKS x7\n");
  text.ReadLine();
  text.ReadLine();
  try {
    text.ReadInt('S');
    FAIL() << "no conversion error";
  } catch (const vtConvertError& e) {
    EXPECT_STREQ(e.what(), "\"x7\" is an invalid integer");
    EXPECT_EQ(e.FileName, path_);
    EXPECT_EQ(e.LineNumber, 2);
  }
}

TEST(vtText, IntegerGrammar) {
  std::int32_t v = 0;
  EXPECT_TRUE(ParseInteger(" \t-12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(ParseInteger("+3", v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(ParseInteger("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_TRUE(ParseInteger("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  for (const char* bad : {"2147483648", "99999999999999999999", "", "-", " ", "7 ", "1.0", "0x10", "1e3"})
    EXPECT_FALSE(ParseInteger(bad, v)) << bad;
}

TEST(vtText, DecimalGrammar) {
  EXPECT_FLOAT_EQ(StrToFloatDef(" \t-2.5e3"), -2500.0f);
  EXPECT_FLOAT_EQ(StrToFloatDef(".5"), 0.5f);
  EXPECT_FLOAT_EQ(StrToFloatDef("5."), 5.0f);
  EXPECT_FLOAT_EQ(StrToFloatDef("+1E+2"), 100.0f);
  EXPECT_FLOAT_EQ(StrToFloatDef("-.25e-1"), -0.025f);
  for (const char* bad : {"", ".", "-", "e5", "1e", "1e+", "1.5 ", "1,5", "1.2.3", "--1", "0x1p3", "inf", "nan"})
    EXPECT_EQ(StrToFloatDef(bad), 0.0f) << bad;
  // Out of range: too large is infinite, too small is 0, however written.
  EXPECT_EQ(StrToFloatDef("1e400"), HUGE_VALF);
  EXPECT_EQ(StrToFloatDef("-1" + std::string(60, '0')), -HUGE_VALF);
  EXPECT_EQ(StrToFloatDef("1e-400"), 0.0f);
  EXPECT_EQ(StrToFloatDef("0." + std::string(60, '0') + "1"), 0.0f);
  EXPECT_EQ(StrToFloatDef("1" + std::string(60, '0') + "e-120"), 0.0f);
  EXPECT_EQ(StrToFloatDef("1e99999999999999999999"), HUGE_VALF);
}

// Short decimals take a quick path; it must round exactly like the general one.
TEST(vtText, ShortDecimalsRoundExactly) {
  std::mt19937 random(7);
  for (int i = 0; i < 200000; ++i) {
    std::string number = std::to_string(random() % 10000000);
    const size_t point = random() % (number.size() + 1);
    number.insert(point, ".");
    if (random() % 4 == 0) number.insert(0, "0000").insert(point + 1, "00");
    if (random() % 2) number.insert(0, "-");
    float parsed = 0;
    ASSERT_TRUE(ParseDecimal(number, parsed)) << number;
    const float reference = std::strtof(number.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&parsed, &reference, sizeof parsed), 0) << number << " " << parsed << " " << reference;
  }
  float value = 0;
  for (const char* bad : {".", "-.", "1..2", "1.2.", "+", "12a", "1 2"}) EXPECT_FALSE(ParseDecimal(bad, value)) << bad;
}

// Longer decimals (coordinates in the thousands with four decimals) take the
// quick path too, up to 15 digits; halfway cases between floats included.
TEST(vtText, LongerDecimalsRoundExactly) {
  std::mt19937_64 random(29);
  std::vector<std::string> numbers = {"16777217", "16777219", "33554435", "2512.3456", "-0.000000000000001",
                                      "9999999999999.99", "0.1000000000000000", "1.000000059604645"};
  for (size_t length : {8, 9, 11, 13, 15, 16}) {
    for (int i = 0; i < 20000; ++i) {
      std::string number;
      for (size_t d = 0; d < length; ++d) number += static_cast<char>('0' + random() % 10);
      number.insert(random() % (length + 1), ".");
      if (random() % 2) number.insert(0, "-");
      numbers.push_back(number);
    }
  }
  for (const std::string& number : numbers) {
    float parsed = 0;
    ASSERT_TRUE(ParseDecimal(number, parsed)) << number;
    const float reference = std::strtof(number.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&parsed, &reference, sizeof parsed), 0) << number << " " << parsed << " " << reference;
  }
}

// Contains is a substring test, whatever the key's length or position.
TEST(vtText, ContainsAgreesWithASubstringSearch) {
  std::mt19937 random(11);
  auto text = [&random](size_t length) {
    std::string s;
    for (size_t i = 0; i < length; ++i) s += "*AB "[random() % 4];
    return s;
  };
  vtText reader;
  for (int i = 0; i < 50000; ++i) {
    reader.Line = text(random() % 24);
    const std::string key = text(random() % 6);
    ASSERT_EQ(reader.Contains(key), reader.Line.find(key) != std::string::npos) << reader.Line << " / " << key;
  }
}

// The same on lines read from a file, where the marks noted while reading
// decide most tests.
TEST_F(vtTextFile, ContainsOnReadLinesAgreesWithASubstringSearch) {
  std::mt19937 random(12);
  auto text = [&random](size_t length) {
    std::string s;
    for (size_t i = 0; i < length; ++i) s += "*AB {}"[random() % 6];
    return s;
  };
  std::vector<std::string> lines;
  std::string content;
  for (int i = 0; i < 5000; ++i) {
    lines.push_back(text(random() % 24));
    content += lines.back() + "\n";
  }
  vtText& reader = OpenWith(content);
  for (const std::string& line : lines) {
    reader.ReadLine();
    for (int k = 0; k < 8; ++k) {
      const std::string key = (k % 2 ? "*" : "") + text(random() % 6);
      ASSERT_EQ(reader.Contains(key), line.find(key) != std::string::npos) << line << " / " << key;
    }
  }
}

// Tags on lines of one to five stars: the first three are tried where they
// stand, more are searched for. A closed reader is at its end.
TEST_F(vtTextFile, TagsAtEachStarOfTheLine) {
  const std::string face = "*MESH_FACE 0: A: 1 B: 2 C: 3 *MESH_SMOOTHING 1 *MESH_MTLID 0";
  const struct {
    std::string Line, Key;
    bool Found;
  } rows[] = {{face, "*MESH_FACE ", true},
              {face, "*MESH_SMOOTHING", true},
              {face, "*MESH_MTLID 0", true},
              {face, "*MESH_MTLID 1", false},
              {face, "*MESH_FAXE ", false},
              {face, "*MXSH_SMOOTHING", false},
              {"*A *B", "*B", true},
              {"*A *B *C *D *E", "*E", true},
              {"*A *B *C *D *E", "*F", false},
              {"\t*MESH_VERTEXNORMAL 0", "*MESH_VERTEXNORMAL", true},
              {"x *MESH_VERTEX", "*MESH_VERTEX ", false}};
  std::string content;
  for (const auto& row : rows) content += row.Line + "\n";
  vtText& reader = OpenWith(content + "left\n");
  for (const auto& row : rows) {
    reader.ReadLine();
    EXPECT_EQ(reader.Contains(row.Key), row.Found) << row.Line << " / " << row.Key;
  }
  reader.Close();
  EXPECT_TRUE(reader.Eof());  // with lines left in the buffer
}

// Progress comes every MiB read and at the end, whatever the buffer's size:
// a small buffer must not flood the loading bar or the load pipeline.
TEST_F(vtTextFile, ProgressEveryMegabyteAndAtTheEnd) {
  static std::vector<double> fractions;
  vtText::SetProgressHook([](double f) { fractions.push_back(f); });
  const std::string line(99, 'x');
  std::string content;
  while (content.size() < 2500000) content += line + "\n";
  for (size_t bufferSize : {size_t{64}, size_t{4096}, size_t{64} << 10, size_t{3} << 20}) {
    fractions.clear();
    path_ = dir_.Write("t.vtx", content);
    vtText reader("vtx");
    reader.SetBufferSize(bufferSize);
    ASSERT_TRUE(reader.Open(path_));
    while (!reader.Eof()) reader.ReadLine();
    EXPECT_EQ(fractions.size(), bufferSize > content.size() ? 1u : 3u) << bufferSize;  // 1 MiB, 2 MiB, the end
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0) << bufferSize;
  }
  vtText::SetProgressHook(nullptr);
}

TEST(vtText, SkipPastLeavesTheValues) {
  vtText text;
  text.Line = "VT_ROTATE 1 0.0 1.0 0.0";
  text.SkipPast('E');
  EXPECT_EQ(text.Line, "1 0.0 1.0 0.0");
  EXPECT_FLOAT_EQ(text.NextFloat(), 1.0f);
  EXPECT_FLOAT_EQ(text.NextFloat(), 0.0f);
  EXPECT_FLOAT_EQ(text.NextFloat(), 1.0f);
  EXPECT_EQ(text.Line, "0.0");
  text.Line = "KEY";  // delimiter last: everything goes
  text.SkipPast('Y');
  EXPECT_EQ(text.Line, "");
}

TEST(vtText, ReadQuotedTakesFirstToLastQuote) {
  vtText text;
  text.Line = "VT_FILE \"data\\a.vtl\"";
  EXPECT_EQ(text.ReadQuoted(), "data\\a.vtl");
  EXPECT_EQ(text.Line, "VT_FILE \"data\\a.vtl\"");
  text.Line = "VT_FILE data";
  EXPECT_EQ(text.ReadQuoted(), "");
  text.Line = "VT_FILE \"only";
  EXPECT_EQ(text.ReadQuoted(), "");
  text.Line = "\"\"";
  EXPECT_EQ(text.ReadQuoted(), "");
  text.Line = "K \"a\" \"b\" x";
  EXPECT_EQ(text.ReadQuoted(), "a\" \"b");
}

TEST(vtText, WordOperations) {
  vtText text;
  text.Line = " ab cd";  // a blank in the first position belongs to the word
  EXPECT_EQ(text.PeekWord(), " ab");
  EXPECT_EQ(text.Line, " ab cd");
  EXPECT_EQ(text.TakeWord(), " ab");
  EXPECT_EQ(text.Line, " cd");
  text.Line = "x   y z";
  EXPECT_EQ(text.NextToken(), "x");
  EXPECT_EQ(text.Line, "y z");
  text.SkipBlanks();  // the first character goes whatever it is
  EXPECT_EQ(text.Line, "z");
  text.Line = "key value rest";
  text.SkipWord();
  EXPECT_EQ(text.Line, "value rest");
  text.SkipThrough('l');
  EXPECT_EQ(text.Line, "ue rest");
  text.SkipThrough('#');
  EXPECT_EQ(text.Line, "ue rest");
}

TEST(vtText, WordOperationsStopAtTheEndOfTheLine) {
  vtText text;
  for (const char* line : {"", "a", "abc"}) {
    text.Line = line;
    EXPECT_EQ(text.PeekWord(), line);
    EXPECT_EQ(text.TakeWord(), line);
    EXPECT_EQ(text.Line, "");
    text.Line = line;
    EXPECT_EQ(text.NextToken(), line);
    EXPECT_EQ(text.Line, "");
    text.Line = line;
    text.SkipWord();
    EXPECT_EQ(text.Line, "");
    text.Line = line;
    text.SkipBlanks();
    EXPECT_EQ(text.Line.size(), std::string(line).empty() ? 0u : std::string(line).size() - 1);
  }
  text.Line = "1.5";
  EXPECT_FLOAT_EQ(text.NextFloat(), 1.5f);
}

TEST(vtText, LineInfoAndShowLineInfo) {
  MessageBoxRecorder boxes;
  vtText text;
  text.LineNumber = 12;
  text.Line = "VT_RADIUS 1.0";
  EXPECT_EQ(text.LineInfo(), "LINE: 12\rVT_RADIUS 1.0");
  text.ShowLineInfo();
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, "VortaneE Debug");
  EXPECT_EQ(boxes.Calls()[0].Text, "LINE: 12\rVT_RADIUS 1.0");
  EXPECT_EQ(boxes.Calls()[0].Icon, MsgIcon::Question);
}

TEST_F(vtTextFile, CommentLinesAndBlocks) {
  vtText& text = OpenWith("# comment\n\na\n/* x\ny\nz */ b\nc\nq /* r */\n");
  EXPECT_FALSE(text.ReadLine());
  EXPECT_EQ(text.Line, "# comment");
  EXPECT_TRUE(text.ReadLine());
  EXPECT_EQ(text.Line, "");
  EXPECT_TRUE(text.ReadLine());
  EXPECT_EQ(text.Line, "a");
  EXPECT_EQ(text.LineNumber, 3);
  EXPECT_TRUE(text.ReadLine());
  EXPECT_EQ(text.Line, "z */ b");
  EXPECT_EQ(text.LineNumber, 6);  // lines inside the block count
  EXPECT_TRUE(text.ReadLine());
  EXPECT_EQ(text.Line, "c");
  EXPECT_TRUE(text.ReadLine());
  EXPECT_EQ(text.Line, "q /* r */");
  EXPECT_FALSE(text.InComment);
  EXPECT_TRUE(text.Eof());
}

TEST_F(vtTextFile, BlockSampleLineNumber) {
  vtText& text = OpenWith("a\n/* x\ny\nz */ b\nc");
  text.ReadLine();
  text.ReadLine();
  EXPECT_EQ(text.Line, "z */ b");
  EXPECT_EQ(text.LineNumber, 4);
  text.ReadLine();
  EXPECT_EQ(text.Line, "c");
}

TEST_F(vtTextFile, EndOfFileInsideABlockEndsReading) {
  vtText& text = OpenWith("a\n/* open\nnever closed\n");
  text.ReadLine();
  EXPECT_TRUE(text.ReadLine());
  EXPECT_EQ(text.Line, "");
  EXPECT_TRUE(text.Eof());
  EXPECT_TRUE(text.ReadLine());  // reading on stays harmless
  EXPECT_EQ(text.Line, "");
}

// A file counts as cut when it ends inside a block after a last line
// (blank lines aside) that closes nothing.
TEST_F(vtTextFile, CutWatchHearsOfFilesEndingInsideABlock) {
  const struct {
    const char* Content;
    const char* Report;  // in the report; nullptr: no report
  } cases[] = {
      {"A {\n x\n}\n", nullptr},
      {"A {\n x\n", "block opened on line 1"},
      {"A {\n x\n}\n  \n\t\n\n", nullptr},
      {"A {\n}\n  \n x\n", nullptr},
      {"A {\n B {\n }\n", nullptr},
      {"A {\n B {\n }\n\n x\n", "block opened on line 1"},
      {"A { }\n x\n", nullptr},
      {"x\nA {\n}\n}\n B {\n y\n", "block opened on line 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Content);
    vtText::CutWatch watch;
    AllLines(c.Content);
    ASSERT_EQ(watch.Cuts.size(), c.Report ? 1u : 0u);
    if (c.Report) {
      EXPECT_NE(watch.Cuts[0].Message().find(c.Report), std::string::npos) << watch.Cuts[0].Message();
    }
  }
}

TEST_F(vtTextFile, TabsBecomeBlanks) {
  vtText& text = OpenWith("VT_RADIUS\t1.5\n\tx\t\ty");
  text.ReadLine();
  EXPECT_EQ(text.Line, "VT_RADIUS 1.5");
  EXPECT_FLOAT_EQ(text.ReadFloat('S'), 1.5f);
  text.ReadLine();
  EXPECT_EQ(text.Line, " x  y");
}

TEST_F(vtTextFile, LineEnds) {
  EXPECT_EQ(AllLines("a\rb\rc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(AllLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(AllLines("a\r\n\r\nb\n\rc"), (std::vector<std::string>{"a", "", "b", "", "c"}));
  EXPECT_EQ(AllLines("a\n\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(AllLines(""), (std::vector<std::string>{}));
}

TEST_F(vtTextFile, CtrlZEndsTheFile) {
  EXPECT_EQ(AllLines("a\nb\x1A" "c\nd\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(AllLines("\x1A" "a\n"), (std::vector<std::string>{}));
  vtText& text = OpenWith("a\n\x1A");
  text.ReadLine();
  EXPECT_TRUE(text.Eof());
  text.ReadLine();
  EXPECT_EQ(text.Line, "");
}

TEST_F(vtTextFile, CrLfSplitAcrossTheReadBuffer) {
  // The CR is the last byte of the first 1 MiB block, the LF the first of the next.
  std::string first((1 << 20) - 1, 'x');
  auto lines = AllLines(first + "\r\nnext\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], "next");
  // A lone CR at the boundary followed by text is still one line end.
  lines = AllLines(first + "\rnext");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "next");
}

TEST_F(vtTextFile, AnyBufferSizeGivesTheSameLines) {
  const std::string content = "a\r\nb\rc\n\r\n/* x\r\ny */\r\n# c\tx\r\r\nlast\x1Agone";
  const std::vector<std::string> expected{"a", "b", "c", "", "y */", "# c x", "", "last"};
  path_ = dir_.Write("t.vtx", content);
  for (auto mode : {vtText::ReadAhead::Never, vtText::ReadAhead::Always}) {
    for (size_t size = 1; size <= 8; ++size) {
      vtText text("vtx");
      text.SetBufferSize(size);
      text.SetReadAhead(mode);
      ASSERT_TRUE(text.Open(path_));
      std::vector<std::string> lines;
      while (!text.Eof()) {
        text.ReadLine();
        lines.push_back(text.Line);
      }
      EXPECT_EQ(lines, expected) << "buffer of " << size << (mode == vtText::ReadAhead::Always ? ", read ahead" : "");
    }
  }
}

// A reader opened again while it reads ahead, with another buffer size,
// reads the new file whole (the blocks of the old ring are not reused).
TEST_F(vtTextFile, OpenAgainWhileReadingAhead) {
  std::string content;
  for (int i = 0; i < 2000; ++i) content += "*MESH_VERTEX " + std::to_string(i) + "\t1.0\n";
  path_ = dir_.Write("t.vtx", content);
  vtText text("vtx");
  text.SetReadAhead(vtText::ReadAhead::Always);
  for (size_t size : {size_t{100}, size_t{4096}, size_t{64}}) {
    text.SetBufferSize(size);
    ASSERT_TRUE(text.Open(path_));
    for (int i = 0; i < 2000 && !text.Eof(); ++i) {
      text.ReadLine();
      ASSERT_EQ(text.Line, "*MESH_VERTEX " + std::to_string(i) + " 1.0") << size;
      if (size == 100 && i == 500) break;  // the next Open stops it mid-file
    }
  }
  EXPECT_TRUE(text.Eof());
}

TEST_F(vtTextFile, LongLinesAndNulBytes) {
  std::string huge(5 << 20, 'v');
  huge[3 << 20] = '\t';
  auto lines = AllLines("a\n" + huge + "\nend");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), huge.size());
  EXPECT_EQ(lines[1][3 << 20], ' ');
  EXPECT_EQ(lines[2], "end");
  lines = AllLines(std::string("a\0b\nc", 5));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("a\0b", 3));
}

// Lines of every length up to a few scan blocks, with a tab, a comment mark
// and the line end at every position, against a plain model of the reader.
TEST_F(vtTextFile, MarksAtEveryPositionOfALine) {
  std::string content;
  std::vector<std::string> expected;
  bool inComment = false;
  for (size_t length = 0; length < 40; ++length) {
    for (size_t at = 0; at + 2 <= length; ++at) {
      std::string line(length, 'k');
      line[at] = '\t';
      const char* mark = (at % 3 == 0) ? "/*" : (at % 3 == 1) ? "*/" : "//";
      line.replace(length - 2 - at % 2 * (length > 2), 2, mark);
      content += line + (at % 2 ? "\r\n" : "\n");
      for (char& c : line)
        if (c == '\t') c = ' ';
      if (line.find("/*") != std::string::npos) inComment = true;
      if (line.find("*/") != std::string::npos) inComment = false;
      if (!inComment) expected.push_back(line);
    }
  }
  content += "*/\n";
  expected.push_back("*/");
  EXPECT_EQ(AllLines(content), expected);
}

TEST(vtTextOpen, ChecksTheExtension) {
  TempDir dir;
  for (const char* name : {"scene.ase", "x.y.ase", "scene.ASE", "scene"}) dir.Write(name, "x\n");
  MessageBoxRecorder boxes;
  vtText ok("ase");
  EXPECT_TRUE(ok.Open(dir.Path() + "\\scene.ase"));
  vtText dotted("ase");
  EXPECT_TRUE(dotted.Open(dir.File("x.y.ase")));
  EXPECT_TRUE(boxes.Calls().empty());

  const std::string upper = dir.Path() + "\\scene.ASE";
  vtText wrongCase("ase");
  EXPECT_FALSE(wrongCase.Open(upper));
  EXPECT_FALSE(wrongCase.IsOpen());
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].Caption, "VortaneF Panic");
  EXPECT_EQ(boxes.Calls()[0].Text, "Bad File Format: ase\rFile: " + DemoPath(upper));
  EXPECT_EQ(boxes.Calls()[0].Icon, MsgIcon::Error);

  vtText bare("ase");
  EXPECT_FALSE(bare.Open(dir.File("scene")));
  vtText unset;  // "*NOT AVAIL*" matches nothing
  EXPECT_FALSE(unset.Open(dir.File("scene.ase")));
  EXPECT_EQ(boxes.Calls().size(), 3u);
}

TEST(vtTextOpen, RefusesSilently) {
  TempDir dir;
  ::mkdir(dir.File("folder.ase").c_str(), 0755);
  MessageBoxRecorder boxes;
  vtText text("ase");
  EXPECT_FALSE(text.Open(""));
  EXPECT_FALSE(text.Open(dir.File("missing.ase")));
  EXPECT_FALSE(text.Open(dir.File("missing.txt")));  // fails before the check
  EXPECT_FALSE(text.Open(dir.File("folder.ase")));
  EXPECT_TRUE(text.Eof());
  EXPECT_TRUE(boxes.Calls().empty());
}

TEST(vtTextWrite, WritesCrLfLinesAndAppends) {
  TempDir dir;
  const std::string path = dir.File("out.vtl");
  {
    vtText out("vtl");
    out.Mode = vtWrite;
    ASSERT_TRUE(out.Open(path));
    out.WriteLine("first");
    out.WriteLine("");
    out.Close();
  }
  {
    vtText out("vtl");
    out.Mode = vtAppend;
    ASSERT_TRUE(out.Open(path));
    out.WriteLine("more");
  }
  EXPECT_EQ(ReadFileText(path), "first\r\n\r\nmore\r\n");
  vtText in("vtl");
  EXPECT_THROW(in.WriteLine("x"), vtIOError);
  vtText missing("vtl");
  missing.Mode = vtAppend;
  EXPECT_FALSE(missing.Open(dir.File("none.vtl")));
}

TEST(vtTextWrite, WrongExtensionLeavesTheFileAlone) {
  TempDir dir;
  const std::string path = dir.Write("keep.txt", "precious\n");
  MessageBoxRecorder boxes;
  for (vtFileMode mode : {vtWrite, vtAppend}) {
    vtText out("vtl");
    out.Mode = mode;
    EXPECT_FALSE(out.Open(path));
  }
  EXPECT_EQ(ReadFileText(path), "precious\n");
  ASSERT_EQ(boxes.Calls().size(), 2u);
  EXPECT_EQ(boxes.Calls()[0].Text, "Bad File Format: vtl\rFile: " + DemoPath(path));
  vtText fresh("vtl");
  fresh.Mode = vtWrite;
  EXPECT_FALSE(fresh.Open(dir.File("new.txt")));
  struct stat st;
  EXPECT_NE(::stat(dir.File("new.txt").c_str(), &st), 0);
}

}  // namespace
