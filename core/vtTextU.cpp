#include "core/vtTextU.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ostream>
#include <system_error>

#include <fast_float/fast_float.h>

#include <sys/stat.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "core/vtDemoPathU.h"
#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "core/vtLoadPipelineU.h"
#include "core/vtReadAheadU.h"
#include "platform/Files.h"

namespace {

constexpr char kCtrlZ = 26;
vtText::ProgressHook g_progressHook = nullptr;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipLeadingBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

// Tabs are blanks by the time a line is read.
bool IsBlank(std::string_view line) { return line.find_first_not_of(' ') == std::string_view::npos; }

bool CheckFileExtension(const std::string& fileName, const std::string& extension) {
  if (GlobalFunc) return GlobalFunc->CheckExtension(fileName, extension);
  vtFunc func;
  return func.CheckExtension(fileName, extension);
}

// Length of the number at the front of text (sign, digits, optional fraction,
// optional exponent), or 0 when there is none.
size_t DecimalLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < text.size() && IsDigit(text[j])) ++j, ++expDigits;
    if (expDigits == 0) return 0;
    i = j;
  }
  return i;
}

}  // namespace

bool ParseDecimalWithLibrary(std::string_view text, float& value) {
  text.remove_prefix(SkipLeadingBlanks(text));
  if (text.empty() || DecimalLength(text) != text.size()) return false;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
  float parsed = 0;
  const char* const end = text.data() + text.size();
  if (fast_float::from_chars(text.data(), end, parsed).ptr != end) return false;
  value = negative ? -parsed : parsed;
  return true;
}

// The short decimals of the formats are converted by hand in one pass:
// on an ASE file's numbers about 1.6 times as fast as the library path
// (vortane-bench numbers shows both); every other number takes that path.
bool ParseDecimal(std::string_view text, float& value) {
  const char* p = text.data() + SkipLeadingBlanks(text);
  const char* const end = text.data() + text.size();
  if (ScanShortDecimal(p, end, value) && p == end) return true;
  return ParseDecimalWithLibrary(text, value);
}

size_t CutBehindLast(std::string_view text, char delim) {
  const void* at = text.empty() ? nullptr : ::memrchr(text.data(), delim, text.size());
  return at ? static_cast<size_t>(static_cast<const char*>(at) - text.data()) + 2 : 1;
}

float StrToFloatDef(std::string_view text) {
  float value = 0;
  return ParseDecimal(text, value) ? value : 0.0f;
}

namespace {

// A word ends before the first blank at the second position or later;
// without such a blank the rest of the text is the word.
size_t WordLength(std::string_view text) {
  if (text.size() < 2) return text.size();
  const size_t p = text.find(' ', 1);
  return p == std::string_view::npos ? text.size() : p;
}

}  // namespace

// A short decimal (or integer) followed by a blank or the end is the whole
// word: it is converted where it stands, in one pass. Anything else takes
// the word and the general conversion.
float WordAsFloat(std::string_view text, size_t& length) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* p = begin;
  if (p < end && *p == ' ') ++p;  // a blank in the first position belongs to the word
  float value = 0;
  if (ScanShortDecimal(p, end, value) && (p == end || *p == ' ')) {
    length = static_cast<size_t>(p - begin);
    return value;
  }
  length = WordLength(text);
  return StrToFloatDef(text.substr(0, length));
}

std::int32_t vtText::WordAsInt(std::string_view text, size_t& length) const {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* p = begin;
  if (p < end && *p == ' ') ++p;
  std::int32_t value = 0;
  if (ScanShortInteger(p, end, value) && (p == end || *p == ' ')) {
    length = static_cast<size_t>(p - begin);
    return value;
  }
  length = WordLength(text);
  return ToInt(text.substr(0, length));
}

bool ParseInteger(std::string_view text, std::int32_t& value) {
  size_t i = SkipLeadingBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::int64_t n = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    n = n * 10 + (text[i] - '0');
    if (n > 2147483648LL) return false;
  }
  if (negative) n = -n;
  if (n > 2147483647LL) return false;
  value = static_cast<std::int32_t>(n);
  return true;
}

const char vtLine::kEmpty[kPadding] = {};

namespace {

std::uint64_t Load8(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

std::uint32_t Load4(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

}  // namespace

// Whole words, the last overlapping the one before: no byte outside either
// range is read.
bool vtLine::SameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8)
      if (Load8(a + i) != Load8(b + i)) return false;
    return Load8(a + n - 8) == Load8(b + n - 8);
  }
  if (n >= 4) return Load4(a) == Load4(b) && Load4(a + n - 4) == Load4(b + n - 4);
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

