#include "core/vtTextU.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/vtFuncU.h"
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

bool CheckFileExtension(const std::string& fileName, const std::string& extension) {
  if (GlobalFunc) return GlobalFunc->CheckExtension(fileName, extension);
  vtFunc func;
  return func.CheckExtension(fileName, extension);
}

// The decimal exponent of the first significant digit of a validated
// number ("123" gives 2, "0.05" gives -2, "1e400" gives 400).
long DecimalMagnitude(std::string_view number) {
  long exponent = 0;
  size_t e = number.find_first_of("eE");
  if (e != std::string_view::npos) {
    size_t i = e + 1;
    bool negative = number[i] == '-';
    if (number[i] == '+' || number[i] == '-') ++i;
    for (; i < number.size(); ++i) exponent = std::min(exponent * 10 + (number[i] - '0'), 1000000L);
    if (negative) exponent = -exponent;
  }
  std::string_view mantissa = number.substr(0, e);
  long position = static_cast<long>(mantissa.find('.'));
  if (position < 0) position = static_cast<long>(mantissa.size());
  for (size_t i = 0; i < mantissa.size(); ++i) {
    if (mantissa[i] == '.' || mantissa[i] == '0') continue;
    long place = static_cast<long>(i) < position ? position - 1 - static_cast<long>(i)
                                                 : position - static_cast<long>(i);
    return place + exponent;
  }
  return 0;
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

// Plain "digits[.digits]" of at most 7 significant digits and 10 decimals:
// both the digits and the power of ten are exact floats, so one division is
// correctly rounded, like from_chars. False for anything else.
bool ParseShortDecimal(std::string_view text, float& value) {
  static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  std::uint32_t digits = 0;
  int count = 0, decimals = -1;
  for (char c : text) {
    if (IsDigit(c)) {
      digits = digits * 10 + static_cast<std::uint32_t>(c - '0');
      if (++count > 7) return false;
      if (decimals >= 0) ++decimals;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      return false;
    }
  }
  if (count == 0 || decimals > 10) return false;
  value = static_cast<float>(digits) / kPowersOfTen[decimals < 0 ? 0 : decimals];
  return true;
}

bool ParseDecimal(std::string_view text, float& value) {
  text.remove_prefix(SkipLeadingBlanks(text));
  if (text.empty()) return false;
  const bool negative = text[0] == '-';
  std::string_view unsigned_ = (text[0] == '+' || text[0] == '-') ? text.substr(1) : text;
  float parsed = 0;
  if (!ParseShortDecimal(unsigned_, parsed)) {
    size_t length = DecimalLength(text);
    if (length == 0 || length != text.size()) return false;
    // from_chars wants neither a sign nor a bare leading point.
    char padded[64];
    std::string_view number = unsigned_;
    if (number[0] == '.' && number.size() < sizeof padded) {
      padded[0] = '0';
      std::memcpy(padded + 1, number.data(), number.size());
      number = std::string_view(padded, number.size() + 1);
    } else if (number[0] == '.') {
      static thread_local std::string long_;
      long_.assign("0").append(number);
      number = long_;
    }
    auto result = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (result.ec == std::errc::result_out_of_range)
      parsed = DecimalMagnitude(number) > 0 ? HUGE_VALF : 0.0f;  // too large or too small
    else if (result.ec != std::errc() || result.ptr != number.data() + number.size())
      return false;
  }
  value = negative ? -parsed : parsed;
  return true;
}

float StrToFloatDef(std::string_view text) {
  float value = 0;
  return ParseDecimal(text, value) ? value : 0.0f;
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

vtText::vtText() = default;

vtText::vtText(const std::string& extension) : Extension(extension.empty() ? "*NOT AVAIL*" : extension) {}

vtText::~vtText() {
  if (file_) std::fclose(file_);
}

bool vtText::Open(const std::string& fileName) {
  if (fileName.empty()) return false;
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  fileName_ = fileName;
  openMode_ = Mode;
  pos_ = len_ = 0;
  endOfData_ = false;
  fileSize_ = bytesRead_ = 0;
  if (Mode == vtRead) return OpenForReading(fileName);
  return OpenForWriting(fileName);
}

// A missing or unreadable file fails silently; the extension is checked
// once the file is open.
bool vtText::OpenForReading(const std::string& fileName) {
  file_ = platform::OpenFile(fileName, "rb");
  if (!file_) return false;
  if (!CheckFileExtension(fileName, Extension)) {
    Close();
    return false;
  }
  struct stat st;
  if (::fstat(::fileno(file_), &st) == 0 && st.st_size > 0) fileSize_ = static_cast<std::uint64_t>(st.st_size);
  // Item files are small: a buffer no larger than the file (plus one byte,
  // so that one read sees the end) spares a megabyte per reader.
  const size_t wanted = fileSize_ > 0 && fileSize_ < bufferSize_ ? static_cast<size_t>(fileSize_) + 1 : bufferSize_;
  if (allocated_ != wanted) {
    buffer_.reset(new char[wanted]);
    allocated_ = wanted;
  }
  return true;
}

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
  bool failed = std::fclose(file_) != 0;
  file_ = nullptr;
  if (failed && openMode_ != vtRead) throw vtIOError("cannot close " + fileName_);
}

bool vtText::Fill() {
  if (endOfData_ || !file_ || openMode_ != vtRead) return false;
  len_ = std::fread(buffer_.get(), 1, allocated_, file_);
  pos_ = 0;
  if (len_ == 0) {
    if (std::ferror(file_)) throw vtIOError("cannot read " + fileName_);
    endOfData_ = true;
    return false;
  }
  bytesRead_ += len_;
  if (g_progressHook && fileSize_ > 0) g_progressHook(std::min(1.0, static_cast<double>(bytesRead_) / fileSize_));
  return true;
}

void vtText::SetProgressHook(ProgressHook hook) { g_progressHook = hook; }

bool vtText::Eof() {
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

// Returns the first line end or Ctrl-Z in [p, end), or end; tabs before it
// become blanks, and a '/' before it is noted for the comment tests.
char* ScanLineEnd(char* p, char* end, bool& slash) {
#ifdef __SSE2__
  const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  const __m128i ctrlZ = _mm_set1_epi8(kCtrlZ), solidus = _mm_set1_epi8('/');
  const __m128i tabToBlank = _mm_set1_epi8('\t' ^ ' ');
  for (; end - p >= 16; p += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i tabs = _mm_cmpeq_epi8(v, tab);
    if (_mm_movemask_epi8(tabs)) {  // blanks past the line end are harmless: later lines want them too
      v = _mm_xor_si128(v, _mm_and_si128(tabs, tabToBlank));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    const __m128i stops =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, ctrlZ));
    const unsigned stopMask = static_cast<unsigned>(_mm_movemask_epi8(stops));
    const unsigned slashMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, solidus)));
    if (stopMask) {
      const unsigned at = static_cast<unsigned>(__builtin_ctz(stopMask));
      if (slashMask & ((1u << at) - 1)) slash = true;
      return p + at;
    }
    if (slashMask) slash = true;
  }
