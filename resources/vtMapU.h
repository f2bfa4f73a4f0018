// Texture maps: a diffuse map drawn as an ordinary 2D texture and a
// reflection map drawn as a sphere-mapped environment texture.
#pragma once

#include <memory>

#include "resources/vtTextures.h"

class vtMap {
 public:
  vtMap() : Texture(std::make_unique<vtTexture>()) {}
  virtual ~vtMap() = default;

  bool Enabled = true;  // Bind and Unbind do nothing while false
  std::unique_ptr<vtTexture> Texture;
  float OffsetU = 0;
  float OffsetV = 0;
  float TilingU = 1;
  float TilingV = 1;
};

class vtDiffuseMap : public vtMap {
 public:
  void Bind();    // 2D texturing on, the map's texture bound
  void Unbind();  // 2D texturing off
};

class vtReflectMap : public vtMap {
 public:
  void Bind();    // as a diffuse map, plus sphere-map generation of s and t
  void Unbind();  // 2D texturing and both generations off
};