vtLine& vtLine::operator=(std::string_view text) {
  own_.assign(text.data(), text.size());  // text may lie in own_ itself
  ShowOwn();
  marksKnown_ = false;
  return *this;
}

vtLine& vtLine::operator=(std::string&& text) {
  own_ = std::move(text);
  ShowOwn();
  marksKnown_ = false;
  return *this;
}

void vtLine::Keep() {
  if (owned_) return;
  own_.assign(view_.data(), view_.size());
  ShowOwn();
}

std::string& vtLine::OwnStorage() {
  own_.clear();
  owned_ = true;
  marksKnown_ = false;
  return own_;
}

void vtLine::ShowOwn() {
  own_.reserve(own_.size() + kPadding);
  view_ = own_;
  owned_ = true;
}

// A candidate position is checked by the key's first and last characters,
// sixteen positions at a time, before the whole key is compared.
size_t vtLine::find(std::string_view key, size_t from) const {
  const size_t n = key.size(), size = view_.size();
  if (from > size || n > size - from) return npos;
  if (n < 2) return view_.find(key, from);
  const char* const s = view_.data();
  const size_t last = size - n;  // the last candidate
#ifdef __SSE2__
  const __m128i first = _mm_set1_epi8(key[0]), final = _mm_set1_epi8(key[n - 1]);
  for (size_t i = from; i <= last; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + n - 1));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first),
                                                                          _mm_cmpeq_epi8(b, final))));
    if (last - i < 15) mask &= (2u << (last - i)) - 1;
    for (; mask; mask &= mask - 1) {
      const size_t at = i + static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(s + at + 1, key.data() + 1, n - 2) == 0) return at;
    }
  }
  return npos;
#else
  for (size_t i = from; i <= last; ++i)
    if (s[i] == key[0] && s[i + n - 1] == key[n - 1] && std::memcmp(s + i + 1, key.data() + 1, n - 2) == 0)
      return i;
  return npos;
#endif
}

std::ostream& operator<<(std::ostream& out, const vtLine& line) { return out << line.view_; }

vtText::vtText() = default;

vtText::vtText(const std::string& extension) : Extension(extension.empty() ? "*NOT AVAIL*" : extension) {}

vtText::~vtText() {
  readAhead_.reset();
  if (file_) std::fclose(file_);
}

bool vtText::Open(const std::string& fileName) {
  if (fileName.empty()) return false;
  readAhead_.reset();
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  Line.Keep();  // the buffer may be replaced
  fileName_ = fileName;
  openMode_ = Mode;
  pos_ = len_ = 0;
  windowBytes_ = 0;
  recordCount_ = 0;
  endOfData_ = false;
  fileSize_ = bytesRead_ = progressAt_ = 0;
  openBlocks_ = openBlockLine_ = 0;
  lastLineCloses_ = endReported_ = false;
  if (Mode == vtRead) return OpenForReading(fileName);
  return OpenForWriting(fileName);
}

// A missing or unreadable file fails silently; the extension is checked
// once the file is open.
bool vtText::OpenForReading(const std::string& fileName) {
  file_ = platform::OpenFile(fileName, "rb");
  if (!file_) return false;
  if (!CheckFileExtension(fileName, Extension)) {
    ReportFinding({fileName, 0, "extension", vtSeverity::Error,
                   "the file is not read: its extension must be \"." + Extension + "\", in exactly this letter case"});
    Close();
    return false;
  }
  ReportFileRead(fileName);
  struct stat st;
  if (::fstat(::fileno(file_), &st) == 0 && st.st_size > 0) fileSize_ = static_cast<std::uint64_t>(st.st_size);
  // Item files are small: a buffer no larger than the file (plus one byte,
  // so that one read sees the end) spares a megabyte per reader.
  const size_t wanted = fileSize_ > 0 && fileSize_ < bufferSize_ ? static_cast<size_t>(fileSize_) + 1 : bufferSize_;
  if (allocated_ != wanted) {
    buffer_.reset(new char[wanted + kBufferSlack]);
    std::memset(buffer_.get() + wanted, 0, kBufferSlack);
    allocated_ = wanted;
  }
  if (ReadAheadPays()) StartReadAhead();
  return true;
}

