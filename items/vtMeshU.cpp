#include "items/vtMeshU.h"

#include <GL/gl.h>

#include <cmath>

#include "core/vtDemoPathU.h"
#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "core/vtKeysU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtTextU.h"
#include "platform/GlContext.h"

namespace {

bool InRange(std::int32_t index, size_t size) { return index >= 0 && static_cast<size_t>(index) < size; }

bool FaceInRange(const vtFace& f, size_t size) {
  return InRange(f.A, size) && InRange(f.B, size) && InRange(f.C, size);
}

// The unit normal of the face's plane, counter-clockwise faces facing the
// viewer; (0, 0, 1) for a face without area.
vtVec3D FlatNormal(const vtVec3D& a, const vtVec3D& b, const vtVec3D& c) {
  const double e1[3] = {double(b.X) - a.X, double(b.Y) - a.Y, double(b.Z) - a.Z};
  const double e2[3] = {double(c.X) - a.X, double(c.Y) - a.Y, double(c.Z) - a.Z};
  const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 0) || !std::isfinite(length)) return vtVec3D{0, 0, 1};
  return vtVec3D{float(n[0] / length), float(n[1] / length), float(n[2] / length)};
}

void CompileList(std::uint32_t& name, void (vtMesh::*emit)() const, const vtMesh& mesh) {
  if (name != 0 && glIsList(name)) glDeleteLists(name, 1);
  name = glGenLists(1);
  glNewList(name, GL_COMPILE);
  (mesh.*emit)();
  glEndList();
}

}  // namespace

vtMesh::~vtMesh() {
  for (std::uint32_t list : {PositionList, NormalList, TexturedList})
    if (list != 0 && platform::CanReleaseGlObjects()) glDeleteLists(list, 1);
}

std::string vtMesh::CheckLists() const {
  const size_t faces = Faces.size();
  if (!Vertices.empty())
    for (const vtFace& f : Faces)
      if (!FaceInRange(f, Vertices.size())) return "face indices outside its vertices";
  if (!TexVertices.empty() && !TexFaces.empty()) {
    if (TexFaces.size() < faces) return "fewer texture faces than faces";
    for (size_t k = 0; k < faces; ++k)
      if (!FaceInRange(TexFaces[k], TexVertices.size())) return "texture-face indices outside its texture vertices";
  }
  return {};
}

bool vtMesh::BuildGeometry() {
  vtLoadPhaseScope phase(vtLoadPhase::DisplayLists);
  const std::string problem = ResolveGeometry();
  if (!problem.empty()) {
    NoteRefusal(problem);
    if (GlobalFunc) GlobalFunc->ShowWarning(RefusalText(problem));
    return false;
  }
  BuildLists();
  return true;
}

void vtMesh::NoteRefusal(const std::string& problem) const {
  ReportFinding(
      {FileName, 0, "refused-object", vtSeverity::Warning, "object \"" + Name + "\" is not drawn: " + problem});
}

std::string vtMesh::RefusalText(const std::string& problem) const {
  return "Object \"" + Name + "\" is not drawn: " + problem + "\rFile: " + DemoPath(FileName);
}

std::string vtMesh::ResolveGeometry() {
  std::string problem = CheckLists();
  if (!problem.empty()) {
    Refused = true;
    return problem;
  }
  const size_t faces = Faces.size();
  const bool hasTex = !TexVertices.empty() && !TexFaces.empty();
  NormalSource = ChooseNormalRule();
  Geometry.assign(3 * faces, vtGeom{});
  Indices.resize(3 * faces);
  for (size_t k = 0; k < faces; ++k) {
    const vtFace& f = Faces[k];
    vtGeom* g = &Geometry[3 * k];
    for (int m = 0; m < 3; ++m) Indices[3 * k + m] = static_cast<vtIndex>(3 * k + m);
    if (!Vertices.empty()) {
      g[0].Position = Vertices[f.A];
      g[1].Position = Vertices[f.B];
      g[2].Position = Vertices[f.C];
    }
    BuildNormals(k, g);
    if (hasTex) {
      const vtFace& t = TexFaces[k];
      g[0].TexCoord = TexVertices[t.A];
      g[1].TexCoord = TexVertices[t.B];
      g[2].TexCoord = TexVertices[t.C];
    }
  }
  return {};
}

