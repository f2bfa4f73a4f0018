// The 3D scene item read from an ASCII scene export (ASE) file.
//
// The reader is line-driven: a tag is found by a substring test anywhere in
// the current line and values are cut out of the line, as in every format
// of the engine. Each block it knows is read by a loop of its own that ends
// at the first line containing "}"; blocks it does not know are not
// tracked, so their closing line ends the block the reader is in. Reading
// stops at the end of the file wherever it is.
//
// The geometry lists' lines of the shape exporters write are parsed where
// they lie in the read buffer, many at a time; the lists, errors and line
// numbers are those of the line-driven reading.
//
// With a parallel load pipeline attached (vtLoadPipeline), LoadFromFile
// reads the file on a worker and compiles each object's lists on the main
// thread as soon as the object is read, while the worker reads the next:
// the textures load on the main thread in file order, and the warnings
// and the log entry of the build come after the whole file was read, as
// without a pipeline.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/vtTextU.h"
#include "scene/vtSceneU.h"

class vtLoadPipeline;
class vtMap;

class vtSceneASE : public vtScene {
 public:
  vtSceneASE() { Reader.Extension = "ase"; }

  vtMesh* CurrentObject = nullptr;  // the last entry of Objects
  vtMat* CurrentMaterial = nullptr; // the last entry of Materials
  vtText Reader;

  void Render(float time) override;  // draws only a fully read scene
  void LoadFromFile() override;      // ReadFile, then Build (or both at once, see above)
  // Reads FileName into Materials and Objects; false when it cannot be opened.
  // A malformed integer raises vtConvertError naming the file and line.
  bool ReadFile();
  // Builds every object's geometry and display lists once the file was read.
  // When some objects had fewer than three normals per face, one log entry
  // says how many took which normal rule (vtMesh::NormalRule).
  void Build();

  // Section readers, each on the current line.
  void ReadHeader();
  void ReadComment();
  void SkipScene();
  void ReadMaterialList();
  void ReadGeomObject();

  // Line readers, each cutting the current line.
  void ReadVertex();
  void ReadFace();
  void ReadTexVertex();
  void ReadTexFace();
  void ReadVertexNormal();
  void ReadAmbient();
  void ReadDiffuse();
  void ReadSpecular();

 private:
  // The next line; at the end of the file it stops every loop instead.
  void Advance();
  bool Closes() const;
  bool OpensBlock() const;  // holds "{" but no "}"
  void ReadOpenFile();      // ReadFile on the open reader
  void LoadPipelined(vtLoadPipeline& pipeline);
  void ReadGeomObjectBlock();
  // Set while a worker reads the file: what becomes of a picture the file
  // names (its texture and the quoted name) and of an object read whole;
  // both are then done on the main thread.
  std::function<void(vtTexture&, const std::string&)> loadTexture_;
  std::function<void(vtMesh&)> objectRead_;
  // A block the reader does not know is passed over whole, nested blocks
  // included, so that its closing line ends nothing else; the closing line
  // stays current.
  void SkipBlock();
  // Inside a known block: skips a nested block it opens, and the line after it.
  bool SkippedBlock();
  bool OpensMeshList() const;
  bool IsMaterialEntry() const;
  bool Has(std::string_view key) const { return Reader.Contains(key); }
  bool ReadMaterial();  // true when the material's loop passed an entry line
  void ReadMap(vtMap& map);
  void ReadNode();
  void ReadMesh();
  void ReadColour(float* rgb);
  void TakeShapedItems(std::string_view item);
  void NoteAnnouncedCount();
  void ReserveAnnounced(std::string_view listItem);
  static void ReleaseSpareCapacity(vtMesh& m);
  void LogNormalRules(size_t perVertex, size_t perFace) const;

  bool atEnd_ = false;
  // The list lengths the current mesh block announced.
  struct {
    std::int32_t vertices = 0, faces = 0, texVertices = 0, texFaces = 0;
  } announced_;
};