// A file of a few buffers is read in place: a thread costs more than it
// saves there. None is started while loading is held to one thread, nor
// while a load pipeline keeps every core busy (it overlaps the reading of
// each file with other work already; another thread only contends).
bool vtText::ReadAheadPays() const {
  if (readAheadMode_ == ReadAhead::Never || fileSize_ <= allocated_) return false;
  if (readAheadMode_ == ReadAhead::Always) return true;
  const vtLoadPipeline* pipeline = vtLoadPipeline::Active();
  return fileSize_ >= kReadAheadBuffers * static_cast<std::uint64_t>(allocated_) &&
         !(pipeline && pipeline->Parallel()) && vtLoadPipeline::ConfiguredThreads() > 1;
}

// Blocks read ahead come classified whole, their masks and the lines
// wholly inside them in the block's notes. Without a thread to spare the
// file is read in place.
void vtText::StartReadAhead() {
  const std::uint64_t blocks = fileSize_ / allocated_ + 1;
  const vtReadAhead::Sizes sizes{allocated_, kBufferSlack, NotesLayout(allocated_).Words,
                                 static_cast<size_t>(std::min<std::uint64_t>(blocks, kReadAheadRing))};
  blockNotes_.reset();  // storage of an earlier ring never joins this one
  try {
    readAhead_ = std::make_unique<vtReadAhead>(
        ::fileno(file_), sizes, [](char* data, size_t length, size_t blockBytes, std::uint64_t* notes) {
          PrepareBlock(data, length, reinterpret_cast<BlockMasks*>(notes), NotesLayout(blockBytes).RecordsIn(notes));
        });
  } catch (const std::system_error&) {
    readAhead_.reset();
  }
}

// Room for a line in every 32 bytes of a block; a block of shorter lines
// has the rest scanned as it is read. None in a block too large for the
// records' offsets.
vtText::NotesLayout::NotesLayout(size_t blockBytes)
    : MaskWords(kMaskWords * ((blockBytes + 63) / 64)),
      RecordCapacity(blockBytes < (size_t{1} << 31) ? blockBytes / 32 + 1 : 0),
      Words(MaskWords + 1 + (RecordCapacity * sizeof(LineRecord) + 7) / 8) {}

// The name is checked before anything is created or truncated, so a wrong
// extension never destroys an existing file.
bool vtText::OpenForWriting(const std::string& fileName) {
  if (Mode == vtAppend && !platform::IsRegularFile(fileName)) return false;
  if (!CheckFileExtension(fileName, Extension)) return false;
  file_ = platform::OpenFile(fileName, Mode == vtWrite ? "wb" : "ab");
  return file_ != nullptr;
}

void vtText::Close() {
  if (!file_) return;
  readAhead_.reset();
  bool failed = std::fclose(file_) != 0;
  file_ = nullptr;
  if (failed && openMode_ != vtRead) throw vtIOError("cannot close " + fileName_);
}

bool vtText::Fill() {
  if (endOfData_ || !file_ || openMode_ != vtRead) return false;
  Line.Keep();  // a line shown from the buffer outlives the refill
  windowBytes_ = 0;
  recordCount_ = 0;
  if (readAhead_) {
    if (!readAhead_->Take(buffer_, blockNotes_, len_)) throw vtIOError("cannot read " + fileName_);
    masks_ = reinterpret_cast<const BlockMasks*>(blockNotes_.get());
    windowAt_ = 0;
    windowBytes_ = len_;
    const LineRecords records = NotesLayout(allocated_).RecordsIn(blockNotes_.get());
    records_ = records.Lines;
    recordCount_ = len_ > 0 ? *records.Count : 0;
    nextRecord_ = 0;
  } else {
    len_ = std::fread(buffer_.get(), 1, allocated_, file_);
    if (len_ == 0 && std::ferror(file_)) throw vtIOError("cannot read " + fileName_);
  }
  buffer_[len_] = 0;  // Unread's end mark
  pos_ = 0;
  if (len_ == 0) {
    endOfData_ = true;
    return false;
  }
  bytesRead_ += len_;
  // Reported every MiB and at the end, however small the buffer.
  constexpr std::uint64_t kProgressStep = std::uint64_t{1} << 20;
  if (fileSize_ > 0 && (bytesRead_ - progressAt_ >= kProgressStep || bytesRead_ >= fileSize_)) {
    progressAt_ = bytesRead_;
    const double fraction = std::min(1.0, static_cast<double>(bytesRead_) / fileSize_);
    if (progressTo_)
      progressTo_(fraction);
    else
      ReportProgress(fraction);
  }
  return true;
}

void vtText::SetProgressHook(ProgressHook hook) { g_progressHook = hook; }

void vtText::ReportProgress(double fraction) {
  if (g_progressHook) g_progressHook(fraction);
}

bool vtText::EofAfterBuffer() {
  if (!DataEnded()) return false;
  ReportEndInsideBlock();
  return true;
}

