// 3D scenes: a list of materials and a list of mesh objects, drawn every
// frame in two passes (opaque objects, then transparent ones added onto the
// picture), with diffuse textures and sphere-mapped reflection passes.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "items/vtMeshU.h"
#include "resources/vtMatU.h"
#include "runtime/vtRItemU.h"

class vtScene : public vtRenderItem {
 public:
  std::vector<std::unique_ptr<vtMat>> Materials;  // file order; MaterialRef indexes it
  std::vector<std::unique_ptr<vtMesh>> Objects;   // file order
  bool Loaded = false;                            // the whole file was read

  // Draws every object; the time is not used (scenes are static).
  void Render(float time) override;
  void ListTextures(std::vector<const vtTexture*>& out) const override;
  // Draws the object at index with its material.
  void DrawObject(std::size_t index);
  // The lists DrawObject will draw the object with (vtMesh::ListBits), once
  // its material is known for good: its reference lies in Materials, which
  // only grows. Until then all of them.
  unsigned ListsDrawn(const vtMesh& object) const;

 protected:
  // The object's material: a reference outside the list falls back to the
  // first material. Only called while Materials is not empty.
  vtMat& MaterialOf(const vtMesh& object) const;
  // Transparency is a switch: positive draws additively in the second
  // pass; zero and negative values are opaque.
  static bool IsTransparent(const vtMat& material) { return material.Transparency > 0.0f; }

 private:
  void DrawReflection(vtMesh& object, vtMat& material);
};
