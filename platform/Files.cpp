#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals name ignoring letter case, or "".
std::string FindIgnoringCase(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir == "/") return "/" + name;
  return dir + "/" + name;
}

}  // namespace

std::string ResolvePath(const std::string& enginePath) {
  std::string path = enginePath;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty() || Exists(path)) return path;

  // Walk the components, fixing the letter case of each one that exists.
  std::vector<std::string> parts;
  size_t start = 0;
  bool absolute = path[0] == '/';
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  std::string resolved = absolute ? "/" : "";
  bool first = true;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty()) {
      if (i == 0) continue;  // leading slash
      continue;              // doubled slash
    }
    std::string candidate = first && !absolute ? part : JoinPath(resolved, part);
    if (!Exists(candidate) && part != "." && part != "..") {
      std::string match = FindIgnoringCase(first && !absolute ? "" : resolved, part);
      if (!match.empty()) candidate = first && !absolute ? match : JoinPath(resolved, match);
    }
    resolved = candidate;
    first = false;
  }
  if (path.back() == '/' && (resolved.empty() || resolved.back() != '/')) resolved += '/';
  return resolved;
}

std::FILE* OpenFile(const std::string& enginePath, const char* mode) {
  if (enginePath.empty()) return nullptr;
  std::string path = ResolvePath(enginePath);
  struct stat st;
  bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  // Only regular files are read: a named pipe would wait for a writer for
  // ever and a device may never end.
  if (exists && mode[0] == 'r' && !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return nullptr;
  }
  return std::fopen(path.c_str(), mode);
}

std::string OpenFailureText(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
      return "there is no such file";
    case EISDIR:
      return "it is a folder";
    case EINVAL:
      return "it is not a regular file";
    default:
      return std::strerror(errorNumber);
  }
}

std::string CanonicalPath(const std::string& enginePath) {
  const std::string path = ResolvePath(enginePath);
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    std::string canonical(real);
    std::free(real);
    return canonical;
  }
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

bool PathExists(const std::string& enginePath) { return Exists(ResolvePath(enginePath)); }

bool IsDirectory(const std::string& enginePath) {
  struct stat st;
  return ::stat(ResolvePath(enginePath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& enginePath) {
  struct stat st;
  return ::stat(ResolvePath(enginePath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return ".";
    buf.resize(buf.size() * 2);
  }
  return std::string(buf.data());
}

namespace {
bool SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
}  // namespace

// The new content reaches the disk before it replaces the old one, and the
// rename itself is synced, so even a power cut leaves one whole file.
bool ReplaceFile(const std::string& fromEnginePath, const std::string& toEnginePath) {
  const std::string from = ResolvePath(fromEnginePath);
  const std::string to = ResolvePath(toEnginePath);
  if (!SyncPath(from, O_RDONLY)) return false;
  if (std::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncPath(FolderOf(to), O_RDONLY | O_DIRECTORY);  // best effort: some file systems refuse it
  return true;
}

}  // namespace platform
