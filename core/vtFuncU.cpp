#include "core/vtFuncU.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>

#include "core/vtDemoPathU.h"
#include "core/vtTextU.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Title.h"

std::unique_ptr<vtFunc> GlobalFunc;

namespace {

struct TagName {
  vtType Tag;
  const char* Name;
};

// Every tag the conversions know (vt_END is declared but unnamed).
constexpr TagName kTagNames[] = {
    {vt_2D_VTL, "vt_2D_VTL"},     {vt_3D_ASE, "vt_3D_ASE"},
    {vt_BIN, "vt_BIN"},           {vt_BOX, "vt_BOX"},
    {vt_EFFECT00, "vt_EFFECT00"}, {vt_EFFECT01, "vt_EFFECT01"},
    {vt_FACE, "vt_FACE"},         {vt_GEOMETRYDATA, "vt_GEOMETRYDATA"},
    {vt_MATERIAL, "vt_MATERIAL"}, {vt_MESH, "vt_MESH"},
    {vt_NONE, "vt_NONE"},         {vt_NORMAL, "vt_NORMAL"},
    {vt_PATH, "vt_PATH"},         {vt_PLAY, "vt_PLAY"},
    {vt_SKY, "vt_SKY"},           {vt_SPHERE, "vt_SPHERE"},
    {vt_TEXT, "vt_TEXT"},         {vt_TEXTURE, "vt_TEXTURE"},
    {vt_TEXTURECOORD, "vt_TEXTURECOORD"}, {vt_TEXTUREFACE, "vt_TEXTUREFACE"},
    {vt_TORUS, "vt_TORUS"},       {vt_TRANS, "vt_TRANS"},
    {vt_TUNNEL, "vt_TUNNEL"},     {vt_UINT, "vt_UINT"},
    {vt_UNPLAY, "vt_UNPLAY"},     {vt_VERTEX, "vt_VERTEX"},
    {vt_ZIP, "vt_ZIP"},
};

void Box(const char* caption, const std::string& text, platform::MsgIcon icon) {
  platform::ShowMessageBox(caption, text, icon);
}

const char* BoolText(bool b) { return b ? "TRUE" : "FALSE"; }

// Writes "name", the count and one "i<TAB><TAB>values" line per element
// to name + suffix; an empty list only says so on standard output. A null
// suffix (a kind that does not fit the element type) writes nothing.
template <typename T>
void WriteDump(const std::vector<T>& list, const char* suffix, const std::string& name,
               const std::function<std::string(const T&)>& values) {
  if (list.empty()) {
    std::cout << "! List Empty: " << std::endl;
    return;
  }
  if (!suffix) return;
  const std::string fileName = name + suffix;
  std::string text = name + "\r\n" + std::to_string(list.size()) + "\r\n";
  for (size_t i = 0; i < list.size(); ++i) text += std::to_string(i) + "\t\t" + values(list[i]) + "\r\n";
  std::FILE* f = platform::OpenFile(fileName, "wb");
  if (!f) throw vtIOError("cannot create " + fileName);
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw vtIOError("cannot write " + fileName);
  std::cout << "Dump Create: " << fileName << std::endl;
}

const char* SuffixFor(vtType kind, vtType expected, const char* suffix) {
  return kind == expected ? suffix : nullptr;
}

std::string Floats(std::initializer_list<float> values) {
  std::string text;
  for (float v : values) text += (text.empty() ? "" : " ") + FloatToStr(v);
  return text;
}

}  // namespace

vtFunc::vtFunc() : WorkDir(platform::CurrentDirectory()) {}

void vtFunc::ShowDebug() { ShowDebug(std::string("Debug")); }
void vtFunc::ShowDebug(const std::string& s) { Box(kCaptionDebug, s, platform::MsgIcon::Question); }
void vtFunc::ShowDebug(std::int32_t n) { ShowDebug(std::to_string(n)); }
void vtFunc::ShowDebug(std::uint32_t n) { ShowDebug(std::to_string(n)); }
void vtFunc::ShowDebug(float x) { ShowDebug(FloatToStr(x)); }
void vtFunc::ShowDebug(bool b) { ShowDebug(std::string(BoolText(b))); }
void vtFunc::ShowInfo(const std::string& s) { Box(kCaptionInfo, s, platform::MsgIcon::Information); }
void vtFunc::ShowWarning(const std::string& s) { Box(kCaptionWarning, s, platform::MsgIcon::Warning); }

