#include "core/vtTypeU.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The 15 significant digits of |value| (trailing zeros dropped) and the
// decimal exponent of the first one, after rounding.
void SignificantDigits(double value, std::string& digits, int& exponent) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  const char* e = std::strchr(buf, 'e');
  exponent = std::atoi(e + 1);
  digits.assign(1, buf[0]);
  digits.append(buf + 2, static_cast<size_t>(e - (buf + 2)));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  std::string digits;
  int exponent = 0;
  SignificantDigits(value, digits, exponent);
  std::string text = value < 0 ? "-" : "";
  // Fixed notation while at most 15 digits stand before the point and the
  // value is not below 0.00001; scientific ("1.5E-7", "1E20") otherwise.
  if (exponent < 15 && std::fabs(value) >= 1e-5) {
    if (exponent < 0) {
      text += "0." + std::string(-exponent - 1, '0') + digits;
    } else if (static_cast<int>(digits.size()) <= exponent + 1) {
      text += digits + std::string(exponent + 1 - digits.size(), '0');
    } else {
      text += digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
    }
    return text;
  }
  text += digits.substr(0, 1);
  if (digits.size() > 1) text += "." + digits.substr(1);
  return text + "E" + std::to_string(exponent);
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
