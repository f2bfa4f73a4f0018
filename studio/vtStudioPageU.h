// The studio page's files (index.html, studio.css, studio.js from
// studio/page), compiled into the program by EmbedPage.cmake.
//
// Threads: constant data, read from any thread.
#pragma once

#include <cstddef>

struct vtStudioPageFile {
  const char* Path;  // "/index.html", "/studio.css", "/studio.js"
  const unsigned char* Data;
  std::size_t Size;
};

extern const vtStudioPageFile kStudioPageFiles[];
extern const int kStudioPageFileCount;

// The file served at path, or nullptr.
const vtStudioPageFile* FindStudioPageFile(const char* path);
// The content type of a page file by its extension.
const char* StudioPageContentType(const char* path);
