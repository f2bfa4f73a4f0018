#include "scene/vtSceneASEU.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/vtFaultU.h"
#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "core/vtKeysU.h"
#include "core/vtLoadPipelineU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtLogU.h"
#include "core/vtScopeEndU.h"
#include "platform/Memory.h"

namespace Keys = vtSceneKeys;

namespace {

// The reader's cutting operations (vtText SkipPast, SkipThrough, SkipBlanks,
// SkipWord, PeekWord, NextToken, NextFloat) on a view of the current line.
// The geometry lines are never looked at again after their cuts, so they
// are cut here without rewriting the line itself.
class LineCut {
 public:
  explicit LineCut(std::string_view line) : rest_(line) {}

  std::string_view Rest() const { return rest_; }

  void SkipPast(char delim) { Drop(CutBehindLast(rest_, delim)); }
  void SkipThrough(char ch) {
    const size_t p = rest_.find(ch);
    if (p != std::string_view::npos) Drop(p + 1);
  }
  void SkipBlanks() {
    if (rest_.empty()) return;
    size_t i = 1;
    while (i < rest_.size() && rest_[i] == ' ') ++i;
    Drop(i);
  }
  void SkipWord() {
    const size_t p = rest_.find(' ');
    Drop(p == std::string_view::npos ? rest_.size() : p + 1);
  }
  // Deletes through the first blank at the second character or later.
  void SkipIndex() { Drop(WordEnd() + 1); }
  std::string_view PeekWord() const { return rest_.substr(0, WordEnd()); }
  std::string_view NextToken() {
    const std::string_view word = PeekWord();
    Drop(word.size());
    SkipBlanks();
    return word;
  }
  float NextFloat() {
    size_t length = 0;
    const float value = WordAsFloat(rest_, length);
    Drop(length);
    SkipBlanks();
    return value;
  }
  float RestAsFloat() const { return StrToFloatDef(rest_); }
  // PeekWord and NextToken converted by the reader's ToInt.
  std::int32_t PeekInt(const vtText& reader) const {
    size_t length = 0;
    return reader.WordAsInt(rest_, length);
  }
  std::int32_t NextInt(const vtText& reader) {
    size_t length = 0;
    const std::int32_t value = reader.WordAsInt(rest_, length);
    Drop(length);
    SkipBlanks();
    return value;
  }
  // Deletes through the last ch; nothing without one.
  void SkipThroughLast(char ch) {
    const void* at = rest_.empty() ? nullptr : ::memrchr(rest_.data(), ch, rest_.size());  // rfind goes bytewise
    if (at) Drop(static_cast<size_t>(static_cast<const char*>(at) - rest_.data()) + 1);
  }

 private:
  size_t WordEnd() const {
    if (rest_.size() < 2) return rest_.size();
    const size_t p = rest_.find(' ', 1);
    return p == std::string_view::npos ? rest_.size() : p;
  }
  void Drop(size_t count) { rest_.remove_prefix(count < rest_.size() ? count : rest_.size()); }

  std::string_view rest_;
};

// The file's shine (0 to 1) as the OpenGL exponent (0 to 128). Some
// exporters write the exponent itself; OpenGL refuses values outside its
// range and would keep the previous object's, so they are clamped.
float ShininessOf(float shine) {
  const double exponent = shine * 128.0;
  return static_cast<float>(exponent < 0.0 ? 0.0 : exponent > 128.0 ? 128.0 : exponent);
}

// 3ds Max writes "*MESH_FACE    0:    A:    0 B: ...". Q3Map2 leaves out
// the colon behind the face number ("*MESH_FACE 0 A: 0 B: ..."), so there
// two words stand before the first colon, which already ends the first label.
bool FaceNumberHasColon(std::string_view line) {
  constexpr std::string_view kTag = Keys::Face.Name;
  const size_t tag = line.find(kTag);
  const size_t colon = line.find(':');
  if (tag == std::string_view::npos || colon == std::string_view::npos || colon < tag) return true;
  const std::string_view before = line.substr(tag + kTag.size(), colon - tag - kTag.size());
  const size_t word = before.find_first_not_of(' ');
  const size_t gap = word == std::string_view::npos ? word : before.find(' ', word);
  return gap == std::string_view::npos || before.find_first_not_of(' ', gap) == std::string_view::npos;
}

// The first line end, brace, '/', Ctrl-Z or also (a line end counts
// already) from p on, or end. Reads whole 16-byte blocks: the reader's
// buffer can be read behind its end.
const char* FindStop(const char* p, const char* end, char also) {
#ifdef __SSE2__
  const __m128i lineEnd = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), opens = _mm_set1_epi8('{'),
                closes = _mm_set1_epi8('}'), slash = _mm_set1_epi8('/'), ctrlZ = _mm_set1_epi8(26),
                other = _mm_set1_epi8(also);
  for (; p < end; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(v, lineEnd), _mm_cmpeq_epi8(v, cr));
    const __m128i braces = _mm_or_si128(_mm_cmpeq_epi8(v, opens), _mm_cmpeq_epi8(v, closes));
    const __m128i rest = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, ctrlZ)),
                                      _mm_cmpeq_epi8(v, other));
    const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(ends, braces), rest)));
    if (hits) return std::min(p + __builtin_ctz(hits), end);
  }
  return end;
