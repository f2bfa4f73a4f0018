// Textures: one image file and the OpenGL texture made from it, loaded once
// per file through the resource store and logged.
#pragma once

#include <cstdint>
#include <string>

class vtTexture {
 public:
  std::string FileName;   // relative to the working directory
  std::uint32_t Id = 0;   // the OpenGL texture name; 0 until loaded or when loading failed
  std::string Key;        // the store's name for the picture (the file on disk), set by Load

  // Stores path, made relative to the current directory when it starts with it.
  void SetFileName(const std::string& path);
  // Makes Id valid: from the store, or by loading the file. The store knows
  // textures by the file on disk (platform::CanonicalPath), so every
  // spelling of one file gives one texture; the log and ToString keep
  // FileName as written. When WorkDir\FileName is no file, the picture's
  // bare name is looked for, in any letter case, next to namedIn (the file
  // that names the picture: the item's file), then in WorkDir\data; the
  // log says where it was found. A picture that cannot be loaded shows the
  // warning of LoadTexture and says why (vtReportFileProblem), once per
  // file; its finding goes to each file naming it. Main thread, with the GL
  // context current.
  void Load(const std::string& namedIn = std::string());
  std::string ToString() const;
};

// The texture library's entry point: loads the image at path (absolute, in
// the engine's path form) into a new OpenGL texture and writes its name into
// id. A file that cannot be loaded leaves id untouched, shows a warning
// naming path, returns false and puts the reason into whyNot when given.
// flag is unused (always false).
bool LoadTexture(const std::string& path, std::uint32_t& id, bool flag, std::string* whyNot = nullptr);