bool vtText::DataEnded() {
  if (!file_ || openMode_ != vtRead) return true;
  if (pos_ == len_ && !Fill()) return true;
  if (buffer_[pos_] == kCtrlZ) {
    endOfData_ = true;
    len_ = pos_;
    return true;
  }
  return false;
}

namespace {

thread_local vtText::CutWatch* g_cutWatch = nullptr;

}  // namespace

vtText::CutWatch::CutWatch() : previous_(g_cutWatch) { g_cutWatch = this; }

vtText::CutWatch::~CutWatch() { g_cutWatch = previous_; }

// Only a file whose last line closes nothing counts as cut: some exporters
// leave a block open in the middle and still write the file to its end.
void vtText::ReportEndInsideBlock() {
  if (openBlocks_ == 0 || lastLineCloses_ || endReported_) return;
  endReported_ = true;
  if (g_cutWatch) g_cutWatch->Cuts.push_back({fileName_, openBlockLine_, LineNumber});
}

std::string vtText::CutWatch::Cut::Message() const {
  return "the file ends inside the block opened on line " + std::to_string(BlockLine) +
         " (is it cut short?)\rFile: " + DemoPath(File) + "\rLINE: " + std::to_string(EndLine);
}

// A line that opens a block without closing it goes one level deeper; one
// that closes without opening comes back up ("{ }" on one line is neither).
// Every line passes here: the blank test runs only on the rare line that
// may end a run of closing lines (a brace line is never blank).
inline void vtText::CountBlocks() {
  const vtLine::Marks* marks = Line.KnownMarks();
  if (!marks) return;
  if (marks->Closes)
    lastLineCloses_ = true;
  else if (lastLineCloses_ && !IsBlank(Line))
    lastLineCloses_ = false;
  if (marks->Opens == marks->Closes) return;
  if (marks->Opens) {
    if (openBlocks_++ == 0) openBlockLine_ = LineNumber;
  } else if (openBlocks_ > 0) {
    --openBlocks_;
  }
}

namespace {

// Block b's masks, the bits of bytes past `valid` cleared.
void StoreBlock(vtText::BlockMasks* out, size_t b, size_t valid, std::uint64_t stops, std::uint64_t stars,
                std::uint64_t rare) {
  const size_t left = valid - 64 * b;
  const std::uint64_t keep = left >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << left) - 1;
  out[b] = {stops & keep, stars & keep, rare & keep};
}

// Tabs become blanks and each block of the window gets its masks: what it
// holds, one bit per byte, bytes past `valid` cleared. Every block is
// loaded whole (the buffer's slack).
void ClassifyWindow(char* p, size_t valid, vtText::BlockMasks* out) {
  const size_t blocks = (valid + 63) / 64;
  for (size_t b = 0; b < blocks; ++b) {
    std::uint64_t stops = 0, stars = 0, rare = 0;
    char* const block = p + 64 * b;
#ifdef __SSE2__
    auto bits = [](__m128i equal) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(equal)));
    };
    auto equal = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    for (int part = 0; part < 4; ++part) {
      char* q = block + 16 * part;
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      const __m128i tabs = equal(v, '\t');
      if (_mm_movemask_epi8(tabs)) {  // blanks past the data's end are harmless
        v = _mm_xor_si128(v, _mm_and_si128(tabs, _mm_set1_epi8('\t' ^ ' ')));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q), v);
      }
      const int shift = 16 * part;
      stops |= bits(_mm_or_si128(_mm_or_si128(equal(v, '\n'), equal(v, '\r')), equal(v, kCtrlZ))) << shift;
      stars |= bits(equal(v, '*')) << shift;
      rare |= bits(_mm_or_si128(_mm_or_si128(equal(v, '{'), equal(v, '}')), equal(v, '/'))) << shift;
    }
#else
    for (int i = 0; i < 64; ++i) {
      if (block[i] == '\t') block[i] = ' ';
      const std::uint64_t bit = std::uint64_t{1} << i;
      const char c = block[i];
      if (c == '\n' || c == '\r' || c == kCtrlZ) stops |= bit;
      if (c == '*') stars |= bit;
      if (c == '{' || c == '}' || c == '/') rare |= bit;
    }
#endif
    StoreBlock(out, b, valid, stops, stars, rare);
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) inline std::uint64_t Bits(__m256i equal) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(equal)));
}

__attribute__((target("avx2"))) inline __m256i Equal(__m256i v, char c) {
  return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c));
}

