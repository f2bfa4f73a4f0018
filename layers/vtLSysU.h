// 2D layer systems: flat, textured, coloured rectangles drawn over the
// picture in a fixed 1024 x 768 layer space and animated between keys.
// Each key fixes a layer's position, angle, size and colour at one moment
// of item time; between two keys every value follows the earlier key's
// interpolation curve.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/vtTypeU.h"
#include "resources/vtMapU.h"
#include "runtime/vtRItemU.h"

class vtText;

// Layer space: origin bottom left, y upwards, stretched over the viewport.
inline constexpr float kLayerSpaceWidth = 1024;
inline constexpr float kLayerSpaceHeight = 768;

class vtLayerKey {
 public:
  std::uint32_t Time = 0;         // ms of item time
  vtVec2D Position;               // centre in layer space
  std::int32_t Interpolation = 0; // curve from this key to the next: 0, 1 or 2
  float Angle = 0;                // degrees, counter-clockwise
  vtVec2D Size;                   // width and height in layer-space units
  vtColRGBA Color;                // 0 to 255 per component
  std::int32_t SourceLine = 0;    // the file's line it was read from (from 1)

  std::string ToString() const;
};

using vtLayerKeyList = std::vector<std::unique_ptr<vtLayerKey>>;

class vtLayer {
 public:
  std::string TextureSource;          // as written in the file, "no.image" included
  std::unique_ptr<vtDiffuseMap> Map;  // none for "no.image" or without a texture line
  std::int32_t BlendSFactor = 0;      // passed to glBlendFunc unchanged
  std::int32_t BlendDFactor = 0;
  // Empty when the layer has no keys block; an empty list is an empty block.
  std::optional<vtLayerKeyList> Keys;
  std::int32_t SourceLine = 0;  // the file's "VT_LAYER {" line (from 1)
  std::int32_t KeysLine = 0;    // its "VT_KEYS {" line; 0 without one

  // The two keys that frame time: a the last at or before it, b the first
  // at or after it. False when the layer is not drawn at that time: no keys,
  // a = b, or key times that do not rise from a to b (the fraction would
  // divide by zero or by a wrapped difference).
  bool SelectKeys(float time, std::size_t& a, std::size_t& b) const;
  // The nine drawn values at time, interpolated into out (its Time and
  // Interpolation are key a's); false when the layer is not drawn.
  bool ValuesAt(float time, vtLayerKey& out) const;
};

class vtLayerSystem : public vtRenderItem {
 public:
  vtLayerSystem(vtType type, const std::string& fileName);

  std::vector<std::unique_ptr<vtLayer>> Layers;
  bool Loaded = false;  // true once the whole file has been read

  void Render(float time) override;
  void ListTextures(std::vector<const vtTexture*>& out) const override;
  // Reads the "vtl" file named at construction. A malformed key or blend
  // value raises vtConvertError; the layers read so far stay, Loaded stays false.
  void LoadFromFile() override;
  // Writes every layer in the file format; false (and any existing file
  // left as it was) when the name is refused or writing fails.
  bool SaveToFile(const std::string& fileName) const;
  // Parses the reader's current line as one key line.
  std::unique_ptr<vtLayerKey> ReadKey(vtText& reader);
  // Restores the GL state one layer changed.
  void EndLayer();

 private:
  void ReadLayer(vtText& reader);
  void ReadKeys(vtText& reader, vtLayer& layer);
  void RenderLayer(const vtLayer& layer, float time);
  void WriteLayers(vtText& writer) const;
};