bool vtFunc::Panic(const std::string& s) {
  Box(kCaptionPanic, s, platform::MsgIcon::Error);
  return false;
}

void vtFunc::ShowTitle() { ShowTitle(std::string("Debug")); }
void vtFunc::ShowTitle(const std::string& s) { platform::SetWindowTitle(s); }
void vtFunc::ShowTitle(std::int32_t n) { ShowTitle(std::to_string(n)); }
void vtFunc::ShowTitle(float x) { ShowTitle(FloatToStr(x)); }
void vtFunc::ShowTitle(bool b) { ShowTitle(std::string(BoolText(b))); }

bool vtFunc::CheckExtension(const std::string& fileName, const std::string& expected) {
  size_t dot = fileName.rfind('.');
  std::string ext = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
  if (ext == expected) return true;
  return Panic("Bad File Format: " + expected + "\rFile: " + DemoPath(fileName, WorkDir));
}

void vtFunc::Begin2D(float width, float height) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void vtFunc::End2D() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

float vtFunc::Interpolate(std::int32_t mode, float a, float b, float t) {
  const long double halfPi = 1.57079632679489661923132169163975144L;
  long double d = static_cast<long double>(b) - a;
  switch (mode) {
    case 0: return static_cast<float>(a + d * t);
    case 1: return static_cast<float>(a + d * std::sin(t * halfPi));
    case 2: return static_cast<float>(a + d * (1 - std::sin(halfPi + t * halfPi)));
    default: return 0;
  }
}

vtType vtFunc::TypeFromName(const std::string& name) {
  for (const TagName& t : kTagNames)
    if (name == t.Name) return t.Tag;
  return vt_NONE;
}

std::string vtFunc::NameFromType(vtType tag) {
  for (const TagName& t : kTagNames)
    if (tag == t.Tag) return t.Name;
  return "";
}

void vtFunc::DumpList(const std::vector<vtFace>& list, vtType kind, const std::string& name) {
  WriteDump<vtFace>(list, SuffixFor(kind, vt_FACE, "-face.d"), name, [](const vtFace& f) {
    return std::to_string(f.A) + " " + std::to_string(f.B) + " " + std::to_string(f.C);
  });
}

void vtFunc::DumpList(const std::vector<vtGeom>& list, vtType kind, const std::string& name) {
  WriteDump<vtGeom>(list, SuffixFor(kind, vt_GEOMETRYDATA, "-gdata.d"), name, [](const vtGeom& g) {
    return Floats({g.Position.X, g.Position.Y, g.Position.Z, g.Normal.X, g.Normal.Y, g.Normal.Z,
                   g.TexCoord.U, g.TexCoord.V, g.TexCoord.W});
  });
}

void vtFunc::DumpList(const std::vector<vtVec3D>& list, vtType kind, const std::string& name) {
  const char* suffix = kind == vt_NORMAL ? "-normal.d" : kind == vt_VERTEX ? "-vertex.d" : nullptr;
  WriteDump<vtVec3D>(list, suffix, name, [](const vtVec3D& v) { return Floats({v.X, v.Y, v.Z}); });
}

void vtFunc::DumpList(const std::vector<vtTexC>& list, vtType kind, const std::string& name) {
  WriteDump<vtTexC>(list, SuffixFor(kind, vt_TEXTURECOORD, "-textcoord.d"), name,
                    [](const vtTexC& t) { return Floats({t.U, t.V, t.W}); });
}

void vtFunc::DumpList(const std::vector<std::uint32_t>& list, vtType kind, const std::string& name) {
  WriteDump<std::uint32_t>(list, SuffixFor(kind, vt_UINT, "-uint.d"), name,
                           [](const std::uint32_t& n) { return "\"" + std::to_string(n) + "\""; });
}
