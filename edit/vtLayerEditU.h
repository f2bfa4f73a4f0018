// Edit: the layer files (vt_2D_VTL) as the player reads them, and the line
// changes that edit their keys. The files are read by the layer system's
// own reader (vtLayerSystem::LoadFromFile), which notes on which line each
// layer and key stood.
//
// Threads: main thread (the reader loads the layers' pictures through the
// texture store, which keeps each picture once).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/vtDocumentU.h"

// A key's eleven values, in the order of the key line.
struct vtKeyValues {
  std::uint32_t Time = 0;  // ms of item time
  float X = 0, Y = 0;
  std::int32_t Interpolation = 0;
  float Angle = 0, Width = 0, Height = 0;
  float R = 0, G = 0, B = 0, A = 0;
  bool operator==(const vtKeyValues& o) const;
};

struct vtLayerKeyEntry {
  vtKeyValues Values;
  int At = 0;  // its line in the file
};

struct vtLayerEntry {
  std::string Source;  // the picture as written ("no.image" included)
  std::int32_t BlendS = 0, BlendD = 0;
  int At = 0;        // "VT_LAYER {"
  int KeysOpen = 0;  // "VT_KEYS {"; 0 without a keys block
  std::vector<vtLayerKeyEntry> Keys;
};

struct vtLayerModel {
  std::vector<vtLayerEntry> Layers;
  // Equal as the player would draw them (the line numbers aside).
  bool SameLayers(const vtLayerModel& other) const;
};

// Reads the layer file at path with the player's reader. False with the reason when it cannot be opened or does not
// read to its end.
bool ReadLayerModel(const std::string& path, vtLayerModel& model, std::string& why);

// The key line at line `at` with the values that differ from old written
// where they stand (the others keep their text). False when the line is
// not laid out as the reader reads it.
bool PatchKeyLine(const vtDocument& document, int at, const vtKeyValues& old, const vtKeyValues& values,
                  std::string& text);
// A whole key line with the indentation of line `like`.
std::string WholeKeyLine(const vtDocument& document, int like, const vtKeyValues& values);
