#include "platform/FileWatch.h"

#include <strings.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Files.h"

namespace platform {
namespace {

// Everything that can leave a different file under a watched name.
constexpr std::uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MODIFY;

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

}  // namespace

FileWatch::FileWatch() {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) error_ = std::string("inotify: ") + std::strerror(errno);
}

FileWatch::~FileWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileWatch::Add(const std::string& enginePath) {
  if (fd_ < 0 || enginePath.empty()) return false;
  if (Watches(enginePath)) return true;
  std::string folderPath, name;
  SplitPath(ResolvePath(enginePath), folderPath, name);
  if (name.empty()) return false;
  const int wd = ::inotify_add_watch(fd_, folderPath.c_str(), kEvents | IN_ONLYDIR);
  if (wd < 0) return false;
  FolderOf(wd, folderPath).Files.push_back(File{name, enginePath});
  return true;
}

// One descriptor per folder (inode), however the folder was spelt.
FileWatch::Folder& FileWatch::FolderOf(int descriptor, const std::string& path) {
  auto folder = std::find_if(folders_.begin(), folders_.end(),
                             [descriptor](const Folder& f) { return f.Descriptor == descriptor; });
  if (folder != folders_.end()) return *folder;
  folders_.push_back(Folder{descriptor, path, {}});
  return folders_.back();
}

void FileWatch::Set(const std::vector<std::string>& enginePaths) {
  std::vector<std::string> dropped;
  for (const Folder& folder : folders_)
    for (const File& file : folder.Files)
      if (std::find(enginePaths.begin(), enginePaths.end(), file.EnginePath) == enginePaths.end())
        dropped.push_back(file.EnginePath);
  for (const Folder& folder : gone_)
    for (const File& file : folder.Files)
      if (std::find(enginePaths.begin(), enginePaths.end(), file.EnginePath) == enginePaths.end())
        dropped.push_back(file.EnginePath);
  for (const std::string& path : dropped) Remove(path);
  for (const std::string& path : enginePaths) Add(path);
}

void FileWatch::Remove(const std::string& enginePath) {
  for (std::vector<Folder>* list : {&folders_, &gone_}) {
    for (auto folder = list->begin(); folder != list->end();) {
      auto& files = folder->Files;
      files.erase(std::remove_if(files.begin(), files.end(), [&](const File& f) { return f.EnginePath == enginePath; }),
                  files.end());
      if (!files.empty()) {
        ++folder;
        continue;
      }
      if (folder->Descriptor >= 0) ::inotify_rm_watch(fd_, folder->Descriptor);
      folder = list->erase(folder);
    }
  }
  pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                [&](const Change& c) { return c.EnginePath == enginePath; }),
                 pending_.end());
}

void FileWatch::Clear() {
  for (const Folder& folder : folders_) ::inotify_rm_watch(fd_, folder.Descriptor);
  folders_.clear();
  gone_.clear();
  pending_.clear();
}

bool FileWatch::Watches(const std::string& enginePath) const {
  for (const std::vector<Folder>* list : {&folders_, &gone_})
    for (const Folder& folder : *list)
      for (const File& file : folder.Files)
        if (file.EnginePath == enginePath) return true;
  return false;
}

void FileWatch::Poll(std::uint32_t nowMs, std::vector<std::string>& ready) {
  ready.clear();
  if (fd_ < 0) return;
  // What this poll reads happened since the previous one.
  const std::uint32_t since = polled_ && nowMs - lastPollMs_ < kSlackMs ? lastPollMs_ : nowMs - (polled_ ? kSlackMs : 0);
  polled_ = true;
  lastPollMs_ = nowMs;
  ReadEvents(since);
  if (!gone_.empty() && nowMs - lastRewatchMs_ >= kRewatchMs) Rewatch(nowMs);
  for (auto change = pending_.begin(); change != pending_.end();) {
    if (nowMs - change->LastMs >= kQuietMs) {
      ready.push_back(std::move(change->EnginePath));
      change = pending_.erase(change);
    } else {
      ++change;
    }
  }
}

void FileWatch::ReadEvents(std::uint32_t nowMs) {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t length = ::read(fd_, buffer, sizeof buffer);
    if (length <= 0) return;  // EAGAIN: nothing more queued
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        TouchAll(nowMs);  // events were lost: any file may have changed
      } else if (event->mask & IN_IGNORED) {
        FolderGone(event->wd);
      } else if (event->len > 0) {
        TouchFolder(event->wd, event->name, nowMs);
      }
    }
  }
}

// The folder went away (a folder unwatched by Remove is no longer listed):
// its files wait for its path to come back.
void FileWatch::FolderGone(int descriptor) {
  auto folder = std::find_if(folders_.begin(), folders_.end(),
                             [descriptor](const Folder& f) { return f.Descriptor == descriptor; });
  if (folder == folders_.end()) return;
  folder->Descriptor = -1;
  gone_.push_back(std::move(*folder));
  folders_.erase(folder);
}

// Folders that came back are watched again; their files may all be new.
void FileWatch::Rewatch(std::uint32_t nowMs) {
  lastRewatchMs_ = nowMs;
  for (auto folder = gone_.begin(); folder != gone_.end();) {
    const int wd = ::inotify_add_watch(fd_, folder->Path.c_str(), kEvents | IN_ONLYDIR);
    if (wd < 0) {
      ++folder;
      continue;
    }
    Folder& watched = FolderOf(wd, folder->Path);
    for (File& file : folder->Files) {
      Touch(file.EnginePath, nowMs);
      watched.Files.push_back(std::move(file));
    }
    folder = gone_.erase(folder);
  }
}

void FileWatch::TouchFolder(int descriptor, const char* name, std::uint32_t nowMs) {
  for (const Folder& folder : folders_) {
    if (folder.Descriptor != descriptor) continue;
    for (const File& file : folder.Files)
      if (::strcasecmp(file.Name.c_str(), name) == 0) Touch(file.EnginePath, nowMs);
  }
}

void FileWatch::TouchAll(std::uint32_t nowMs) {
  for (const Folder& folder : folders_)
    for (const File& file : folder.Files) Touch(file.EnginePath, nowMs);
}

void FileWatch::Touch(const std::string& enginePath, std::uint32_t nowMs) {
  for (Change& change : pending_) {
    if (change.EnginePath != enginePath) continue;
    change.LastMs = nowMs;
    return;
  }
  pending_.push_back(Change{enginePath, nowMs});
}

}  // namespace platform