#else
  while (p < end && *p != '\n' && *p != '\r' && *p != '{' && *p != '}' && *p != '/' && *p != 26 && *p != also) ++p;
  return p;
#endif
}

bool IsDigit(char c) { return vtTextDetail::DigitValue(c) < 10; }

// One load per byte of a blank run instead of two compares.
struct BlankTable {
  bool Blank[256];
  constexpr BlankTable() : Blank() { Blank[unsigned{' '}] = Blank[unsigned{'\t'}] = true; }
};
constexpr BlankTable kBlanks;
bool IsBlank(char c) { return kBlanks.Blank[static_cast<unsigned char>(c)]; }

// Whether the four bytes at p are digits and the fifth is none: read as
// one word, as the usual fraction ("0.7168") is.
bool FourDigitsEnd(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  constexpr std::uint32_t kHigh = 0xF0F0F0F0u, kDigitHigh = 0x30303030u;
  return (word & kHigh) == kDigitHigh && ((word + 0x06060606u) & kHigh) == kDigitHigh && !IsDigit(p[4]);
}

// The four digits at p: the neighbours merged pairwise, then the pairs.
std::uint64_t FourDigitsValue(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  word &= 0x0F0F0F0Fu;
  word = word * 10 + (word >> 8);
  return (word & 0xFFu) * 100 + ((word >> 16) & 0xFFu);
}

// ScanShortDecimal on the reader's buffer, whose end mark stops the digit
// loops: the same digits, so the same bits. Inline (a hint the compiler
// takes): the call cost a tenth of the conversion.
inline bool ScanBufferDecimal(const char*& at, float& value) {
  using vtTextDetail::DigitValue;
  const char* p = at;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  const char* const first = p;
  std::uint64_t digits = 0;
  for (; IsDigit(*p); ++p) digits = digits * 10 + DigitValue(*p);
  size_t count = static_cast<size_t>(p - first), decimals = 0;
  if (*p == '.') {
    const char* const fraction = ++p;
    if (FourDigitsEnd(p)) {
      digits = digits * 10000 + FourDigitsValue(p);
      p += 4;
    }
    for (; IsDigit(*p); ++p) digits = digits * 10 + DigitValue(*p);
    decimals = static_cast<size_t>(p - fraction);
    count += decimals;
  }
  at = p;
  if (count == 0 || count > vtTextDetail::kShortDigits) return false;
  return vtTextDetail::ShortDecimalValue(digits, decimals, negative, value);
}

// A list line of the shape the exporters write, parsed where it lies in
// the reader's buffer; a blank is a blank or a tab. Each test that fails
// leaves the line to the generic reader. The buffer's end mark (see
// vtText::Unread) ends the runs of blanks and digits.
class ShapeCursor {
 public:
  ShapeCursor(const char* at, const char* end) : p_(at), end_(end) {}
  const char* At() const { return p_; }

