// The line reader and writer behind every description file.
//
// One text file, the current line in the public field Line (a view into
// the read buffer, see vtLine), and a few operations that test the line for
// a key and cut values out of it in place. Loaders run the same loop: open,
// then while not Eof: ReadLine, test Line with Contains for each key, cut
// the value with one of the operations below.
//
// A reader is used by one thread at a time; separate readers may run on
// separate threads. Opening shows the bad-extension box, so a reader is
// opened on the main thread; one read on a worker reports its progress
// through ReportProgressTo, never through the program's hook.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

enum vtFileMode { vtWrite = 0, vtRead = 1, vtAppend = 2 };

// The engine's one conversion error ("\"7 \" is an invalid integer").
// Readers fill in the file and line where it happened, so the runtime can
// name them when it reports the error.
class vtConvertError : public std::runtime_error {
 public:
  explicit vtConvertError(const std::string& message, std::string fileName = {}, std::int32_t line = 0)
      : std::runtime_error(message), FileName(std::move(fileName)), LineNumber(line) {}

  std::string FileName;
  std::int32_t LineNumber;
};

// A read, write or close failure after a successful open.
class vtIOError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The decimal conversion of the formats: optional leading blanks or tabs,
// an optional sign, digits with an optional "." fraction, an optional
// exponent. Anything else, a trailing blank included, reads as 0.0.
float StrToFloatDef(std::string_view text);
// The same grammar; false instead of 0.0 for malformed text. Numbers too
// large for a single give infinity, too small ones 0.
bool ParseDecimal(std::string_view text, float& value);
// ParseDecimal's general path, for every number: the grammar check, then
// fast_float's from_chars. Gives the same bits as ParseDecimal.
bool ParseDecimalWithLibrary(std::string_view text, float& value);
// How many characters the cut behind the last delim drops (see SkipPast):
// through the delimiter and the one character after it; 1 without delim.
size_t CutBehindLast(std::string_view text, char delim);
// The word at the front of text (up to the first blank at the second
// character or later) converted like StrToFloatDef; length := the word's.
float WordAsFloat(std::string_view text, size_t& length);
// Decimal integer with optional leading blanks and sign; false when malformed.
bool ParseInteger(std::string_view text, std::int32_t& value);
// The hand conversions behind the two above, for readers that parse a
// known line shape themselves: from at on, a sign and "digits[.digits]" of
// at most 15 digits in all (the bits of ParseDecimal), or a sign and one to
// nine digits. at := where the scan stopped, whatever the outcome; false
// when no such number stands there (the general conversion then decides).
// The caller checks what follows. Inline: they run millions of times a file.
inline bool ScanShortDecimal(const char*& at, const char* end, float& value);
inline bool ScanShortInteger(const char*& at, const char* end, std::int32_t& value);

// The reader's current line. After ReadLine it is a view into the reader's
// read buffer: reading it never copies the line, and the reader's cuts
// only drop characters from its front, so they move the view. Text
// assigned to it is copied into storage of its own. Read it like a string;
// it converts to std::string_view (free) and to std::string (a copy).
//
// Valid until the next ReadLine or Open of its reader (the reader keeps a
// line that its buffer is about to overwrite). A string_view taken from it
// is valid until the reader's next Eof, ReadLine or Open, and only while
// nothing is assigned to the line. The kPadding bytes behind the line's
// end can always be read (their values are arbitrary), so scans may load
// whole vector blocks and mask the rest.
class vtLine {
  // memcmp(a, b, n) == 0 for the short keys of the formats, in words and
  // without the library's call.
  static bool SameBytes(const char* a, const char* b, size_t n);

 public:
  static constexpr size_t npos = std::string_view::npos;
  static constexpr size_t kPadding = 16;

  // What the line held when the reader read it, noted in the same pass as
  // its end: where it has the tag mark '*' (first, second and last
  // position, npos without one; how many, up to kStarsCounted) and whether
  // it has an opening or closing brace.
  static constexpr std::uint8_t kStarsCounted = 4;
  struct Marks {
    size_t FirstStar = npos;
    size_t SecondStar = npos;
    size_t LastStar = npos;
    std::uint8_t Stars = 0;  // kStarsCounted: that many or more
    bool Opens = false;
    bool Closes = false;
  };
  // The marks while they describe the line: nullptr once it was cut or
  // assigned.
  const Marks* KnownMarks() const { return marksKnown_ ? &marks_ : nullptr; }

  vtLine() = default;
  vtLine(const vtLine&) = delete;
  vtLine& operator=(const vtLine&) = delete;