#endif
  for (; p < end; ++p) {
    const char c = *p;
    if (c == '\t')
      *p = ' ';
    else if (c == '\n' || c == '\r' || c == kCtrlZ)
      break;
    else if (c == '/')
      slash = true;
  }
  return p;
}

}  // namespace

// One physical line into Line, tabs made blanks, the line end consumed.
void vtText::ReadPhysicalLine() {
  Line.clear();
  lineHasSlash_ = false;
  for (;;) {
    if (pos_ == len_ && !Fill()) return;
    char* begin = buffer_.get() + pos_;
    char* end = buffer_.get() + len_;
    char* p = ScanLineEnd(begin, end, lineHasSlash_);
    Line.append(begin, p - begin);
    pos_ = p - buffer_.get();
    if (p == end) continue;
    if (*p == kCtrlZ) {
      endOfData_ = true;
      len_ = pos_;
      return;
    }
    ++pos_;
    if (*p == '\r') {
      if (pos_ == len_) Fill();
      if (pos_ < len_ && buffer_[pos_] == '\n') ++pos_;
    }
    return;
  }
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
    if (Eof()) {  // the file ends inside a comment block
      Line.clear();
      break;
    }
  }
  return Line.empty() || Line[0] != '#';
}

// The readers test every line for several keys, most of which it does not
// hold: a candidate is checked by its last character before the whole key.
bool vtText::Contains(std::string_view key) const {
  const size_t n = key.size();
  if (n == 0) return true;
  if (n > Line.size()) return false;
  const char* p = Line.data();
  const char* const lastStart = p + (Line.size() - n);
  while (p <= lastStart) {
    p = static_cast<const char*>(std::memchr(p, key[0], static_cast<size_t>(lastStart - p) + 1));
    if (!p) return false;
    if (p[n - 1] == key[n - 1] && std::memcmp(p + 1, key.data() + 1, n - 1) == 0) return true;
    ++p;
  }
  return false;
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

void vtText::SkipPast(char delim) {
  size_t p = Line.rfind(delim);
  size_t count = p == std::string::npos ? 1 : p + 2;
  Line.erase(0, std::min(count, Line.size()));
}

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
  if (a == std::string::npos || a == b) return {};
  return Line.substr(a + 1, b - a - 1);
}

void vtText::SkipThrough(char ch) {
  size_t p = Line.find(ch);
  if (p != std::string::npos) Line.erase(0, p + 1);
}

void vtText::SkipBlanks() {
  if (Line.empty()) return;
  size_t i = 1;
  while (i < Line.size() && Line[i] == ' ') ++i;
  Line.erase(0, i);
}

// A word ends before the first blank at the second position or later;
// without such a blank the rest of the line is the word.
size_t vtText::WordEnd() const {
  if (Line.size() < 2) return Line.size();
  size_t p = Line.find(' ', 1);
  return p == std::string::npos ? Line.size() : p;
}

void vtText::SkipWord() {
  size_t p = Line.find(' ');
  Line.erase(0, p == std::string::npos ? Line.size() : p + 1);
}

std::string vtText::PeekWord() const { return Line.substr(0, WordEnd()); }

std::string vtText::TakeWord() {
  size_t end = WordEnd();
  std::string word = Line.substr(0, end);
  Line.erase(0, end);
  return word;
}

std::string vtText::NextToken() {
  std::string word = TakeWord();
  SkipBlanks();
  return word;
}

float vtText::NextFloat() { return StrToFloatDef(NextToken()); }

std::string vtText::LineInfo() const { return "LINE: " + std::to_string(LineNumber) + "\r" + Line; }

void vtText::ShowLineInfo() const {
  if (GlobalFunc) GlobalFunc->ShowDebug(LineInfo());
}

void vtText::WriteLine(const std::string& s) {
  if (!file_ || openMode_ == vtRead) throw vtIOError("file not open for writing: " + fileName_);
  if (std::fwrite(s.data(), 1, s.size(), file_) != s.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
    throw vtIOError("cannot write " + fileName_);
}