// The same with 32-byte vectors, where the processor has them.
__attribute__((target("avx2"))) void ClassifyWindowWide(char* p, size_t valid, vtText::BlockMasks* out) {
  const size_t blocks = (valid + 63) / 64;
  for (size_t b = 0; b < blocks; ++b) {
    std::uint64_t stops = 0, stars = 0, rare = 0;
    for (int part = 0; part < 2; ++part) {
      char* q = p + 64 * b + 32 * part;
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
      const __m256i tabs = Equal(v, '\t');
      if (_mm256_movemask_epi8(tabs)) {
        v = _mm256_xor_si256(v, _mm256_and_si256(tabs, _mm256_set1_epi8('\t' ^ ' ')));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), v);
      }
      const int shift = 32 * part;
      stops |= Bits(_mm256_or_si256(_mm256_or_si256(Equal(v, '\n'), Equal(v, '\r')), Equal(v, kCtrlZ))) << shift;
      stars |= Bits(Equal(v, '*')) << shift;
      rare |= Bits(_mm256_or_si256(_mm256_or_si256(Equal(v, '{'), Equal(v, '}')), Equal(v, '/'))) << shift;
    }
    StoreBlock(out, b, valid, stops, stars, rare);
  }
}

const bool kWideVectors = __builtin_cpu_supports("avx2");

void Classify(char* p, size_t valid, vtText::BlockMasks* out) {
  if (kWideVectors)
    ClassifyWindowWide(p, valid, out);
  else
    ClassifyWindow(p, valid, out);
}
#else
void Classify(char* p, size_t valid, vtText::BlockMasks* out) { ClassifyWindow(p, valid, out); }
#endif

int LowestBit(std::uint64_t bits) { return __builtin_ctzll(bits); }
int HighestBit(std::uint64_t bits) { return 63 - __builtin_clzll(bits); }

// A block's stars (bit i: line position i + offset) into the marks. Most
// lines hold one star, a face line three: the count stops at
// kStarsCounted, the first two positions are kept.
void NoteStars(vtLine::Marks& marks, std::uint64_t stars, size_t offset) {
  marks.LastStar = offset + HighestBit(stars);
  if (marks.Stars == 0 && (stars & (stars - 1)) == 0) {  // the usual line's one star
    marks.FirstStar = marks.LastStar;
    marks.Stars = 1;
    return;
  }
  for (; stars && marks.Stars < vtLine::kStarsCounted; stars &= stars - 1) {
    if (marks.Stars == 0) marks.FirstStar = offset + LowestBit(stars);
    if (marks.Stars == 1) marks.SecondStar = offset + LowestBit(stars);
    ++marks.Stars;
  }
}

}  // namespace

namespace {

// A block's braces and slashes (the bits of rare) into the marks.
void NoteRare(vtLine::Marks& marks, bool& slash, std::uint64_t rare, const char* block) {
  for (; rare; rare &= rare - 1) {
    const char c = block[LowestBit(rare)];
    marks.Opens |= c == '{';
    marks.Closes |= c == '}';
    slash |= c == '/';
  }
}

// One 64-byte block of a line's scan, from buffer offset at on (in the
// block at blockStart, whose masks are `masks`): notes the marks of the
// line's bytes in it (block bit i is line character i + offset); the
// block's stop bits from at on.
inline std::uint64_t ScanBlock(const vtText::BlockMasks& masks, const char* block, size_t blockStart, size_t at,
                               size_t offset, vtLine::Marks& marks, bool& slash) {
  std::uint64_t keep = ~std::uint64_t{0} << (at - blockStart);
  const std::uint64_t stops = masks.Stops & keep;
  keep &= ~stops & (stops - 1);  // the bits below the first stop; all without one
  if (const std::uint64_t stars = masks.Stars & keep) NoteStars(marks, stars, offset);
  if (const std::uint64_t rare = masks.Rare & keep) NoteRare(marks, slash, rare, block);
  return stops;
}

// Where the line starting at `from` ends in a classified block of `length`
// bytes (length itself when it runs on past it), its marks noted.
size_t ScanLine(const vtText::BlockMasks* masks, const char* data, size_t length, size_t from, vtLine::Marks& marks,
                bool& slash) {
  for (size_t at = from;;) {
    const size_t blockStart = at & ~size_t{63};
    const std::uint64_t stops =
        ScanBlock(masks[at / 64], data + blockStart, blockStart, at, blockStart - from, marks, slash);
    if (stops) return blockStart + LowestBit(stops);
    at = blockStart + 64;
    if (at >= length) return length;
  }
}

}  // namespace

