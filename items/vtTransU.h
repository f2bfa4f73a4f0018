// Transformations: a render item that draws nothing itself but multiplies
// the model-view matrix by a fixed list of translations and rotations, so
// it moves, turns or spins every item drawn after it in the same frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/vtTypeU.h"
#include "runtime/vtRItemU.h"

class vtText;

// One step of a transformation list.
class vtTransItem {
 public:
  virtual ~vtTransItem() = default;
  // For a rotation: true turns by the fixed Angle, false by the item time.
  bool Static = false;
  virtual void Apply(float time) = 0;  // item time in ms
};

class vtRotate : public vtTransItem {
 public:
  float Angle = 0;           // degrees, static rotations
  vtVec3D Axis;              // passed to glRotatef as it is
  std::int32_t Divisor = 1;  // time-driven: degrees = ms / Divisor (0 counts as 1)
  void Apply(float time) override;
};

class vtTranslate : public vtTransItem {
 public:
  vtVec3D Offset;
  void Apply(float time) override;  // the time is not used
};

class vtTransform : public vtRenderItem {
 public:
  vtTransform() = default;
  vtTransform(vtType type, const std::string& fileName);

  std::vector<std::unique_ptr<vtTransItem>> Items;  // file order

  void Render(float time) override;
  void LoadFromFile() override;  // "vtt" file; a missing file leaves Items empty

 private:
  void ReadStaticBlock(vtText& reader);
  void ReadDynamicBlock(vtText& reader);
};
