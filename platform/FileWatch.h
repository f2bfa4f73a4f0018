// Watching files for changes (Linux inotify).
//
// Editors save by writing a new file and renaming it over the old one, and
// some first move the old file away: the file's own inode comes and goes.
// So the folders that hold the files are watched, and every event that
// names a watched file (written and closed, moved in or out, created,
// deleted, its attributes changed) marks it changed. A file is reported once
// it has been quiet for kQuietMs, so a save made of several steps is one
// change and a file still being written is not reported yet.
//
// A watched folder that goes away (deleted, or moved off and replaced)
// keeps its files: every kRewatchMs Poll tries to watch its path again,
// and once it can, each of its files counts as changed.
//
// Events are read when Poll runs, so a change counts from the previous
// poll (it happened after that), but from at most kSlackMs before the poll
// that reads it: the quiet time is kQuietMs - kSlackMs to kQuietMs.
//
// Threads: one thread owns a FileWatch (the player's main thread); nothing
// runs in the background. Poll never waits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class FileWatch {
 public:
  static constexpr std::uint32_t kQuietMs = 30;
  static constexpr std::uint32_t kSlackMs = 10;
  static constexpr std::uint32_t kRewatchMs = 250;

  FileWatch();  // Ok() false, with Error(), when inotify is not available
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  bool Ok() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }

  // Watches exactly these files: the others are dropped (with their
  // pending changes), new ones added as Add does.
  void Set(const std::vector<std::string>& enginePaths);
  // Watches the file at enginePath (the file itself need not exist yet;
  // its name is matched ignoring letter case, as the file layer opens it).
  // False when its folder cannot be watched (missing, no permission, no
  // inotify). Adding a path twice watches it once. A file whose folder has
  // gone since it was added is still watched (see above).
  bool Add(const std::string& enginePath);
  void Remove(const std::string& enginePath);
  void Clear();
  bool Watches(const std::string& enginePath) const;

  // Takes every event the kernel has queued (nowMs: any millisecond clock)
  // and sets ready to the engine paths, as given to Add, of the files
  // changed and quiet since. Without events and pending files it costs one
  // system call and allocates nothing (and while a folder is gone, one
  // more every kRewatchMs).
  void Poll(std::uint32_t nowMs, std::vector<std::string>& ready);
  // True while a reported change waits for its quiet time.
  bool Pending() const { return !pending_.empty(); }

 private:
  struct File {
    std::string Name;        // the name on disk, or as written while missing
    std::string EnginePath;  // as given to Add
  };
  struct Folder {
    int Descriptor = -1;
    std::string Path;
    std::vector<File> Files;
  };
  struct Change {
    std::string EnginePath;
    std::uint32_t LastMs = 0;
  };

  void ReadEvents(std::uint32_t nowMs);
  void Touch(const std::string& enginePath, std::uint32_t nowMs);
  void TouchFolder(int descriptor, const char* name, std::uint32_t nowMs);
  void TouchAll(std::uint32_t nowMs);
  void FolderGone(int descriptor);
  void Rewatch(std::uint32_t nowMs);
  Folder& FolderOf(int descriptor, const std::string& path);

  int fd_ = -1;
  bool polled_ = false;
  std::uint32_t lastPollMs_ = 0;
  std::string error_;
  std::vector<Folder> folders_;
  std::vector<Folder> gone_;  // folders that went away, their paths tried again
  std::uint32_t lastRewatchMs_ = 0;
  std::vector<Change> pending_;
};

}  // namespace platform
