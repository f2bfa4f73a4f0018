// Replacing a file's content so that a failure at any step leaves the old
// file whole: the new bytes go to a copy beside it (same folder, so the
// rename cannot cross file systems), reach the disk, take the old file's
// permission bits, and only then are renamed over it; the folder is synced
// last so the rename itself survives a power cut.
//
//   platform::StagedFile staged;
//   if (!staged.Stage(path, bytes, why)) ...   // nothing changed
//   (the copy may be read at staged.Path() meanwhile)
//   if (!staged.Commit(why)) ...               // nothing changed
//   or, when the file may be saved by others meanwhile:
//   staged.CommitIfStill(bytesSeen, why)       // Changed: their save stays
//
// Every failure comes with the reason in words, naming the step and the
// system's error ("cannot write data/x.vds: No space left on device").
// A copy that is not committed is removed with the object.
//
// Threads: one object on one thread; separate objects on any threads.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The whole content of a regular file; false with the reason.
bool ReadWholeFile(const std::string& enginePath, std::string& bytes, std::string& why);

class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Writes bytes to a new hidden file beside the one at enginePath (a link
  // is followed to its file), ending in the same extension so the readers
  // accept it. False with the reason; no copy is left then.
  bool Stage(const std::string& enginePath, std::string_view bytes, std::string& why);
  // The staged copy's disk path.
  const std::string& Path() const { return staged_; }
  // Renames the copy over the file. False with the reason; the copy is
  // removed and the old file stays as it was.
  bool Commit(std::string& why);
  // Commit, if the file still holds the bytes `seen`: compared right before
  // the rename, so that a save made since they were read is never
  // overwritten (Changed: the copy is removed, the file stays as it is).
  // Failed with the reason when the file cannot be read or replaced.
  enum class Outcome { Committed, Changed, Failed };
  Outcome CommitIfStill(std::string_view seen, std::string& why);
  void Discard();

 private:
  std::string target_;  // the disk path the copy replaces
  std::string staged_;
};

}  // namespace platform