  vtLine& operator=(std::string_view text);
  vtLine& operator=(const std::string& text) { return *this = std::string_view(text); }
  vtLine& operator=(const char* text) { return *this = std::string_view(text); }
  vtLine& operator=(std::string&& text);

  operator std::string_view() const { return view_; }
  operator std::string() const { return std::string(view_); }
  std::string_view View() const { return view_; }

  const char* data() const { return view_.data(); }
  size_t size() const { return view_.size(); }
  bool empty() const { return view_.empty(); }
  char operator[](size_t i) const { return view_[i]; }
  size_t find(std::string_view s, size_t from = 0) const;
  size_t find(char c, size_t from = 0) const { return view_.find(c, from); }
  size_t rfind(char c, size_t from = npos) const { return view_.rfind(c, from); }
  int compare(size_t at, size_t count, std::string_view s) const { return view_.compare(at, count, s); }
  // Whether key stands at position at (at most size()): its last character
  // first, where most tags that share their opening ("*MESH_") differ.
  bool HasAt(size_t at, std::string_view key) const {
    const size_t n = key.size();
    if (n == 0 || view_.size() - at < n) return n == 0;
    return view_[at + n - 1] == key[n - 1] && SameBytes(view_.data() + at, key.data(), n - 1);
  }

  friend bool operator==(const vtLine& line, std::string_view s) { return line.view_ == s; }
  friend bool operator!=(const vtLine& line, std::string_view s) { return line.view_ != s; }
  friend std::string operator+(std::string text, const vtLine& line) { return text.append(line.view_); }
  friend std::ostream& operator<<(std::ostream& out, const vtLine& line);

 private:
  friend class vtText;
  // The reader's side: show a line of its buffer, drop from the front,
  // make the line its own before the buffer changes.
  void Show(std::string_view text) {
    view_ = text;
    owned_ = false;
    marksKnown_ = false;
  }
  // The reader notes the marks in place while it reads the line, then
  // declares them known.
  Marks& FreshMarks() {
    marks_ = Marks{};
    return marks_;
  }
  void MarksNoted() { marksKnown_ = true; }
  void Clear() { Show(std::string_view(kEmpty, 0)); }
  void DropFront(size_t count) {
    view_.remove_prefix(count < view_.size() ? count : view_.size());
    if (count > 0) marksKnown_ = false;
  }
  void Keep();
  std::string& OwnStorage();  // empty, owned, for a line gathered in pieces
  void ShowOwn();

  static const char kEmpty[kPadding];
  std::string_view view_{kEmpty, 0};
  std::string own_;
  bool owned_ = false;  // view_ lies in own_, not in the reader's buffer
  Marks marks_;
  bool marksKnown_ = false;
};

class vtReadAhead;

class vtText {
 public:
  vtText();
  explicit vtText(const std::string& extension);  // CreateWithExtension
  ~vtText();
  vtText(const vtText&) = delete;
  vtText& operator=(const vtText&) = delete;

  static constexpr char kCtrlZ = 26;  // ends the data as the file's end does

  vtFileMode Mode = vtRead;
  std::string Extension = "*NOT AVAIL*";
  vtLine Line;
  std::int32_t LineNumber = 0;
  bool InComment = false;

  bool Open(const std::string& fileName);
  void Close();
  // True at the end of the data. Reached inside an open block (a line
  // with '{' not yet matched by one with '}') after a last line that closes
  // nothing, the file was cut short: the CutWatch of this thread, if any,
  // is told (once); the reader goes on as at any end. Inline for the usual
  // answer, a line waiting in the buffer.
  bool Eof() { return LineWaiting() ? false : EofAfterBuffer(); }

  // While one lives, the files cut short that readers on this thread reach
  // the end of are reported to it (live reloading refuses them, the checker
  // reports them; without a watch what was read stays, as it always has).
  // Nests: only the innermost watch hears of a cut.
  class CutWatch {
   public:
    CutWatch();
    ~CutWatch();
    CutWatch(const CutWatch&) = delete;
    CutWatch& operator=(const CutWatch&) = delete;

    struct Cut {
      std::string File;            // as the reader named it
      std::int32_t BlockLine = 0;  // where the outermost open block opened
      std::int32_t EndLine = 0;    // the last line read
      // With "\rFile: " (named as the demo writes it) and "\rLINE: " as the
      // readers' messages.
      std::string Message() const;
    };
    std::vector<Cut> Cuts;

   private:
    CutWatch* previous_;
  };
  bool ReadLine();  // false for a "#" comment line