  // The loops run on locals: p_'s address is taken, so it lives in memory.
  size_t Blanks() {
    const char* p = p_;
    while (IsBlank(*p)) ++p;
    const size_t count = static_cast<size_t>(p - p_);
    p_ = p;
    return count;
  }
  bool Blanks(size_t least, size_t most = SIZE_MAX) {
    const size_t count = Blanks();
    return count >= least && count <= most;
  }
  bool Key(std::string_view key) {
    if (static_cast<size_t>(end_ - p_) < key.size() || std::memcmp(p_, key.data(), key.size()) != 0) return false;
    p_ += key.size();
    return true;
  }
  size_t Digits() {
    const char* p = p_;
    while (IsDigit(*p)) ++p;
    const size_t count = static_cast<size_t>(p - p_);
    p_ = p;
    return count;
  }
  bool Char(char c) {
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }
  bool Decimal(float& value) { return ScanBufferDecimal(p_, value); }
  bool Integer(std::int32_t& value) { return ScanShortInteger(p_, end_, value); }
  // Through the line's next c, passing nothing the reader's tests react to.
  // A one-letter label ("A:") is passed without the search.
  bool Through(char c) {
    if (p_[0] >= 'A' && p_[0] <= 'Z' && p_[1] == c) {  // p_[1] lies at most at the end mark
      p_ += 2;
      return true;
    }
    p_ = FindStop(p_, end_, c);
    return Char(c);
  }
  // The rest of the line, holding nothing the reader's tests react to (nor
  // a star, unless starsToo), then its end.
  bool Rest(bool starsToo) {
    p_ = FindStop(p_, end_, starsToo ? '\n' : '*');
    return LineEnd();
  }
  // "\n" or "\r\n", both in the buffer.
  bool LineEnd() {
    const size_t length = p_ < end_ && *p_ == '\r' ? 2 : 1;
    if (static_cast<size_t>(end_ - p_) < length || p_[length - 1] != '\n') return false;
    p_ += length;
    return true;
  }

 private:
  const char* p_;
  const char* end_;
};

// The shapes accept only lines that ReadVertex and the others read the same
// way; the blanks they allow around an index are those the generic cuts
// pass over. Nothing may follow the last value, which reads as a whole rest.

// "*MESH_VERTEX    0\t1.0\t2.0\t3.0"
bool VertexShape(ShapeCursor& c, vtVec3D& v) {
  if (!c.Blanks(0) || !c.Key(Keys::Vertex.Name)) return false;
  const size_t blanks = c.Blanks(), digits = c.Digits();
  return blanks >= 1 && digits >= 1 && (blanks >= 2 || digits >= 2) && c.Blanks(1, 2) && c.Decimal(v.X) &&
         c.Blanks(1) && c.Decimal(v.Y) && c.Blanks(1) && c.Decimal(v.Z) && c.LineEnd();
}

// "*MESH_VERTEXNORMAL 0\t1.0\t2.0\t3.0"
bool NormalShape(ShapeCursor& c, vtVec3D& n) {
  return c.Blanks(0) && c.Key(Keys::VertexNormal.Name) && c.Blanks(1, 1) && c.Digits() > 0 && c.Blanks(1, 2) &&
         c.Decimal(n.X) && c.Blanks(1) && c.Decimal(n.Y) && c.Blanks(1) && c.Decimal(n.Z) && c.LineEnd();
}

// "*MESH_TVERT 0\t1.0\t2.0\t3.0"
bool TexVertexShape(ShapeCursor& c, vtTexC& t) {
  return c.Blanks(0) && c.Key(Keys::TexVertex.Name) && c.Blanks(1, 2) && c.Digits() > 0 && c.Blanks(1, 2) &&
         c.Decimal(t.U) && c.Blanks(1) && c.Decimal(t.V) && c.Blanks(1) && c.Decimal(t.W) && c.LineEnd();
}

// "*MESH_TFACE 0\t1\t2\t3"
bool TexFaceShape(ShapeCursor& c, vtFace& f) {
  return c.Blanks(0) && c.Key(Keys::TexFace.Name) && c.Blanks(1, 1) && c.Digits() > 0 && c.Blanks(1, 2) &&
         c.Integer(f.A) && c.Blanks(1) && c.Integer(f.B) && c.Blanks(1) && c.Integer(f.C) && c.LineEnd();
}

// "*MESH_FACE    0:    A:    1 B:    2 C:    3 AB: ..." (a colon behind
// the face number; whatever follows C's index is passed over).
bool FaceShape(ShapeCursor& c, vtFace& f) {
  if (!c.Blanks(0) || !c.Key(Keys::Face.Name) || !c.Blanks(1) || c.Digits() == 0 || !c.Char(':')) return false;
  for (std::int32_t* index : {&f.A, &f.B, &f.C})
    if (!c.Blanks(0) || !c.Through(':') || !c.Blanks(1) || !c.Integer(*index) || (index != &f.C && !c.Blanks(1))) return false;
  return c.LineEnd() || (c.Blanks(1) && c.Rest(true));
}

