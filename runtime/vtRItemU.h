// Render items: the abstract timeline item every kind derives from, its
// timeline lines, and the factory that turns a script's type tag into a
// new item.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/vtFuncU.h"

class vtTexture;

class vtItemLine {
 public:
  float BeginTime = 0;  // ms of demo time, included
  float EndTime = 0;    // ms of demo time, included
  vtType PlayType = vt_NONE;  // vt_PLAY, vt_UNPLAY; anything else never draws
  std::int32_t TimeMode = 0;  // 1: local time scaled by demo time / 20000
};

class vtRenderItem {
 public:
  vtRenderItem() = default;
  virtual ~vtRenderItem() = default;
  vtRenderItem(const vtRenderItem&) = delete;
  vtRenderItem& operator=(const vtRenderItem&) = delete;

  std::string FileName;  // WorkDir + "\" + the script's file name
  std::vector<std::unique_ptr<vtItemLine>> Lines;
  vtType ItemType = vt_NONE;
  // Set when loading raised a conversion error: the item is never drawn.
  bool LoadFailed = false;
  std::string LoadError;  // with LoadFailed: the message shown for it

  // Draws the item for its local time in ms; may run several times a frame.
  virtual void Render(float time) = 0;
  // Reads FileName and builds what drawing needs; runs once, GL current.
  virtual void LoadFromFile() = 0;
  // Appends every texture the item binds (from its maps), so that textures
  // no item uses can be told and released. Kinds without maps add none.
  virtual void ListTextures(std::vector<const vtTexture*>& out) const { (void)out; }
};

// A new item of the kind the tag names, or nullptr for a tag that names
// no item kind.
std::unique_ptr<vtRenderItem> CreateRenderItem(vtType type, const std::string& path);
