// Helpers shared by the tests: fresh program-wide objects, a scratch
// folder, and the paths of the source tree and the shared test data.
#pragma once

#include <string>

namespace testsupport {

// Replaces GlobalFunc, GlobalLog and GlobalStore by fresh objects (in the
// start-up order); GlobalFunc's WorkDir is the current directory.
void ResetGlobals();

// A new empty folder under the build tree, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file (binary, exactly these bytes) and returns its path.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Runs the current directory elsewhere for the object's lifetime.
class ChangeDir {
 public:
  explicit ChangeDir(const std::string& path);
  ~ChangeDir();

 private:
  std::string old_;
};

// While alive, the calling thread obeys file modes even as root: the
// capabilities that let root read and search anything are lowered from its
// effective set and raised again at the end. Active() tells whether modes
// bind the thread (always true for other users).
class ObeyFileModes {
 public:
  ObeyFileModes();
  ~ObeyFileModes();
  ObeyFileModes(const ObeyFileModes&) = delete;
  ObeyFileModes& operator=(const ObeyFileModes&) = delete;
  bool Active() const { return active_; }

 private:
  bool lowered_ = false;
  bool active_ = false;
};

std::string ReadFileText(const std::string& path);
std::string SourceDir();  // the project's source tree
std::string SharedDir();  // the shared test data (../shared of the source tree)

}  // namespace testsupport