// A list line that holds no item: one star, where no item's key starts.
bool NoItemShape(ShapeCursor& c, std::string_view item) {
  if (!c.Blanks(0) || !c.Char('*')) return false;
  ShapeCursor key = c;
  return !key.Key(item.substr(1)) && c.Rest(false);
}

// The lines from begin on, while each is an item of its shape (parsed
// into list) or holds no item; lines := how many. Returns where the first
// other line starts.
template <typename Item, typename Shape>
const char* ParseShapedRun(const char* begin, const char* end, std::string_view item, Shape shape,
                           std::vector<Item>& list, std::int32_t& lines) {
  const char* next = begin;
  for (;; ++lines) {
    ShapeCursor line(next, end);
    Item value;
    if (shape(line, value)) {
      list.push_back(value);
      next = line.At();
      continue;
    }
    // A cursor of its own: one whose address escapes into a call lives in
    // memory, and the item cursor's position stays in a register.
    ShapeCursor other(next, end);
    if (!NoItemShape(other, item)) break;
    next = other.At();
  }
  return next;
}

// The list lines that follow in the reader's buffer, while each is an item
// of its shape or holds no item.
template <typename Item, typename Shape>
void TakeShapedLines(vtText& reader, std::string_view item, Shape shape, std::vector<Item>& list) {
  const std::string_view unread = reader.Unread();
  if (unread.empty()) return;
  const char* const begin = unread.data();
  std::int32_t lines = 0;
  const char* const stop = ParseShapedRun(begin, begin + unread.size(), item, shape, list, lines);
  reader.TakeLines(static_cast<size_t>(stop - begin), lines);
}

}  // namespace

void vtSceneASE::Render(float time) {
  if (Loaded) vtScene::Render(time);
}

void vtSceneASE::LoadFromFile() {
  vtLoadPipeline* pipeline = vtLoadPipeline::Active();
  if (pipeline && pipeline->Parallel()) {
    LoadPipelined(*pipeline);
    return;
  }
  ReadFile();
  Build();
}

bool vtSceneASE::ReadFile() {
  Reader.Extension = "ase";
  if (!Reader.Open(FileName)) return false;
  ReadOpenFile();
  return true;
}

void vtSceneASE::ReadOpenFile() {
  atEnd_ = false;
  try {
    while (!Reader.Eof()) {
      Reader.ReadLine();
      ReadHeader();
      ReadComment();
      SkipScene();
      ReadMaterialList();
      ReadGeomObject();
    }
  } catch (...) {
    Reader.Close();
    throw;
  }
  Reader.Close();
  Loaded = true;
}

namespace {

// Objects read but not yet built: the reader waits beyond this many, so a
// file is never held whole twice (as read and as built).
constexpr int kObjectsInFlight = 2;

}  // namespace

// The worker reads; this thread runs what the worker hands over, in order,
// until the worker has ended. A failure of either side is raised once both
// have stopped, before any warning of the build, as without a pipeline.
void vtSceneASE::LoadPipelined(vtLoadPipeline& pipeline) {
  Reader.Extension = "ase";
  if (!Reader.Open(FileName)) return;  // on this thread: it may show the bad-extension box
  if (Reader.BytesLeft() <= Reader.BufferSize()) {  // one block: handing it over costs more than it saves
    ReadOpenFile();
    Build();
    return;
  }
  std::mutex mutex;
  std::condition_variable built;
  int inFlight = 0;                    // guarded by mutex
  bool readingEnded = false;           // this thread's
  std::exception_ptr readError, mainError;
  std::vector<std::string> refusals;  // this thread's
  size_t perVertex = 0, perFace = 0;   // this thread's

  Reader.ReportProgressTo([&pipeline](double fraction) {
    pipeline.PostToMain([fraction] { vtText::ReportProgress(fraction); });
  });
  loadTexture_ = [&](vtTexture& texture, const std::string& name) {
    pipeline.PostToMain([this, &texture, name] {
      texture.SetFileName(name);
      texture.Load(FileName);
    });
  };
  objectRead_ = [&](vtMesh& object) {
    std::string problem = object.ResolveGeometry();
    {
      std::unique_lock<std::mutex> lock(mutex);
      built.wait(lock, [&] { return inFlight < kObjectsInFlight; });
      ++inFlight;
    }
    pipeline.PostToMain([&, problem] {
      // However the building ends, the reader may go on (and so end).
      const auto handedBack = OnScopeEnd([&] {
        {
          std::lock_guard<std::mutex> lock(mutex);
          --inFlight;
        }
        built.notify_all();
      });
      vtFaultPoint("ase.build");
      if (problem.empty()) {
        vtLoadPhaseScope phase(vtLoadPhase::DisplayLists);
        object.ListsWanted = ListsDrawn(object);
        object.BuildLists();
        perVertex += object.NormalSource == vtMesh::NormalRule::PerVertex;
        perFace += object.NormalSource == vtMesh::NormalRule::PerFace;
      } else {
        object.NoteRefusal(problem);
        refusals.push_back(object.RefusalText(problem));
      }
    });
  };
  pipeline.RunOnWorker([&] {
    try {
      ReadOpenFile();
    } catch (...) {
      readError = std::current_exception();
    }
    pipeline.PostToMain([&] { readingEnded = true; });
  });
  while (!readingEnded) {
    try {
      pipeline.WaitAndRunMainTasks();
    } catch (...) {
      if (!mainError) mainError = std::current_exception();
    }
  }
  loadTexture_ = nullptr;
  objectRead_ = nullptr;
  Reader.ReportProgressTo(nullptr);
  if (readError) std::rethrow_exception(readError);
  if (mainError) std::rethrow_exception(mainError);
  for (const std::string& refusal : refusals)
    if (GlobalFunc) GlobalFunc->ShowWarning(refusal);
  LogNormalRules(perVertex, perFace);
}

