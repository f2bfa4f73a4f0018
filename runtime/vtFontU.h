// The bitmap font: 96 display lists, one per printable character 32..127,
// so text is drawn into the GL picture with one list call per character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class vtFont {
 public:
  std::uint32_t ListBase = 0;  // first of the 96 lists
  int PixelHeight = 24;        // the character height Build uses
  // Measured by Build, in pixels: the widest advance, the rows below the
  // baseline and the height of a line from the lowest to the highest row.
  int Advance = 0;
  int Descent = 0;
  int LineHeight = 0;

  // Fills the lists with a bold, monospaced font of PixelHeight pixels. dc
  // is the window's handle (unused here: the glyphs come from the system's
  // fonts). Without a usable font the lists stay empty and a warning goes to
  // stderr.
  void Build(void* dc);
  // Deletes the lists (GL current).
  void Release();
  // Draws the text at the current raster position. Only the characters
  // 32..127 have lists; other bytes draw nothing. Allocates nothing.
  void Print(const std::string& text) const;
  void Print(const char* text, std::size_t length) const;
};

extern std::unique_ptr<vtFont> GlobalFont;