  // For a reader that parses lines of a known shape straight from the read
  // buffer. Unread: the bytes not yet handed out as lines, their tabs
  // perhaps not yet made blanks (empty inside a comment block); as behind a
  // line, the vtLine::kPadding bytes behind its end can be read, the first
  // of them (0 or Ctrl-Z) neither a blank nor a digit, so a scan for
  // either stops there without a bounds check. Valid
  // until the next Eof, ReadLine or Open. TakeLines: the first `lines`
  // lines of Unread, `bytes` bytes through the last one's end, are read as
  // ReadLine would read them one by one; the last becomes Line. The caller
  // vouches that each is whole, not blank, ends in "\n" or "\r\n" and
  // holds neither a brace, a '/' nor Ctrl-Z.
  std::string_view Unread() const;
  void TakeLines(size_t bytes, std::int32_t lines);

  // Inline for the usual test, a literal tag on a line of one star: the
  // loaders test each line for several, and the key's tests fold away.
  bool Contains(std::string_view key) const {
    const vtLine::Marks* marks = Line.KnownMarks();
    if (!marks || key.empty() || key[0] != '*' || marks->Stars != 1) return ContainsOtherwise(key);
    return Line.HasAt(marks->FirstStar, key);
  }
  bool Holds(char c) const;  // Contains for one character
  std::int32_t ReadInt(char delim);
  float ReadFloat(char delim);
  bool ReadBool(char delim);
  std::string ReadQuoted() const;
  void SkipPast(char delim);
  void SkipThrough(char ch);
  void SkipBlanks();
  void SkipWord();
  std::string PeekWord() const;
  std::string TakeWord();
  std::string NextToken();
  float NextFloat();
  std::string LineInfo() const;
  void ShowLineInfo() const;
  void WriteLine(const std::string& s);

  // The reader's conversions, raising vtConvertError with this file and line.
  std::int32_t ToInt(std::string_view text) const;
  float ToFloat(std::string_view text) const;  // strict: "... is an invalid float"
  // The word at the front of text (see WordAsFloat) converted by ToInt;
  // length := the word's.
  std::int32_t WordAsInt(std::string_view text, size_t& length) const;

  // The read buffer's size (64 KiB by default), taken at the next Open; tests
  // and the fuzzer shrink it to put line ends on buffer boundaries.
  void SetBufferSize(size_t bytes) { bufferSize_ = bytes > 0 ? bytes : 1; }
  size_t BufferSize() const { return bufferSize_; }
  // Whether a file is read ahead on another core (vtReadAhead), taken at
  // the next Open. Auto: a file of many buffers, while loading may use more
  // than one thread (VORTANE_LOAD_THREADS) and no load pipeline is attached
  // (reloads, checks, tools); Always: any file of more than one buffer
  // (tests and the fuzzer compare both ways).
  enum class ReadAhead { Auto, Always, Never };
  void SetReadAhead(ReadAhead mode) { readAheadMode_ = mode; }

  const std::string& FileName() const { return fileName_; }
  // The line of the outermost block open now (0: none); a checker may
  // report it for a file that ends there.
  std::int32_t OpenBlockLine() const { return openBlocks_ > 0 ? openBlockLine_ : 0; }

  // Loading progress: called after each block of a file is read, with the
  // share of the file read so far (0..1). One hook for the whole program.
  using ProgressHook = void (*)(double fraction);
  static void SetProgressHook(ProgressHook hook);
  static void ReportProgress(double fraction);  // to the hook, when one is set
  // Where this reader reports its progress instead of the hook (a reader on
  // a worker thread hands it to the thread that draws); empty: the hook.
  void ReportProgressTo(std::function<void(double)> report) { progressTo_ = std::move(report); }
  bool IsOpen() const { return file_ != nullptr; }
  // Bytes of the file not yet handed out as lines (0 when the size is unknown).
  std::uint64_t BytesLeft() const {
    const std::uint64_t consumed = bytesRead_ - (len_ - pos_);
    return fileSize_ > consumed ? fileSize_ - consumed : 0;
  }

 private:
  bool OpenForReading(const std::string& fileName);
  bool OpenForWriting(const std::string& fileName);
  bool ReadAheadPays() const;
  void StartReadAhead();
  void ReadPhysicalLine();
  // The end of the line starting at buffer offset from (where its line end
  // or the data's end lies), noting what the line holds; the line's
  // characters so far are lineOffset (a line gathered over refills).
  size_t ScanToLineEnd(size_t from, size_t lineOffset, vtLine::Marks& marks);
  bool TakeRecordedLine();
  bool Fill();
  size_t WordEnd() const;
  bool DataEnded();  // Eof without the report
  bool ContainsOtherwise(std::string_view key) const;
  bool LineWaiting() const { return file_ && pos_ < len_ && buffer_[pos_] != kCtrlZ; }  // so not at the end
  bool EofAfterBuffer();
  void CountBlocks();
  void ReportEndInsideBlock();

