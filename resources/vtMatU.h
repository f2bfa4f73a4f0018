// Materials: the fixed-function OpenGL material of a 3D object with up to
// two texture maps.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "resources/vtMapU.h"

using vtRGBA = std::array<float, 4>;  // red, green, blue, alpha

class vtMat {
 public:
  vtMat();

  bool UseFirstSet = true;
  std::string Name;
  // First set: the OpenGL default material until a scene file fills it.
  vtRGBA Ambient{0.2f, 0.2f, 0.2f, 1.0f};
  vtRGBA Diffuse{0.8f, 0.8f, 0.8f, 1.0f};
  vtRGBA Specular{0, 0, 0, 1.0f};
  vtRGBA Emission{0, 0, 0, 1.0f};
  float Shininess = 0;
  // Second set: a copy of the first set's defaults.
  vtRGBA Ambient2;
  vtRGBA Diffuse2;
  vtRGBA Specular2;
  vtRGBA Emission2;
  float Shininess2;
  std::unique_ptr<vtDiffuseMap> DiffuseMap;
  std::unique_ptr<vtReflectMap> ReflectMap;
  float Transparency = 0;

  // Sets the current OpenGL material of front and back faces.
  void Apply() const;
};