void vtSceneASE::Build() {
  if (!Loaded) return;
  size_t perVertex = 0, perFace = 0;
  for (auto& object : Objects) {
    object->ListsWanted = ListsDrawn(*object);
    if (!object->BuildGeometry()) continue;
    perVertex += object->NormalSource == vtMesh::NormalRule::PerVertex;
    perFace += object->NormalSource == vtMesh::NormalRule::PerFace;
  }
  LogNormalRules(perVertex, perFace);
}

// Objects drawn without three normals per face are worth a line: their
// shading is the player's guess, not the artist's.
void vtSceneASE::LogNormalRules(size_t perVertex, size_t perFace) const {
  if ((!GlobalLog && !FindingsWanted()) || perVertex + perFace == 0) return;
  auto objects = [](size_t n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? " object " : " objects ") + (n == 1 ? one : many);
  };
  std::string text = "fewer than three normals per face: ";
  if (perVertex) text += objects(perVertex, "takes", "take") + " the normal of each corner's vertex";
  if (perVertex && perFace) text += ", ";
  if (perFace) text += objects(perFace, "gets", "get") + " a flat normal per face";
  ReportFinding({FileName, 0, "derived-normals", vtSeverity::Warning, text});
  if (GlobalLog) GlobalLog->Info(text + " (" + FileName + ")", "vtSceneASE.Build");
}

void vtSceneASE::Advance() {
  if (atEnd_ || Reader.Eof()) {
    atEnd_ = true;
    return;
  }
  Reader.ReadLine();
}

bool vtSceneASE::OpensBlock() const { return Reader.Holds('{') && !Closes(); }

void vtSceneASE::SkipBlock() {
  int depth = 0;
  for (;;) {
    if (Reader.Holds('{')) ++depth;
    if (Closes()) --depth;
    if (depth <= 0 || atEnd_) return;
    Advance();
  }
}

bool vtSceneASE::SkippedBlock() {
  if (!OpensBlock()) return false;
  SkipBlock();
  Advance();
  return true;
}

bool vtSceneASE::OpensMeshList() const {
  return Has(Keys::VertexList.Name) || Has(Keys::FaceList.Name) || Has(Keys::TexVertexList.Name) ||
         Has(Keys::TexFaceList.Name) || Has(Keys::Normals.Name);
}

bool vtSceneASE::Closes() const { return Reader.Holds('}'); }

void vtSceneASE::ReadHeader() {
  if (!atEnd_ && Has(Keys::Header.Name)) Advance();
}

void vtSceneASE::ReadComment() {
  if (!atEnd_ && Has(Keys::Comment.Name)) Advance();
}

void vtSceneASE::SkipScene() {
  if (atEnd_ || !Has(Keys::Scene.Name)) return;
  while (!atEnd_ && !Closes()) Advance();
  Advance();
}

