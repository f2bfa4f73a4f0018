// The sky: a large textured box around the current origin, unlit and in
// full colour, compiled once into a display list. One texture serves all
// six faces, or each face has its own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resources/vtMapU.h"
#include "runtime/vtRItemU.h"

class vtText;

class vtSky : public vtRenderItem {
 public:
  enum Face { NEGX, NEGY, NEGZ, POSX, POSY, POSZ, kFaceCount };

  vtSky() = default;
  ~vtSky() override;  // deletes the box's display list

  std::uint32_t DisplayList = 0;  // 0 until loaded
  std::string Name;
  std::int32_t Size = 0;          // edge length of the box
  vtType Shape = vt_BOX;          // vt_SPHERE on request; the geometry is the box either way
  bool SingleTexture = false;
  std::array<std::unique_ptr<vtDiffuseMap>, kFaceCount> FaceMaps;
  std::unique_ptr<vtDiffuseMap> SingleMap;

  void Render(float time) override;  // time is ignored
  void LoadFromFile() override;       // the "vtk" description, then the box
  void ListTextures(std::vector<const vtTexture*>& out) const override;

 private:
  void ReadKeys(vtText& reader);
  void BuildBox();
  std::uint32_t FaceTextureId(Face face) const;
};
