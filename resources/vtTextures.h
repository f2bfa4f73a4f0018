// Textures: one image file and the OpenGL texture made from it, loaded once
// per file through the resource store and logged.
#pragma once

#include <cstdint>
#include <string>

class vtTexture {
 public:
  std::string FileName;   // relative to the working directory
  std::uint32_t Id = 0;   // the OpenGL texture name; 0 until loaded or when loading failed

  // Stores path, made relative to the current directory when it starts with it.
  void SetFileName(const std::string& path);
  // Makes Id valid: from the store, or by loading the file (once per path).
  void Load();
  std::string ToString() const;
};

// The texture library's entry point: loads the image at path (absolute, in
// the engine's path form) into a new OpenGL texture and writes its name into
// id. A file that cannot be read leaves id untouched and shows a warning
// naming it. flag is unused (always false).
void LoadTexture(const std::string& path, std::uint32_t& id, bool flag);