  std::FILE* file_ = nullptr;
  std::string fileName_;
  vtFileMode openMode_ = vtRead;  // the mode the file was opened in
  std::unique_ptr<char[]> buffer_;
  // Large files: their blocks read and prepared on another core (or here,
  // while that core is behind), each block with its masks and its lines
  // (NotesLayout). Up to sixteen blocks in the ring: the thread is woken
  // once per eight blocks. Waking a thread on the
  // other core is dear on a virtual machine, and a ring of four woke it
  // 400 times for a 108 MB file. Eight buffers or more make a file large.
  static constexpr size_t kReadAheadRing = 16;
  static constexpr std::uint64_t kReadAheadBuffers = 8;
  ReadAhead readAheadMode_ = ReadAhead::Auto;
  std::unique_ptr<vtReadAhead> readAhead_;
  std::unique_ptr<std::uint64_t[]> blockNotes_;  // the buffer's masks and lines, when read ahead
  // Small enough to stay in the core's second-level cache between the
  // kernel's copy into it and the scan of it: a 1 MiB buffer made that copy
  // cost as much as parsing the lines.
  size_t bufferSize_ = size_t{64} << 10;
  size_t allocated_ = 0;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool endOfData_ = false;  // end of file or Ctrl-Z reached in the buffer
  bool lineHasSlash_ = false;  // the physical line just read holds a '/'
  std::int32_t openBlocks_ = 0;     // blocks opened by the lines read and not closed
  std::int32_t openBlockLine_ = 0;  // where the outermost of them opened
  bool lastLineCloses_ = false;     // the last line with more than blanks holds '}'
  bool endReported_ = false;        // Eof has reported the cut
  std::uint64_t fileSize_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::uint64_t progressAt_ = 0;  // bytesRead_ at the last progress report
  std::function<void(double)> progressTo_;

 public:
  // The scan's state, for the scan only: what each 64-byte block of the
  // buffer holds, a bit per byte, three words a block: line ends (and
  // Ctrl-Z), stars, and the rare marks (braces and the '/' of the comment
  // tests), told apart by their bytes when a line has one.
  struct BlockMasks {
    std::uint64_t Stops, Stars, Rare;
  };
  static constexpr size_t kMaskWords = sizeof(BlockMasks) / sizeof(std::uint64_t);

 private:
  // A line of a block read ahead, as the read-ahead thread noted it:
  // where it starts and ends in the block, and its marks (star positions
  // in the line, kNoStar for none; Flags: kOpens, kCloses, kSlash, and
  // kCrLf for a line ended by "\r\n"). Sixteen bytes, so the notes of a
  // ring of blocks stay in the cache: only lines shorter than kLongest
  // are noted.
  struct LineRecord {
    static constexpr std::uint16_t kNoStar = 0xFFFF;
    static constexpr size_t kLongest = kNoStar;
    enum : std::uint8_t { kOpens = 1, kCloses = 2, kSlash = 4, kCrLf = 8 };
    std::uint32_t Start, Stop;
    std::uint16_t FirstStar, SecondStar, LastStar;
    std::uint8_t Stars, Flags;

    static LineRecord Of(size_t start, size_t stop, bool crlf, const vtLine::Marks& marks, bool slash) {
      auto star = [](size_t at) { return at == vtLine::npos ? kNoStar : static_cast<std::uint16_t>(at); };
      const int flags = (marks.Opens ? kOpens : 0) | (marks.Closes ? kCloses : 0) | (slash ? kSlash : 0) |
                        (crlf ? kCrLf : 0);
      return {static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(stop), star(marks.FirstStar),
              star(marks.SecondStar), star(marks.LastStar), marks.Stars, static_cast<std::uint8_t>(flags)};
    }
    // A line with no brace or slash and at most one star (bit i of stars
    // for character i).
    static LineRecord OfPlain(size_t start, size_t stop, bool crlf, std::uint64_t stars) {
      const std::uint16_t star = stars ? static_cast<std::uint16_t>(__builtin_ctzll(stars)) : kNoStar;
      return {static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(stop), star, kNoStar, star,
              static_cast<std::uint8_t>(stars != 0), static_cast<std::uint8_t>(crlf ? kCrLf : 0)};
    }
    void Into(vtLine::Marks& marks, bool& slash) const {
      auto star = [](std::uint16_t at) { return at == kNoStar ? vtLine::npos : size_t{at}; };
      marks = {star(FirstStar), star(SecondStar), star(LastStar), Stars, (Flags & kOpens) != 0, (Flags & kCloses) != 0};
      slash = (Flags & kSlash) != 0;
    }
    size_t Next() const { return size_t{Stop} + ((Flags & kCrLf) ? 2 : 1); }
  };
  // Where PrepareBlock notes lines: up to Capacity, their number in Count.
  struct LineRecords {
    std::uint64_t* Count;
    LineRecord* Lines;
    size_t Capacity;
  };
  // A block read ahead: tabs become blanks, the blocks get their masks and
  // the lines wholly inside are noted, a chunk at a time.
  static void PrepareBlock(char* data, size_t length, BlockMasks* masks, LineRecords records);
  static constexpr size_t kPrepareChunk = 4096;

