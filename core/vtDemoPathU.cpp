#include "core/vtDemoPathU.h"

#include <algorithm>

#include "core/vtFuncU.h"
#include "platform/Files.h"

std::string DemoPath(const std::string& path, const std::string& workDir) {
  const size_t n = workDir.size();
  const bool inside = n > 0 && path.size() > n + 1 && path.compare(0, n, workDir) == 0 &&
                      (path[n] == '\\' || path[n] == '/');
  if (!inside) return path;
  std::string relative = path.substr(n + 1);
  std::replace(relative.begin(), relative.end(), '/', '\\');
  return relative;
}

std::string DemoPath(const std::string& path) {
  return DemoPath(path, GlobalFunc ? GlobalFunc->WorkDir : platform::CurrentDirectory());
}
