// The engine's utility object: process-wide state (working directory,
// window handle, stream mode) and the small services every unit uses:
// message boxes, title output, the file-format check, the 2D projection,
// interpolation, the type-tag conversions and the geometry dumps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/vtTypeU.h"

// Type tags: spaced values, stored in 16 bits and compared for equality only.
enum vtType : std::uint16_t {
  vt_2D_VTL = 100,
  vt_3D_ASE = 200,
  vt_BIN = 250,
  vt_BOX = 300,
  vt_END = 400,
  vt_EFFECT00 = 500,
  vt_EFFECT01 = 600,
  vt_FACE = 700,
  vt_GEOMETRYDATA = 800,
  vt_MATERIAL = 900,
  vt_MESH = 1000,
  vt_NONE = 1200,
  vt_NORMAL = 1300,
  vt_PATH = 1400,
  vt_PLAY = 1600,
  vt_SKY = 1700,
  vt_SPHERE = 1800,
  vt_TEXT = 1850,
  vt_TEXTURE = 1900,
  vt_TEXTURECOORD = 2000,
  vt_TEXTUREFACE = 2100,
  vt_TORUS = 2200,
  vt_TRANS = 2300,
  vt_TUNNEL = 2400,
  vt_UINT = 2500,
  vt_UNPLAY = 2600,
  vt_VERTEX = 2700,
  vt_ZIP = 2800,
};

// Captions of the engine's message boxes.
inline constexpr const char* kCaptionDebug = "VortaneE Debug";
inline constexpr const char* kCaptionInfo = "VortaneE Information";
inline constexpr const char* kCaptionWarning = "VortaneE Warning";
inline constexpr const char* kCaptionPanic = "VortaneF Panic";

class vtFunc {
 public:
  vtFunc();

  void* DeviceContext = nullptr;  // the window the demo draws into (platform handle)
  std::string WorkDir;            // current directory at construction
  vtType StreamMode = vt_BIN;     // VT_STREAM_MODE; read by nothing else

  // Message boxes (modal, OK button only).
  void ShowDebug();
  void ShowDebug(const std::string& s);
  void ShowDebug(const char* s) { ShowDebug(std::string(s)); }
  void ShowDebug(std::int32_t n);
  void ShowDebug(std::uint32_t n);
  void ShowDebug(float x);
  void ShowDebug(bool b);
  void ShowInfo(const std::string& s);
  void ShowWarning(const std::string& s);
  bool Panic(const std::string& s);  // always false

  // Debug output in the active window's title.
  void ShowTitle();
  void ShowTitle(const std::string& s);
  void ShowTitle(const char* s) { ShowTitle(std::string(s)); }
  void ShowTitle(std::int32_t n);
  void ShowTitle(float x);
  void ShowTitle(bool b);

  // True when the part of fileName behind its last '.' is exactly expected;
  // otherwise the panic box "Bad File Format: ..." and false.
  bool CheckExtension(const std::string& fileName, const std::string& expected);

  // Pixel-exact 2D projection: both matrices pushed, origin bottom left.
  void Begin2D(float width, float height);
  void End2D();

  // a..b at t by mode: 0 linear, 1 sine (fast start), 2 cosine (slow start), else 0.
  float Interpolate(std::int32_t mode, float a, float b, float t);

  vtType TypeFromName(const std::string& name);
  std::string NameFromType(vtType tag);

  // Geometry dumps: a developer tool writing a list to "<name>-<kind>.d".
  // A kind that does not fit the element type writes nothing.
  void DumpList(const std::vector<vtFace>& list, vtType kind, const std::string& name);
  void DumpList(const std::vector<vtGeom>& list, vtType kind, const std::string& name);
  void DumpList(const std::vector<vtVec3D>& list, vtType kind, const std::string& name);
  void DumpList(const std::vector<vtTexC>& list, vtType kind, const std::string& name);
  void DumpList(const std::vector<std::uint32_t>& list, vtType kind, const std::string& name);
};

extern std::unique_ptr<vtFunc> GlobalFunc;
