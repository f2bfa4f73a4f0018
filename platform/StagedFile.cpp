#include "platform/StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Files.h"

namespace platform {
namespace {

std::string SystemError(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& enginePath, std::string& bytes, std::string& why) {
  std::FILE* file = OpenFile(enginePath, "rb");
  if (!file) {
    why = "cannot read " + enginePath + ": " + OpenFailureText(errno);
    return false;
  }
  bytes.clear();
  char block[65536];
  std::size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) why = SystemError("cannot read", enginePath, error);
  return !failed;
}

StagedFile::~StagedFile() { Discard(); }

StagedFile::Outcome StagedFile::CommitIfStill(std::string_view seen, std::string& why) {
  std::string now;
  if (staged_.empty()) {
    why = "nothing was staged for " + target_;
    return Outcome::Failed;
  }
  if (!ReadWholeFile(target_, now, why)) {
    Discard();
    return Outcome::Failed;
  }
  if (now != seen) {
    Discard();
    why = target_ + " changed since it was read";
    return Outcome::Changed;
  }
  return Commit(why) ? Outcome::Committed : Outcome::Failed;
}

void StagedFile::Discard() {
  if (!staged_.empty()) ::unlink(staged_.c_str());
  staged_.clear();
}

bool StagedFile::Stage(const std::string& enginePath, std::string_view bytes, std::string& why) {
  Discard();
  target_ = ResolvePath(enginePath);
  if (char* real = ::realpath(target_.c_str(), nullptr)) {
    target_ = real;
    std::free(real);
  }
  const std::string folder = FolderOf(target_);
  const std::string name = target_.substr(target_.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  std::vector<char> path;
  const std::string pattern = folder + "/." + name + ".edit-XXXXXX" + extension;
  path.assign(pattern.begin(), pattern.end());
  path.push_back('\0');
  const int fd = ::mkostemps(path.data(), static_cast<int>(extension.size()), O_CLOEXEC);
  if (fd < 0) {
    why = SystemError("cannot create a file in", folder, errno);
    return false;
  }
  staged_ = path.data();
  struct stat old;
  const mode_t mode = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = WriteAll(fd, bytes);
  int error = errno;
  if (ok && !(ok = ::fchmod(fd, mode) == 0)) error = errno;
  if (ok && !(ok = ::fsync(fd) == 0)) error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    why = SystemError("cannot write", target_, error);
    Discard();
  }
  return ok;
}

bool StagedFile::Commit(std::string& why) {
  if (staged_.empty()) {
    why = "nothing was staged for " + target_;
    return false;
  }
  if (::rename(staged_.c_str(), target_.c_str()) != 0) {
    why = SystemError("cannot replace", target_, errno);
    Discard();
    return false;
  }
  staged_.clear();
  // Best effort: some file systems refuse to sync a folder.
  const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

}  // namespace platform
