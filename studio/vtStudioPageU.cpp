#include "studio/vtStudioPageU.h"

#include <cstring>

const vtStudioPageFile* FindStudioPageFile(const char* path) {
  for (int i = 0; i < kStudioPageFileCount; ++i)
    if (std::strcmp(kStudioPageFiles[i].Path, path) == 0) return &kStudioPageFiles[i];
  return nullptr;
}

const char* StudioPageContentType(const char* path) {
  const char* dot = std::strrchr(path, '.');
  if (dot && std::strcmp(dot, ".css") == 0) return "text/css; charset=utf-8";
  if (dot && std::strcmp(dot, ".js") == 0) return "text/javascript; charset=utf-8";
  return "text/html; charset=utf-8";
}
