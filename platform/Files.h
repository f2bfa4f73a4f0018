// The one door between engine paths and the disk.
//
// Engine paths keep the Windows form the demo data was written for:
// WorkDir + "\" + relative name, with any letter case. Every file the
// engine opens (scripts, description files, images, music, the log)
// goes through ResolvePath, which maps '\' to '/' and, when the exact
// path does not exist, resolves each component case-insensitively.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The disk path for an engine path. Components that exist with another
// letter case are replaced by the name found on disk; components that do
// not exist at all are kept as written (so a new file can be created).
std::string ResolvePath(const std::string& enginePath);

// fopen on the resolved path. Directories are refused; reading modes open
// regular files only (no pipes or devices).
// Returns nullptr on any failure, with errno set (OpenFailureText says it
// in words); nothing is shown or logged.
std::FILE* OpenFile(const std::string& enginePath, const char* mode);

// Why OpenFile failed, from the errno it left: "there is no such file",
// "it is a folder", "it is not a regular file" or the system's words.
std::string OpenFailureText(int errorNumber);

// The file an engine path opens, as one absolute disk path: letter case
// resolved as ResolvePath does, then '.', '..' and symbolic links
// followed, so every spelling of one file gives the same string. A path
// that leads nowhere is made absolute and normal by its text alone.
std::string CanonicalPath(const std::string& enginePath);

bool PathExists(const std::string& enginePath);
bool IsDirectory(const std::string& enginePath);
bool IsRegularFile(const std::string& enginePath);

// The process's current directory, absolute, without a trailing slash
// (except for the root directory "/").
std::string CurrentDirectory();

// Renames a file into place (both engine paths) once its content is on
// the disk; true on success.
bool ReplaceFile(const std::string& fromEnginePath, const std::string& toEnginePath);

}  // namespace platform
