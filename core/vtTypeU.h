// Geometry records: the small value types every drawable thing is built of,
// with their immediate-mode emit operations and debug texts.
#pragma once

#include <cstdint>
#include <string>

// General float text: the shortest form with up to 15 significant digits,
// without an exponent for ordinary magnitudes ("0.5", "100", "0.00001", "1E-6", "1E20").
std::string FloatToStr(double value);

struct vtVec3D {
  float X = 0, Y = 0, Z = 0;

  void Clear() { X = Y = Z = 0; }
  void Assign(const vtVec3D* source);  // a missing source clears
  void EmitVertex() const;
  void EmitNormal() const;
  std::string ToString() const;
};

struct vtTexC {
  float U = 0, V = 0, W = 0;

  void Clear() { U = V = W = 0; }
  void Assign(const vtTexC* source);
  void EmitTexCoord() const;
  std::string ToString() const;
};

struct vtVec2D {
  float X = 0, Y = 0;
  std::string ToString() const;
};

struct vtColRGBA {
  float R = 0, G = 0, B = 0, A = 1;
  std::string ToString() const;
};

struct vtFace {
  std::int32_t A = 0, B = 0, C = 0;
  std::string ToString() const;
};

struct vtGeom {
  vtVec3D Position;
  vtVec3D Normal;
  vtTexC TexCoord;

  // Sends the selected parts, texture coordinate and normal before the vertex.
  void Emit(bool withVertex, bool withNormal, bool withTexCoord) const;
  bool Equals(const vtGeom& other) const;
  std::string ToString() const;
};

struct vtTorusParam {
  float Radius = 0, Width = 0;
  std::int32_t Stacks = 0, Slices = 0;
  std::string ToString() const;
};

using vtIndex = std::uint32_t;

using vtVec3DP = vtVec3D*;
using vtFaceP = vtFace*;
using vtTexCP = vtTexC*;
using vtGeomP = vtGeom*;
using vtIndexP = vtIndex*;
using vtTorusParamP = vtTorusParam*;
