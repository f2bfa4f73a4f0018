#include "items/vtTunnelU.h"

#include <GL/gl.h>

#include <cmath>

#include "core/vtFuncU.h"
#include "core/vtFindingsU.h"
#include "core/vtKeysU.h"
#include "core/vtTextU.h"

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559L;

void EmitCorner(long double s, long double t, const vtVec3D& p) {
  glTexCoord2f(static_cast<float>(s), static_cast<float>(t));
  glVertex3f(p.X, p.Y, p.Z);
}

// Full brightness up to ring 24, then down to 0.4 at ring 30.
float RingGrey(int j) { return j <= 24 ? 1.0f : static_cast<float>(1.0L - (j - 24) / 10.0L); }

}  // namespace

void vtTunnel::LoadFromFile() {
  vtText reader;
  reader.Extension = "vts";
  if (!reader.Open(FileName)) return;
  const std::string baseDir = GlobalFunc ? GlobalFunc->WorkDir : std::string();
  while (!reader.Eof()) {
    if (!reader.ReadLine()) continue;
    if (reader.Contains(vtTunnelKeys::Picture.Name)) {
      const vtFindingPlace place(reader.FileName(), reader.LineNumber);
      DiffuseMap = std::make_unique<vtDiffuseMap>();
      DiffuseMap->Texture->SetFileName(baseDir + "\\" + reader.ReadQuoted());
      DiffuseMap->Texture->Load(FileName);
    }
    if (reader.Contains(vtTunnelKeys::Effect.Name)) {
      const std::string name = reader.ReadQuoted();
      if (!name.empty() && GlobalFunc) Effect = GlobalFunc->TypeFromName(name);
      if (Effect == vt_NONE) Effect = vt_EFFECT00;
    }
  }
  reader.Close();
}

void vtTunnel::ListTextures(std::vector<const vtTexture*>& out) const {
  if (DiffuseMap) out.push_back(DiffuseMap->Texture.get());
}

void vtTunnel::Render(float time) {
  if (Effect != vt_EFFECT00 && Effect != vt_EFFECT01) return;
  const long double T = static_cast<long double>(time) / 40.0L;
  UpdatePoints(T);
  if (DiffuseMap) DiffuseMap->Bind();  // left bound: later items see the texture
  DrawRings(T);
}

void vtTunnel::UpdatePoints(long double T) {
  // The sway at depth 0 is subtracted, so the near ring never moves.
  const long double swayX0 = 2 * std::sin(T / 29) + std::cos(T / 13);
  const long double swayY0 = 2 * std::cos(T / 33) + std::sin(T / 17);
  for (int j = 0; j < kGridSize; ++j) {
    const long double depth = 2.0L * j + T;
    const long double swayX = 2 * std::sin(depth / 29) + std::cos(depth / 13) - swayX0;
    const long double swayY = 2 * std::cos(depth / 33) + std::sin(depth / 17) - swayY0;
    const long double radius = 3 - j / 12.0L;
    for (int i = 0; i <= kSegments; ++i) {
      const long double theta = kTwoPi * i / kSegments;
      vtVec3D& p = Points[i][j];
      p.X = static_cast<float>(radius * std::cos(theta) + swayX);
      p.Y = static_cast<float>(radius * std::sin(theta) + swayY);
      p.Z = static_cast<float>(-j);
    }
  }
}

void vtTunnel::DrawRings(long double T) const {
  const GLenum mode = Effect == vt_EFFECT00 ? GL_QUADS : GL_LINES;
  const long double scroll = 0.02L * T;
  for (int j = 0; j < kRings; ++j) {
    const long double s0 = j / 32.0L + scroll;
    const long double s1 = (j + 1) / 32.0L + scroll;
    const float grey = RingGrey(j);
    glColor3f(grey, grey, grey);
    glBegin(mode);
    for (int i = 0; i < kSegments; ++i) {
      const long double u0 = (i - 3) / 12.0L;
      const long double u1 = (i - 2) / 12.0L;
      EmitCorner(u0, s0, Points[i][j]);
      EmitCorner(u1, s0, Points[i + 1][j]);
      EmitCorner(u1, s1, Points[i + 1][j + 1]);
      EmitCorner(u0, s1, Points[i][j + 1]);
    }
    glEnd();
  }
}