vtMesh::NormalRule vtMesh::ChooseNormalRule() const {
  if (Normals.size() >= 3 * Faces.size()) return NormalRule::PerCorner;
  if (!Vertices.empty() && Normals.size() >= Vertices.size()) return NormalRule::PerVertex;
  return NormalRule::PerFace;
}

// The corners' positions are in place; face indices lie inside Vertices
// whenever Vertices is not empty (CheckLists).
void vtMesh::BuildNormals(size_t k, vtGeom* g) const {
  const vtFace& f = Faces[k];
  switch (NormalSource) {
    case NormalRule::PerCorner:
      if (!Normals.empty())
        for (int m = 0; m < 3; ++m) g[m].Normal = Normals[3 * k + m];
      break;
    case NormalRule::PerVertex:
      g[0].Normal = Normals[f.A];
      g[1].Normal = Normals[f.B];
      g[2].Normal = Normals[f.C];
      break;
    case NormalRule::PerFace:
      g[0].Normal = g[1].Normal = g[2].Normal = FlatNormal(g[0].Position, g[1].Position, g[2].Position);
      break;
  }
}

void vtMesh::BuildLists() {
  if (!UseLists) return;
  if (ListsWanted & kNormals) CompileList(NormalList, &vtMesh::EmitNormals, *this);
  if (ListsWanted & kTextured) CompileList(TexturedList, &vtMesh::EmitTextured, *this);
  if (ListsWanted & kPositions) CompileList(PositionList, &vtMesh::EmitPositions, *this);
}

void vtMesh::EmitPositions() const {
  glBegin(GL_TRIANGLES);
  for (vtIndex i : Indices) glVertex3fv(&Geometry[i].Position.X);
  glEnd();
}

void vtMesh::EmitNormals() const {
  glBegin(GL_TRIANGLES);
  for (vtIndex i : Indices) {
    const vtGeom& g = Geometry[i];
    glNormal3fv(&g.Normal.X);
    glVertex3fv(&g.Position.X);
  }
  glEnd();
}

void vtMesh::EmitTextured() const {
  glBegin(GL_TRIANGLES);
  for (vtIndex i : Indices) {
    const vtGeom& g = Geometry[i];
    glNormal3fv(&g.Normal.X);
    glTexCoord3fv(&g.TexCoord.U);
    glVertex3fv(&g.Position.X);
  }
  glEnd();
}

void vtMesh::DrawMesh() {
  if (Refused) return;
  if (!Geometry.empty() || HasMeshType) {
    if (UsePositions && UseNormals && UseTexCoords)
      glCallList(TexturedList);
    else if (UsePositions && UseNormals && !UseTexCoords)
      glCallList(NormalList);
    else if (UsePositions && !UseNormals && !UseTexCoords)
      glCallList(PositionList);
    return;
  }
  // Not built: the faces straight from the input lists.
  glBegin(GL_TRIANGLES);
  for (const vtFace& f : Faces) {
    if (!FaceInRange(f, Vertices.size())) continue;
    Vertices[f.A].EmitVertex();
    Vertices[f.B].EmitVertex();
    Vertices[f.C].EmitVertex();
  }
  glEnd();
}

void vtMesh::Render(float /*time*/) {
  glPushMatrix();
  DrawMesh();
  glPopMatrix();
}

void vtMesh::LoadFromFile() {
  vtText reader("vto");
  if (!reader.Open(FileName)) return;
  while (!reader.Eof()) {
    if (reader.ReadLine() && reader.Contains(vtMeshKeys::Info.Name)) ReadInfoBlock(reader);
  }
  reader.Close();
}