// The lines wholly inside a block read ahead, noted where they are read:
// where each starts and ends and its marks, as ReadPhysicalLine would note
// them. A line that runs into the next block, or ends at Ctrl-Z, ends the
// notes; so does a block of more lines than they hold.
//
// A chunk's lines are noted right after it is classified, while its bytes
// and masks are at hand. The loop walks the line ends, not the lines, so
// no line waits on where the one before ended. Most lines are short, with
// one star and no brace or slash: their marks come from one load of each
// of the chunk's bitmaps. Any other line is scanned.
void vtText::PrepareBlock(char* data, size_t length, BlockMasks* masks, LineRecords records) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "bit i of a bitmap's byte k is bit 8k+i of its words");
  constexpr size_t kChunkBlocks = kPrepareChunk / 64;
  constexpr size_t kShortest = 57;  // a line this long may not fit the 64 bits of one load behind a shift
  // The chunk's bitmaps: word 0 is the block before the chunk, a cleared
  // word lies behind the last.
  std::uint64_t stars[kChunkBlocks + 2] = {};
  std::uint64_t rare[kChunkBlocks + 2] = {};
  // Locals only: the records' byte fields could alias anything reached
  // through memory, which would then be loaded again after every line.
  LineRecord* const lines = records.Lines;
  const size_t capacity = records.Capacity;
  size_t count = 0;
  size_t start = 0;
  std::uint64_t crlfTail = 0;  // the "\n" of a CRLF that ended the last block
  bool noting = true;
  for (size_t at = 0; at < length; at += kPrepareChunk) {
    const size_t firstBlock = at / 64;
    const size_t endBlock = (std::min(length, at + kPrepareChunk) + 63) / 64;
    Classify(data + at, std::min(length - at, kPrepareChunk), masks + firstBlock);
    if (!noting) continue;
    stars[0] = stars[kChunkBlocks];  // the last block of the chunk before
    rare[0] = rare[kChunkBlocks];
    for (size_t i = 1; i <= kChunkBlocks; ++i) {
      const bool inside = firstBlock + i - 1 < endBlock;
      stars[i] = inside ? masks[firstBlock + i - 1].Stars : 0;
      rare[i] = inside ? masks[firstBlock + i - 1].Rare : 0;
    }
    const size_t bit0 = at - 64;  // the offset of word 0's bit 0 (it wraps for the first chunk)
    for (size_t b = firstBlock; noting && b < endBlock; ++b) {
      std::uint64_t ends = masks[b].Stops & ~crlfTail;
      crlfTail = 0;
      for (; ends; ends &= ends - 1) {
        const size_t stop = 64 * b + LowestBit(ends);
        size_t next = stop + 1;
        if (data[stop] != '\n') {  // "\r", "\r\n" or Ctrl-Z
          if (data[stop] == kCtrlZ || next == length) {
            noting = false;  // a "\n" may open the next block
            break;
          }
          if (data[next] == '\n') {
            ++next;
            ends &= ~(std::uint64_t{2} << (stop % 64));
            crlfTail = stop % 64 == 63;
          }
        }
        const bool crlf = next - stop == 2;
        if (count == capacity || stop - start >= LineRecord::kLongest) {
          noting = false;
          break;
        }
        std::uint64_t lineStars = 0, lineRare = 1;
        if (stop - start < kShortest) {
          const size_t bit = start - bit0;
          const std::uint64_t within = (std::uint64_t{1} << (stop - start)) - 1;
          lineStars = (Load8(reinterpret_cast<const char*>(stars) + bit / 8) >> bit % 8) & within;
          lineRare = (Load8(reinterpret_cast<const char*>(rare) + bit / 8) >> bit % 8) & within;
        }
        if ((lineRare | (lineStars & (lineStars - 1))) == 0) {
          lines[count++] = LineRecord::OfPlain(start, stop, crlf, lineStars);
        } else {
          vtLine::Marks marks;
          bool slash = false;
          ScanLine(masks, data, stop + 1, start, marks, slash);
          lines[count++] = LineRecord::Of(start, stop, crlf, marks, slash);
        }
        start = next;
      }
    }
  }
  *records.Count = count;
}