  // Blocks are loaded whole: the buffer holds a block's worth behind its end.
  static constexpr size_t kBufferSlack = 64;
  // Read in place, the buffer is classified a window at a time, as the
  // lines reach it (the ASE reader takes most of its lines unclassified);
  // a block read ahead comes classified whole.
  static constexpr size_t kWindowBytes = 1024;
  size_t windowAt_ = 0;     // the buffer offset masks_ describes from
  size_t windowBytes_ = 0;  // how many bytes from there (0: none)
  const BlockMasks* masks_ = nullptr;
  BlockMasks window_[kWindowBytes / 64];
  // The lines the read-ahead thread noted in the buffer, the next to hand out.
  const LineRecord* records_ = nullptr;
  size_t recordCount_ = 0;
  size_t nextRecord_ = 0;
  // How a block's notes are laid out: its masks, the number of lines
  // noted, the lines.
  struct NotesLayout {
    size_t MaskWords, RecordCapacity, Words;
    explicit NotesLayout(size_t blockBytes);
    LineRecords RecordsIn(std::uint64_t* notes) const {
      return {notes + MaskWords, reinterpret_cast<LineRecord*>(notes + MaskWords + 1), RecordCapacity};
    }
  };
};

namespace vtTextDetail {

inline unsigned DigitValue(char c) { return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0'; }

// Up to this many digits in all are converted by hand: their value and
// every power of ten up to it are exact doubles.
constexpr size_t kShortDigits = 15;
constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Whether a double lies halfway between two floats (normal ones): rounding
// it to float then may differ from rounding the exact value it came from.
inline bool OnFloatMidpoint(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  constexpr std::uint64_t kBelowFloat = (std::uint64_t{1} << 29) - 1;  // the mantissa bits a float drops
  return (bits & kBelowFloat) == (std::uint64_t{1} << 28);
}

// The value of `digits` (at most kShortDigits of them) divided by ten to
// the `decimals`: one double division rounds correctly; rounding that to
// float rounds the exact quotient the same way unless the double lies on a
// midpoint between two floats, which is left to the library (false).
inline bool ShortDecimalValue(std::uint64_t digits, size_t decimals, bool negative, float& value) {
  const double quotient = static_cast<double>(static_cast<std::int64_t>(digits)) / kPowersOfTen[decimals];
  if (OnFloatMidpoint(quotient)) return false;
  const float rounded = static_cast<float>(quotient);
  value = negative ? -rounded : rounded;
  return true;
}

}  // namespace vtTextDetail

inline bool ScanShortDecimal(const char*& at, const char* end, float& value) {
  using namespace vtTextDetail;
  const char* p = at;  // locals, not the caller's pointer: the loops stay in registers
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  const char* const first = p;
  std::uint64_t digits = 0;
  unsigned d;
  while (p < end && (d = DigitValue(*p)) < 10) digits = digits * 10 + d, ++p;
  size_t count = static_cast<size_t>(p - first), decimals = 0;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && (d = DigitValue(*p)) < 10) digits = digits * 10 + d, ++p;
    decimals = static_cast<size_t>(p - fraction);
    count += decimals;
  }
  at = p;
  if (count == 0 || count > kShortDigits) return false;
  return ShortDecimalValue(digits, decimals, negative, value);
}

// Nine digits at most: no overflow.
inline bool ScanShortInteger(const char*& at, const char* end, std::int32_t& value) {
  const char* p = at;
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  const char* const first = p;
  const char* const last = end - first > 9 ? first + 9 : end;
  std::int32_t digits = 0;
  unsigned d;
  while (p < last && (d = vtTextDetail::DigitValue(*p)) < 10) digits = digits * 10 + static_cast<std::int32_t>(d), ++p;
  at = p;
  if (p == first) return false;
  value = negative ? -digits : digits;
  return true;
}