void vtMesh::ReadInfoBlock(vtText& reader) {
  while (!reader.Contains("}") && !reader.Eof()) {
    if (!reader.ReadLine()) continue;
    if (reader.Contains(vtMeshKeys::MeshType.Name)) HasMeshType = true;
    if (reader.Contains(vtMeshKeys::Name.Name)) Name = reader.ReadQuoted();
    if (reader.Contains(vtMeshKeys::Generator.Name) && reader.ReadQuoted() == "vt_TORUS") GenType = vt_TORUS;
    if (GenType == vt_TORUS && reader.Contains(vtMeshKeys::Parameters.Name)) {
      vtTorusParam p;
      ReadTorusParameters(reader, p);
      if (GenType == vt_TORUS && reader.Contains("}")) GenerateCheckedTorus(p);
    }
  }
}

void vtMesh::GenerateCheckedTorus(const vtTorusParam& p) {
  std::string problem;
  if (p.Stacks < 1 || p.Slices < 1)
    problem = "VT_STACKS and VT_SLICES must be at least 1";
  else if (static_cast<std::int64_t>(p.Stacks) * p.Slices > kMaxTorusQuads)
    problem = "VT_STACKS times VT_SLICES must not exceed " + std::to_string(kMaxTorusQuads);
  if (problem.empty()) {
    GenerateTorus(p);
  } else if (GlobalFunc) {
    ReportFinding({FileName, 0, "torus", vtSeverity::Warning, "no torus is made: " + problem});
    GlobalFunc->ShowWarning("No torus is generated: " + problem + "\rFile: " + DemoPath(FileName));
  }
}

void vtMesh::ReadTorusParameters(vtText& reader, vtTorusParam& p) {
  while (!reader.Contains("}") && !reader.Eof()) {
    if (!reader.ReadLine()) continue;
    if (reader.Contains(vtMeshKeys::Radius.Name)) p.Radius = reader.ReadFloat(vtMeshKeys::Radius.Cut());
    if (reader.Contains(vtMeshKeys::Width.Name)) p.Width = reader.ReadFloat(vtMeshKeys::Width.Cut());
    if (reader.Contains(vtMeshKeys::Stacks.Name)) p.Stacks = reader.ReadInt(vtMeshKeys::Stacks.Cut());
    if (reader.Contains(vtMeshKeys::Slices.Name)) p.Slices = reader.ReadInt(vtMeshKeys::Slices.Cut());
  }
}

void vtMesh::GenerateTorus(const vtTorusParam& p) {
  vtLoadPhaseScope phase(vtLoadPhase::DisplayLists);
  if (p.Stacks < 1 || p.Slices < 1) return;
  UsePositions = UseNormals = UseTexCoords = true;
  if (TexturedList != 0 && glIsList(TexturedList)) glDeleteLists(TexturedList, 1);
  TexturedList = glGenLists(1);
  glNewList(TexturedList, GL_COMPILE);
  for (int i = 0; i < p.Stacks; ++i) {
    glBegin(GL_QUAD_STRIP);
    for (int j = 0; j <= p.Slices; ++j) {
      TorusVertex(i, j, p);
      TorusVertex(i + 1, j, p);
    }
    glEnd();
  }
  glEndList();
}

void vtMesh::TorusVertex(int i, int j, const vtTorusParam& p) const {
  const long double twoPi = 6.283185307179586476925286766559L;
  const long double a = twoPi * i / p.Stacks;
  const long double b = twoPi * j / p.Slices;
  const long double r = p.Radius + p.Width * std::cos(a);
  const float position[3] = {static_cast<float>(r * std::cos(b)), static_cast<float>(p.Width * std::sin(a)),
                             static_cast<float>(r * std::sin(b))};
  const float normal[3] = {static_cast<float>(std::cos(a) * std::cos(b)), static_cast<float>(std::sin(a)),
                           static_cast<float>(std::cos(a) * std::sin(b))};
  glTexCoord2f(static_cast<float>(static_cast<long double>(i) / p.Stacks),
               static_cast<float>(static_cast<long double>(j) / p.Slices));
  glNormal3fv(normal);
  glVertex3fv(position);
}