// The buffer is classified a window of 64-byte blocks at a time, once; a
// line then costs a few bit operations per block it touches.
inline size_t vtText::ScanToLineEnd(size_t from, size_t lineOffset, vtLine::Marks& marks) {
  for (size_t at = from;;) {
    if (at - windowAt_ >= windowBytes_) {  // before the masks too: the difference wraps
      windowAt_ = at & ~(kWindowBytes - 1);
      windowBytes_ = std::min(kWindowBytes, len_ - windowAt_);
      Classify(buffer_.get() + windowAt_, windowBytes_, window_);
      masks_ = window_;
    }
    const size_t b = (at - windowAt_) / 64;
    const size_t blockStart = windowAt_ + 64 * b;
    const std::uint64_t stops = ScanBlock(masks_[b], buffer_.get() + blockStart, blockStart, at,
                                          lineOffset + blockStart - from, marks, lineHasSlash_);
    if (stops) return blockStart + LowestBit(stops);
    at = blockStart + 64;
    if (at >= len_) return len_;
  }
}

// A line the read-ahead thread noted, when the next line starts where one
// did (lines taken whole by TakeLines are passed over).
inline bool vtText::TakeRecordedLine() {
  while (nextRecord_ < recordCount_ && records_[nextRecord_].Start < pos_) ++nextRecord_;
  if (nextRecord_ == recordCount_ || records_[nextRecord_].Start != pos_) return false;
  const LineRecord& line = records_[nextRecord_++];
  Line.Show(std::string_view(buffer_.get() + line.Start, line.Stop - line.Start));
  line.Into(Line.FreshMarks(), lineHasSlash_);
  pos_ = line.Next();
  Line.MarksNoted();
  return true;
}

// One physical line into Line, tabs made blanks, the line end consumed.
// Inline, as the scan and the block count are: ReadLine runs for every
// line, and the calls cost a tenth of it.
// A line inside the buffer is shown where it lies; one that runs past the
// buffer's end is gathered in the line's own storage.
inline void vtText::ReadPhysicalLine() {
  if (recordCount_ > 0 && TakeRecordedLine()) return;
  Line.Clear();
  lineHasSlash_ = false;
  vtLine::Marks& marks = Line.FreshMarks();
  std::string* gathered = nullptr;
  for (;;) {
    if (pos_ == len_ && !Fill()) break;
    const size_t start = pos_;
    pos_ = ScanToLineEnd(start, gathered ? gathered->size() : 0, marks);
    char* const begin = buffer_.get() + start;
    const size_t length = pos_ - start;
    if (gathered) {
      gathered->append(begin, length);
    } else if (pos_ == len_) {
      gathered = &Line.OwnStorage();
      gathered->assign(begin, length);
    } else {
      Line.Show(std::string_view(begin, length));
    }
    if (pos_ == len_) continue;
    const char stop = buffer_[pos_];
    if (stop == kCtrlZ) {
      endOfData_ = true;
      len_ = pos_;
      break;
    }
    ++pos_;
    if (stop == '\r') {
      if (pos_ == len_) Fill();
      if (pos_ < len_ && buffer_[pos_] == '\n') ++pos_;
    }
    break;
  }
  if (gathered) Line.ShowOwn();
  Line.MarksNoted();
}

bool vtText::ReadLine() {
  for (;;) {
    ReadPhysicalLine();
    ++LineNumber;
    if (lineHasSlash_) {  // both comment marks hold a '/'
      if (Line.find("/*") != std::string::npos) InComment = true;
      if (Line.find("*/") != std::string::npos) InComment = false;
    }
    if (!InComment) break;
    if (DataEnded()) {  // the file ends inside a comment block
      Line.Clear();
      break;
    }
  }
  CountBlocks();  // a comment's brace too: the readers' block loops see it
  return Line.empty() || Line[0] != '#';
}

std::string_view vtText::Unread() const {
  if (InComment || !file_ || openMode_ != vtRead) return {};
  return std::string_view(buffer_.get() + pos_, len_ - pos_);
}

// The lines hold nothing the block count, the comment marks or the end of
// data react to, so only the count, the position and Line move.
void vtText::TakeLines(size_t bytes, std::int32_t lines) {
  if (lines <= 0 || bytes == 0 || bytes > len_ - pos_) return;
  char* const run = buffer_.get() + pos_;
  size_t lineEnd = bytes - 1;  // its '\n'
  if (lineEnd > 0 && run[lineEnd - 1] == '\r') --lineEnd;
  const void* before = lineEnd > 0 ? ::memrchr(run, '\n', lineEnd) : nullptr;
  const size_t lineStart = before ? static_cast<size_t>(static_cast<const char*>(before) - run) + 1 : 0;
  std::replace(run + lineStart, run + lineEnd, '\t', ' ');
  Line.Show(std::string_view(run + lineStart, lineEnd - lineStart));
  pos_ += bytes;
  LineNumber += lines;
  lastLineCloses_ = false;
  lineHasSlash_ = false;
}