// The list's opening line itself contains "*MATERIAL", so the first material
// starts there and reads on through the first entry. A list that closes
// before any entry yields no material and ends at its own closing line.
void vtSceneASE::ReadMaterialList() {
  if (atEnd_ || !Has(Keys::MaterialList.Name)) return;
  bool first = true;
  for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
    if (IsMaterialEntry()) {
      Materials.push_back(std::make_unique<vtMat>());
      CurrentMaterial = Materials.back().get();
      const bool hadEntry = ReadMaterial();
      if (first && !hadEntry) {
        Materials.pop_back();
        CurrentMaterial = Materials.empty() ? nullptr : Materials.back().get();
        return;
      }
      first = false;
    } else if (!opening && OpensBlock()) {
      SkipBlock();
    }
    Advance();
  }
}

bool vtSceneASE::IsMaterialEntry() const { return Has(Keys::Material.Name) && !Has(Keys::MaterialCount.Name); }

bool vtSceneASE::ReadMaterial() {
  vtMat& m = *CurrentMaterial;
  bool hadEntry = false;
  for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
    if (!opening && IsMaterialEntry()) {
      hadEntry = true;
    } else if (!opening && OpensBlock() && !Has(Keys::DiffuseMap.Name) && !Has(Keys::ReflectMap.Name)) {
      SkipBlock();
      Advance();
      continue;
    }
    if (Has(Keys::MaterialName.Name)) m.Name = Reader.ReadQuoted();
    if (Has(Keys::Ambient.Name)) ReadAmbient();
    if (Has(Keys::Diffuse.Name)) ReadDiffuse();
    if (Has(Keys::Specular.Name)) ReadSpecular();
    if (Has(Keys::Shine.Name) && !Has(Keys::ShineStrength.Name))
      m.Shininess = ShininessOf(Reader.ReadFloat(Keys::Shine.Cut()));
    if (Has(Keys::Transparency.Name)) m.Transparency = Reader.ReadFloat(Keys::Transparency.Cut());
    if (Has(Keys::DiffuseMap.Name)) {
      m.DiffuseMap = std::make_unique<vtDiffuseMap>();
      ReadMap(*m.DiffuseMap);
      if (atEnd_) break;
    }
    if (Has(Keys::ReflectMap.Name)) {
      m.ReflectMap = std::make_unique<vtReflectMap>();
      ReadMap(*m.ReflectMap);
      if (atEnd_) break;
    }
    Advance();
  }
  return hadEntry;
}

void vtSceneASE::ReadMap(vtMap& map) {
  for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
    if (!opening && SkippedBlock()) continue;
    if (Has(Keys::Bitmap.Name) && !Has(Keys::BitmapFilter.Name)) {
      if (loadTexture_) {
        loadTexture_(*map.Texture, Reader.ReadQuoted());
      } else {
        map.Texture->SetFileName(Reader.ReadQuoted());
        const vtFindingPlace place(Reader.FileName(), Reader.LineNumber);
        map.Texture->Load(FileName);
      }
    }
    if (Has(Keys::OffsetU.Name)) map.OffsetU = Reader.ReadFloat(Keys::OffsetU.Cut());
    if (Has(Keys::OffsetV.Name)) map.OffsetV = Reader.ReadFloat(Keys::OffsetV.Cut());
    if (Has(Keys::TilingU.Name)) map.TilingU = Reader.ReadFloat(Keys::TilingU.Cut());
    if (Has(Keys::TilingV.Name)) map.TilingV = Reader.ReadFloat(Keys::TilingV.Cut());
    Advance();
  }
}

void vtSceneASE::ReadGeomObject() {
  if (atEnd_ || !Has(Keys::Object.Name)) return;
  Objects.push_back(std::make_unique<vtMesh>());
  CurrentObject = Objects.back().get();
  CurrentObject->FileName = FileName;  // so that a refused object names its file
  ReadGeomObjectBlock();
  if (objectRead_) objectRead_(*CurrentObject);
}

void vtSceneASE::ReadGeomObjectBlock() {
  for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
    if (!opening && !Has(Keys::Node.Name) && !Has(Keys::Mesh.Name) && SkippedBlock()) continue;
    if (Has(Keys::Node.Name)) ReadNode();
    if (atEnd_) return;
    if (Has(Keys::Mesh.Name)) ReadMesh();
    if (atEnd_) return;
    if (Has(Keys::MaterialRef.Name)) CurrentObject->MaterialRef = Reader.ReadInt(Keys::MaterialRef.Cut());
    Advance();
  }
}

void vtSceneASE::ReadNode() {
  for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
    if (!opening && SkippedBlock()) continue;
    if (Has(Keys::NodeName.Name)) CurrentObject->Name = Reader.ReadQuoted();
    Advance();
  }
}

