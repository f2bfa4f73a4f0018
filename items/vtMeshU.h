// The engine's one triangle mesh: every object of an ASE scene, and the
// mesh item of a demo script (read from a "vto" description that may ask
// for a generated torus). Drawing always goes through display lists
// compiled once at load time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/vtTypeU.h"
#include "runtime/vtRItemU.h"

class vtText;

class vtMesh : public vtRenderItem {
 public:
  vtMesh() = default;
  ~vtMesh() override;  // deletes the display lists it compiled

  std::vector<vtVec3D> Vertices;
  std::vector<vtFace> Faces;         // indices into Vertices
  std::vector<vtVec3D> Normals;      // three per face: entry 3k+m is corner m of face k
  std::vector<vtTexC> TexVertices;
  std::vector<vtFace> TexFaces;      // one per face, indices into TexVertices
  std::vector<vtGeom> Geometry;      // built: three records per face
  std::vector<vtIndex> Indices;      // built: draw order into Geometry
  std::int32_t MaterialRef = 0;
  std::string Name;
  bool Visible = true;
  bool ShowPoints = false;
  bool UseLists = true;
  bool HasMeshType = false;
  vtType GenType = vt_NONE;
  bool UsePositions = true;
  bool UseNormals = false;
  bool UseTexCoords = false;
  std::uint32_t PositionList = 0;
  std::uint32_t NormalList = 0;
  std::uint32_t TexturedList = 0;
  // The lists BuildLists compiles; a scene that knows which of them its
  // object will draw spares the driver the others.
  enum ListBits : unsigned { kPositions = 1, kNormals = 2, kTextured = 4, kAllLists = 7 };
  unsigned ListsWanted = kAllLists;
  // Set when BuildGeometry refused the object's lists; it then draws nothing.
  bool Refused = false;

  // Where the built corners take their normals from. Exporters that write
  // fewer than three normals per face write one per vertex, indexed by the
  // vertex number, or none at all.
  enum class NormalRule {
    PerCorner,  // three per face (or no faces): entry 3k+m for corner m of face k
    PerVertex,  // fewer, but at least one per vertex: the entry of the corner's vertex
    PerFace,    // fewer than one per vertex: each face's own flat normal
  };
  NormalRule NormalSource = NormalRule::PerCorner;  // set by BuildGeometry
  NormalRule ChooseNormalRule() const;

  void Render(float time) override;  // push, DrawMesh, pop
  void LoadFromFile() override;       // the "vto" description

  // Resolves the input lists into per-corner records and compiles the lists.
  // Normals follow ChooseNormalRule. An object whose indices fall outside
  // its lists is refused with a warning naming it and its file (FileName);
  // returns false then.
  bool BuildGeometry();
  // BuildGeometry's CPU part: checks and resolves the lists (Geometry,
  // Indices, NormalSource). Returns why the object cannot be drawn, setting
  // Refused, or "" when BuildLists may follow. Any thread; no GL call.
  std::string ResolveGeometry();
  // The warning that refuses the object for that reason.
  std::string RefusalText(const std::string& problem) const;
  void NoteRefusal(const std::string& problem) const;  // as a finding (core/vtFindingsU.h)
  void BuildLists();
  void EmitPositions() const;
  void EmitNormals() const;
  void EmitTextured() const;
  void DrawMesh();
  // A million quads: far beyond any smooth torus, and a description with a
  // larger count would keep loading for minutes.
  static constexpr std::int64_t kMaxTorusQuads = 1000000;
  void GenerateTorus(const vtTorusParam& p);
  void TorusVertex(int i, int j, const vtTorusParam& p) const;

 private:
  std::string CheckLists() const;  // why the lists cannot be built, or ""
  void BuildNormals(size_t face, vtGeom* corners) const;
  void ReadInfoBlock(vtText& reader);
  void ReadTorusParameters(vtText& reader, vtTorusParam& p);
  // GenerateTorus for counts that make a drawable torus; otherwise a warning
  // naming the file, and nothing.
  void GenerateCheckedTorus(const vtTorusParam& p);
};
