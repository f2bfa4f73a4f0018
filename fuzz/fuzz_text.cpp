// Drives every operation of the line reader over arbitrary file contents:
// line ends, Ctrl-Z, comment blocks, huge lines, and the value cuts and
// conversions on whatever lines come out.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "platform/MessageBox.h"

namespace {

std::string TempFile() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/vt_fuzz_text_" + std::to_string(::getpid()) + ".vtx";
}

// A fresh file each time: truncating one in place makes some file systems
// flush it to disk on close, which slows the fuzzer down many times.
bool WriteFile(const std::string& path, const std::uint8_t* data, size_t size) {
  ::unlink(path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// The delimiter for the cuts comes from the line itself, so every
// character gets its turn.
char DelimiterOf(const std::string& line) { return line.empty() ? 'S' : line[line.size() / 2]; }

void Exercise(vtText& text) {
  const std::string line = text.Line;
  const char delim = DelimiterOf(line);
  text.Contains("VT_");
  text.ReadQuoted();
  text.PeekWord();
  text.LineInfo();
  try {
    text.ReadInt(delim);
  } catch (const vtConvertError&) {
  }
  text.Line = line;
  try {
    text.ReadBool(delim);
  } catch (const vtConvertError&) {
  }
  text.Line = line;
  text.ReadFloat(delim);
  text.Line = line;
  try {
    text.ToFloat(line);
  } catch (const vtConvertError&) {
  }
  // Word by word until the line is used up, as the vector readers do.
  for (int i = 0; i < 64 && !text.Line.empty(); ++i) {
    switch (i % 6) {
      case 0: text.NextFloat(); break;
      case 1: text.NextToken(); break;
      case 2: text.TakeWord(); break;
      case 3: text.SkipBlanks(); break;
      case 4: text.SkipWord(); break;
      case 5: text.SkipThrough(delim); break;
    }
  }
  text.Line = line;
  text.SkipPast(delim);
  StrToFloatDef(line);
}

// The first byte picks the read buffer's size, mostly tiny so that line
// ends, Ctrl-Z and comment markers fall on buffer boundaries.
size_t BufferSizeFor(std::uint8_t choice) { return choice >= 0xC0 ? 4096 : 1 + choice % 64; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Panics from the name check must never block on a box.
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return platform::MsgAnswer::Ok; });
  GlobalFunc = std::make_unique<vtFunc>();
  return 0;
}

// Reads the whole file the way the loaders do and records what each
// ReadLine handed out; the value operations run on every line.
std::vector<std::string> ReadAll(const std::string& path, size_t bufferSize, size_t maxLines,
                                 vtText::ReadAhead readAhead) {
  vtText text("vtx");
  text.SetBufferSize(bufferSize);
  text.SetReadAhead(readAhead);
  if (!text.Open(path)) std::abort();
  std::vector<std::string> seen;
  while (!text.Eof()) {
    bool isValue = text.ReadLine();
    seen.push_back(std::to_string(text.LineNumber) + (isValue ? "+" : "#") + text.Line);
    Exercise(text);
    if (seen.size() > maxLines) std::abort();  // reading must make progress
  }
  text.ReadLine();  // after the end: an empty line, no hang
  if (!text.Line.empty()) std::abort();
  text.Close();
  return seen;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static const std::string path = TempFile();
  if (size == 0) return 0;
  if (!WriteFile(path, data + 1, size - 1)) return 0;
  // However the buffer cuts the file, read in place or ahead, the lines must be the same.
  const auto readAhead = data[0] & 0x80 ? vtText::ReadAhead::Always : vtText::ReadAhead::Never;
  if (ReadAll(path, BufferSizeFor(data[0]), size, readAhead) != ReadAll(path, size + 1, size, vtText::ReadAhead::Never))
    std::abort();
  return 0;
}
