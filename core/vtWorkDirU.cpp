#include "core/vtWorkDirU.h"

#include "core/vtFuncU.h"
#include "platform/Files.h"

std::string WorkDir() { return GlobalFunc ? GlobalFunc->WorkDir : platform::CurrentDirectory(); }

std::string WithoutWorkDir(std::string text, const std::string& workDir) {
  if (workDir.empty()) return text;
  const std::string prefix = workDir + "\\";
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) text.erase(at, prefix.size());
  return text;
}