void vtSceneASE::ReadMesh() {
  // One data list: its loop runs from its opening line to its closing line
  // and reads every line holding the item tag but not the opening tag.
  auto readList = [this](std::string_view item, std::string_view opener, void (vtSceneASE::*readLine)()) {
    ReserveAnnounced(item);
    for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
      if (!opening && SkippedBlock()) continue;
      if (Has(item) && (opener.empty() || !Has(opener))) (this->*readLine)();
      TakeShapedItems(item);
      Advance();
    }
  };
  for (bool opening = true; !atEnd_ && !Closes(); opening = false) {
    if (!opening && !OpensMeshList() && SkippedBlock()) continue;
    if (Has(Keys::VertexList.Name)) readList(Keys::Vertex.Name, Keys::VertexList.Name, &vtSceneASE::ReadVertex);
    if (!atEnd_ && Has(Keys::FaceList.Name)) readList(Keys::Face.Name, Keys::FaceList.Name, &vtSceneASE::ReadFace);
    if (!atEnd_ && Has(Keys::TexVertexList.Name))
      readList(Keys::TexVertex.Name, Keys::TexVertexList.Name, &vtSceneASE::ReadTexVertex);
    if (!atEnd_ && Has(Keys::TexFaceList.Name))
      readList(Keys::TexFace.Name, Keys::TexFaceList.Name, &vtSceneASE::ReadTexFace);
    if (!atEnd_ && Has(Keys::Normals.Name)) readList(Keys::VertexNormal.Name, {}, &vtSceneASE::ReadVertexNormal);
    if (!atEnd_ && Has(Keys::Count.Name)) NoteAnnouncedCount();
    Advance();
  }
  ReleaseSpareCapacity(*CurrentObject);
  announced_ = {};
}

namespace {

// A list line takes at least this many bytes, so a count the rest of the
// file cannot hold is not believed.
constexpr std::uint64_t kShortestListLine = 16;

// A count the rest of the file cannot hold is not believed. The reserved
// pages are mapped at once: page faults one by one cost a tenth of the
// reading time.
template <typename T>
void Reserve(std::vector<T>& list, std::int64_t count, std::uint64_t bytesLeft) {
  if (count <= 0 || static_cast<std::uint64_t>(count) > bytesLeft / kShortestListLine) return;
  list.reserve(static_cast<size_t>(count));
  platform::PrefaultForWriting(list.data() + list.size(), (list.capacity() - list.size()) * sizeof(T));
}

template <typename T>
void ShrinkWhenSparse(std::vector<T>& list) {
  if (list.capacity() > 2 * list.size() + 64) list.shrink_to_fit();
}

}  // namespace

// The exporters announce each list's length before it; reserving it when the
// list starts saves the copies and fresh pages of a growing list. The count
// lines are only a hint: a malformed one changes nothing.
void vtSceneASE::NoteAnnouncedCount() {
  LineCut cut(Reader.Line);
  cut.SkipThrough('*');
  const std::string_view tag = cut.PeekWord();
  cut.SkipWord();
  std::int32_t count = 0;
  if (!ParseInteger(cut.Rest(), count)) return;
  if (tag == "MESH_NUMVERTEX") announced_.vertices = count;
  if (tag == "MESH_NUMFACES") announced_.faces = count;
  if (tag == "MESH_NUMTVERTEX") announced_.texVertices = count;
  if (tag == "MESH_NUMTVFACES") announced_.texFaces = count;
}

void vtSceneASE::ReserveAnnounced(std::string_view listItem) {
  vtMesh& m = *CurrentObject;
  const std::uint64_t left = Reader.BytesLeft();
  if (listItem == Keys::Vertex.Name) Reserve(m.Vertices, announced_.vertices, left);
  if (listItem == Keys::Face.Name) Reserve(m.Faces, announced_.faces, left);
  if (listItem == Keys::TexVertex.Name) Reserve(m.TexVertices, announced_.texVertices, left);
  if (listItem == Keys::TexFace.Name) Reserve(m.TexFaces, announced_.texFaces, left);
  if (listItem == Keys::VertexNormal.Name) Reserve(m.Normals, 3 * std::int64_t{announced_.faces}, left);
}

