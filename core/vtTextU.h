// The line reader and writer behind every description file.
//
// One text file, the current line in the public field Line, and a few
// operations that test the line for a key and cut values out of it in
// place. Loaders run the same loop: open, then while not Eof: ReadLine,
// test Line with Contains for each key, cut the value with one of the
// operations below.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

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
// Decimal integer with optional leading blanks and sign; false when malformed.
bool ParseInteger(std::string_view text, std::int32_t& value);

class vtText {
 public:
  vtText();
  explicit vtText(const std::string& extension);  // CreateWithExtension
  ~vtText();
  vtText(const vtText&) = delete;
  vtText& operator=(const vtText&) = delete;

  vtFileMode Mode = vtRead;
  std::string Extension = "*NOT AVAIL*";
  std::string Line;
  std::int32_t LineNumber = 0;
  bool InComment = false;

  bool Open(const std::string& fileName);
  void Close();
  bool Eof();
  bool ReadLine();  // false for a "#" comment line

  bool Contains(std::string_view s) const;
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

  // The read buffer's size (1 MiB by default), taken at the next Open; tests
  // and the fuzzer shrink it to put line ends on buffer boundaries.
  void SetBufferSize(size_t bytes) { bufferSize_ = bytes > 0 ? bytes : 1; }

  const std::string& FileName() const { return fileName_; }

  // Loading progress: called after each block of a file is read, with the
  // share of the file read so far (0..1). One hook for the whole program.
  using ProgressHook = void (*)(double fraction);
  static void SetProgressHook(ProgressHook hook);
  bool IsOpen() const { return file_ != nullptr; }
  // Bytes of the file not yet handed out as lines (0 when the size is unknown).
  std::uint64_t BytesLeft() const {
    const std::uint64_t consumed = bytesRead_ - (len_ - pos_);
    return fileSize_ > consumed ? fileSize_ - consumed : 0;
  }

 private:
  bool OpenForReading(const std::string& fileName);
  bool OpenForWriting(const std::string& fileName);
  void ReadPhysicalLine();
  bool Fill();
  size_t WordEnd() const;

  std::FILE* file_ = nullptr;
  std::string fileName_;
  vtFileMode openMode_ = vtRead;  // the mode the file was opened in
  std::unique_ptr<char[]> buffer_;
  size_t bufferSize_ = size_t{1} << 20;
  size_t allocated_ = 0;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool endOfData_ = false;  // end of file or Ctrl-Z reached in the buffer
  bool lineHasSlash_ = false;  // the physical line just read holds a '/'
  std::uint64_t fileSize_ = 0;
  std::uint64_t bytesRead_ = 0;
};
