// The tunnel effect: a bending, textured tube receding from the viewer,
// 12 segments around and 31 rings deep. Its far end swings on slow sine
// paths while the near ring stays put, the texture scrolls along the tube
// and the last rings fade to dark. Everything follows from the local time.
#pragma once

#include <array>
#include <memory>

#include "core/vtTypeU.h"
#include "resources/vtMapU.h"
#include "runtime/vtRItemU.h"

class vtTunnel : public vtRenderItem {
 public:
  static constexpr int kGridSize = 33;
  static constexpr int kSegments = 12;  // around the tube; ring points 0..12
  static constexpr int kRings = 31;     // along the tube; ring points 0..31 (of 32)

  vtTunnel() = default;

  std::unique_ptr<vtDiffuseMap> DiffuseMap;
  vtType Effect = vt_EFFECT00;  // vt_EFFECT00 quads, vt_EFFECT01 ring edges
  // Grid points: first index around the tube, second along it. Only the
  // first 13 columns are used; the grid is recomputed in place every frame.
  std::array<std::array<vtVec3D, kGridSize>, kGridSize> Points{};

  void Render(float time) override;  // time: local ms
  void LoadFromFile() override;       // the "vts" description
  void ListTextures(std::vector<const vtTexture*>& out) const override;

 private:
  void UpdatePoints(long double T);
  void DrawRings(long double T) const;
};