namespace {

// A tag can only start at a star: the (one to three) stars of the line are
// tried where they stand.
bool TagAtAStar(const vtLine& line, const vtLine::Marks& marks, std::string_view key) {
  if (line.HasAt(marks.FirstStar, key)) return true;
  if (marks.Stars >= 2 && line.HasAt(marks.LastStar, key)) return true;
  return marks.Stars == 3 && line.HasAt(marks.SecondStar, key);
}

}  // namespace

// While the line's marks are known they decide most tests at once: a tag
// (a key starting with '*') can only start at one of the line's stars, a
// block opener needs a '{', and a lone brace is a mark itself. A tag on a
// line of one star is decided inline.
bool vtText::ContainsOtherwise(std::string_view key) const {
  const vtLine::Marks* marks = Line.KnownMarks();
  if (!marks || key.empty()) return Line.find(key) != vtLine::npos;
  if (key[0] == '*') {
    if (marks->Stars == 0) return false;
    if (key.back() == '{' && !marks->Opens) return false;  // a block opener on a line without one
    if (marks->Stars == vtLine::kStarsCounted) return Line.find(key, marks->FirstStar) != vtLine::npos;
    return TagAtAStar(Line, *marks, key);
  }
  if (key.size() == 1 && (key[0] == '{' || key[0] == '}')) return key[0] == '{' ? marks->Opens : marks->Closes;
  return Line.find(key) != vtLine::npos;
}

bool vtText::Holds(char c) const {
  if (const vtLine::Marks* marks = Line.KnownMarks()) {
    if (c == '{') return marks->Opens;
    if (c == '}') return marks->Closes;
    if (c == '*') return marks->FirstStar != vtLine::npos;
  }
  return !Line.empty() && std::memchr(Line.data(), c, Line.size()) != nullptr;
}

std::int32_t vtText::ToInt(std::string_view text) const {
  std::int32_t value = 0;
  if (!ParseInteger(text, value))
    throw vtConvertError("\"" + std::string(text) + "\" is an invalid integer", fileName_, LineNumber);
  return value;
}

float vtText::ToFloat(std::string_view text) const {
  float value = 0;
  if (!ParseDecimal(text, value))
    throw vtConvertError("\"" + std::string(text) + "\" is an invalid float", fileName_, LineNumber);
  return value;
}

void vtText::SkipPast(char delim) { Line.DropFront(CutBehindLast(Line, delim)); }

std::int32_t vtText::ReadInt(char delim) {
  SkipPast(delim);
  return ToInt(Line);
}

float vtText::ReadFloat(char delim) {
  SkipPast(delim);
  return StrToFloatDef(Line);
}

bool vtText::ReadBool(char delim) { return ReadInt(delim) == 1; }

std::string vtText::ReadQuoted() const {
  size_t a = Line.find('"');
  size_t b = Line.rfind('"');
  if (a == vtLine::npos || a == b) return {};
  return std::string(Line.View().substr(a + 1, b - a - 1));
}

void vtText::SkipThrough(char ch) {
  size_t p = Line.find(ch);
  if (p != vtLine::npos) Line.DropFront(p + 1);
}

void vtText::SkipBlanks() {
  if (Line.empty()) return;
  size_t i = 1;
  while (i < Line.size() && Line[i] == ' ') ++i;
  Line.DropFront(i);
}

size_t vtText::WordEnd() const { return WordLength(Line); }

void vtText::SkipWord() {
  size_t p = Line.find(' ');
  Line.DropFront(p == vtLine::npos ? Line.size() : p + 1);
}

std::string vtText::PeekWord() const { return std::string(Line.View().substr(0, WordEnd())); }

std::string vtText::TakeWord() {
  std::string word = PeekWord();
  Line.DropFront(word.size());
  return word;
}

std::string vtText::NextToken() {
  std::string word = TakeWord();
  SkipBlanks();
  return word;
}

float vtText::NextFloat() {
  size_t length = 0;
  const float value = WordAsFloat(Line, length);
  Line.DropFront(length);
  SkipBlanks();
  return value;
}

std::string vtText::LineInfo() const { return "LINE: " + std::to_string(LineNumber) + "\r" + Line; }

void vtText::ShowLineInfo() const {
  if (GlobalFunc) GlobalFunc->ShowDebug(LineInfo());
}

void vtText::WriteLine(const std::string& s) {
  if (!file_ || openMode_ == vtRead) throw vtIOError("file not open for writing: " + fileName_);
  if (std::fwrite(s.data(), 1, s.size(), file_) != s.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
    throw vtIOError("cannot write " + fileName_);
}