// The item lines that follow, read at once while they have the usual shape:
// the generic loop would read them the same way, a line at a time.
void vtSceneASE::TakeShapedItems(std::string_view item) {
  vtMesh& m = *CurrentObject;
  // Lambdas, not function pointers: each run's loop gets its shape inlined.
  if (item == Keys::Vertex.Name)
    TakeShapedLines(Reader, item, [](ShapeCursor& c, vtVec3D& v) { return VertexShape(c, v); }, m.Vertices);
  if (item == Keys::Face.Name)
    TakeShapedLines(Reader, item, [](ShapeCursor& c, vtFace& f) { return FaceShape(c, f); }, m.Faces);
  if (item == Keys::TexVertex.Name)
    TakeShapedLines(Reader, item, [](ShapeCursor& c, vtTexC& t) { return TexVertexShape(c, t); }, m.TexVertices);
  if (item == Keys::TexFace.Name)
    TakeShapedLines(Reader, item, [](ShapeCursor& c, vtFace& f) { return TexFaceShape(c, f); }, m.TexFaces);
  if (item == Keys::VertexNormal.Name)
    TakeShapedLines(Reader, item, [](ShapeCursor& c, vtVec3D& n) { return NormalShape(c, n); }, m.Normals);
}

// A count larger than the list that followed leaves no idle memory behind.
void vtSceneASE::ReleaseSpareCapacity(vtMesh& m) {
  ShrinkWhenSparse(m.Vertices);
  ShrinkWhenSparse(m.Faces);
  ShrinkWhenSparse(m.Normals);
  ShrinkWhenSparse(m.TexVertices);
  ShrinkWhenSparse(m.TexFaces);
}

void vtSceneASE::ReadVertex() {
  LineCut cut(Reader.Line);
  cut.SkipPast(Keys::Vertex.Cut());
  cut.SkipBlanks();
  cut.SkipWord();  // the index
  vtVec3D v;
  v.X = cut.NextFloat();
  v.Y = cut.NextFloat();
  v.Z = cut.RestAsFloat();
  CurrentObject->Vertices.push_back(v);
}

void vtSceneASE::ReadFace() {
  LineCut cut(Reader.Line);
  if (FaceNumberHasColon(Reader.Line)) cut.SkipThrough(':');  // the face number
  cut.SkipThrough(':');                                       // the first label
  std::int32_t index[3];
  for (int i = 0; i < 3; ++i) {
    if (i > 0) cut.SkipThrough(':');
    cut.SkipBlanks();
    index[i] = cut.PeekInt(Reader);
  }
  CurrentObject->Faces.push_back(vtFace{index[0], index[1], index[2]});
}

void vtSceneASE::ReadTexVertex() {
  LineCut cut(Reader.Line);
  cut.SkipPast(Keys::TexVertex.Cut());
  cut.SkipIndex();
  vtTexC t;
  t.U = cut.NextFloat();
  t.V = cut.NextFloat();
  t.W = cut.RestAsFloat();
  CurrentObject->TexVertices.push_back(t);
}

void vtSceneASE::ReadTexFace() {
  LineCut cut(Reader.Line);
  cut.SkipThroughLast('E');
  cut.SkipIndex();  // the blank, the index and the blank after it
  vtFace f;
  f.A = cut.NextInt(Reader);
  f.B = cut.NextInt(Reader);
  f.C = Reader.ToInt(cut.Rest());
  CurrentObject->TexFaces.push_back(f);
}

void vtSceneASE::ReadVertexNormal() {
  LineCut cut(Reader.Line);
  cut.SkipPast(Keys::VertexNormal.Cut());
  cut.SkipWord();  // the vertex index
  vtVec3D n;
  n.X = cut.NextFloat();
  n.Y = cut.NextFloat();
  n.Z = cut.RestAsFloat();
  CurrentObject->Normals.push_back(n);
}

// Material colours: red, green, blue; alpha keeps its value.
void vtSceneASE::ReadColour(float* rgb) {
  rgb[0] = Reader.NextFloat();
  rgb[1] = Reader.NextFloat();
  rgb[2] = StrToFloatDef(Reader.Line);
}

void vtSceneASE::ReadAmbient() {
  Reader.SkipPast(Keys::Ambient.Cut());
  ReadColour(CurrentMaterial->Ambient.data());
}

void vtSceneASE::ReadDiffuse() {
  Reader.SkipPast(Keys::Diffuse.Cut());
  ReadColour(CurrentMaterial->Diffuse.data());
}

void vtSceneASE::ReadSpecular() {
  Reader.SkipPast(Keys::Specular.Cut());
  ReadColour(CurrentMaterial->Specular.data());
}
