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

std::uint64_t NextItemSerial();  // 1, 2, ... (any thread)

class vtItemLine {
 public:
  float BeginTime = 0;  // ms of demo time, included
  float EndTime = 0;    // ms of demo time, included
  vtType PlayType = vt_NONE;  // vt_PLAY, vt_UNPLAY; anything else never draws
  std::int32_t TimeMode = 0;  // 1: local time scaled by demo time / 20000
  std::int32_t SourceLine = 0;  // the script line it was read from (from 1); 0: not read from a script
};

// Where an item's channel stood in the script, as the reader met it: line
// numbers from 1, 0 for a part the channel does not have. The editor finds
// the lines it rewrites through these.
struct vtScriptPlace {
  std::int32_t Channel = 0;    // "VT_RENDER_CHANNEL {"
  std::int32_t Type = 0;       // the VT_RENDER_ITEMS_TYPE line that set the item's type in this channel
  std::int32_t File = 0;       // VT_RENDER_ITEMS_FILE
  std::int32_t LinesOpen = 0;  // "VT_RENDER_LINES {"
  std::int32_t End = 0;        // the line that ended the channel (its "}", or the last line of the file)
  bool Closed = false;         // End holds the "}" (false: the file ended first)
};

class vtRenderItem {
 public:
  vtRenderItem() = default;
  virtual ~vtRenderItem() = default;
  vtRenderItem(const vtRenderItem&) = delete;
  vtRenderItem& operator=(const vtRenderItem&) = delete;

  std::string FileName;  // WorkDir + "\" + the script's file name
  std::vector<std::unique_ptr<vtItemLine>> Lines;
  vtScriptPlace Place;  // set by the script reader
  vtType ItemType = vt_NONE;
  // Set when loading raised a conversion error: the item is never drawn.
  bool LoadFailed = false;
  std::string LoadError;  // with LoadFailed: the message shown for it
  // No other item of this run has it: front ends key what they note about
  // an item by it (an address may come back for the next item).
  const std::uint64_t Serial = NextItemSerial();

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
