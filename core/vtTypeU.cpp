#include "core/vtTypeU.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string text = buf;
  std::string mantissa = text, exponent;
  size_t e = text.find('E');
  if (e != std::string::npos) {
    mantissa = text.substr(0, e);
    int exp = std::atoi(text.c_str() + e + 1);
    exponent = "E" + std::to_string(exp);
  }
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + exponent;
}

void vtVec3D::Assign(const vtVec3D* source) {
  if (source) {
    X = source->X;
    Y = source->Y;
    Z = source->Z;
  } else {
    Clear();
  }
}

void vtVec3D::EmitVertex() const { glVertex3f(X, Y, Z); }
void vtVec3D::EmitNormal() const { glNormal3f(X, Y, Z); }

std::string vtVec3D::ToString() const {
  return "x=" + FloatToStr(X) + " y=" + FloatToStr(Y) + " z=" + FloatToStr(Z);
}

void vtTexC::Assign(const vtTexC* source) {
  if (source) {
    U = source->U;
    V = source->V;
    W = source->W;
  } else {
    Clear();
  }
}

void vtTexC::EmitTexCoord() const { glTexCoord3f(U, V, W); }

std::string vtTexC::ToString() const {
  return " u=" + FloatToStr(U) + " v=" + FloatToStr(V) + " w=" + FloatToStr(W);
}

std::string vtVec2D::ToString() const { return "x=" + FloatToStr(X) + " y=" + FloatToStr(Y); }

std::string vtColRGBA::ToString() const {
  return "r=" + FloatToStr(R) + " g=" + FloatToStr(G) + " b=" + FloatToStr(B) + " a=" + FloatToStr(A);
}

std::string vtFace::ToString() const {
  return " a=" + std::to_string(A) + " b=" + std::to_string(B) + " c=" + std::to_string(C);
}

void vtGeom::Emit(bool withVertex, bool withNormal, bool withTexCoord) const {
  if (withTexCoord) TexCoord.EmitTexCoord();
  if (withNormal) Normal.EmitNormal();
  if (withVertex) Position.EmitVertex();
}

bool vtGeom::Equals(const vtGeom& o) const {
  return Position.X == o.Position.X && Position.Y == o.Position.Y && Position.Z == o.Position.Z &&
         Normal.X == o.Normal.X && Normal.Y == o.Normal.Y && Normal.Z == o.Normal.Z &&
         TexCoord.U == o.TexCoord.U && TexCoord.V == o.TexCoord.V && TexCoord.W == o.TexCoord.W;
}

std::string vtGeom::ToString() const {
  const std::pair<const char*, float> parts[] = {
      {"px: ", Position.X}, {"py: ", Position.Y}, {"pz: ", Position.Z},
      {"nx: ", Normal.X},   {"ny: ", Normal.Y},   {"nz: ", Normal.Z},
      {"tu: ", TexCoord.U}, {"tv: ", TexCoord.V}, {"tw: ", TexCoord.W}};
  std::string text;
  for (const auto& [label, value] : parts) text += std::string(label) + FloatToStr(value) + " ";
  return text;
}

std::string vtTorusParam::ToString() const {
  return FloatToStr(Radius) + " " + FloatToStr(Width) + " " + std::to_string(Stacks) + " " +
         std::to_string(Slices);
}
