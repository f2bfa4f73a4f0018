#include "runtime/vtStartU.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "platform/Files.h"
#include "resources/vtStoreU.h"
#include "runtime/vtFontU.h"

void CreateProgramObjects() {
  GlobalFunc = std::make_unique<vtFunc>();
  GlobalFont = std::make_unique<vtFont>();
  GlobalLog = std::make_unique<vtLog>();
  GlobalStore = std::make_unique<vtStore>();
}

namespace {

// What keeps the folder from being played, or "" when its script is there.
std::string MissingScript(const std::string& scriptPath) {
  if (platform::IsRegularFile(scriptPath)) {
    std::FILE* f = platform::OpenFile(scriptPath, "rb");
    if (f) {
      std::fclose(f);
      return "";
    }
    return "cannot read its demo script " + scriptPath;
  }
  const size_t slash = scriptPath.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? "" : scriptPath.substr(0, slash);
  if (!folder.empty() && !platform::IsDirectory(folder))
    return "it has no " + folder + " folder (no demo script " + scriptPath + ")";
  return "it has no demo script " + scriptPath;
}

}  // namespace

bool EnterDemoFolder(const std::string& dir, const std::string& scriptPath, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string named = "the folder \"" + dir + "\"";
  const fs::file_status status = fs::status(dir, ec);
  if (!fs::exists(status)) {
    error = named + " does not exist";
    return false;
  }
  if (!fs::is_directory(status)) {
    error = named + " is not a folder";
    return false;
  }
  const fs::path previous = fs::current_path(ec);
  fs::current_path(dir, ec);
  if (ec) {
    error = named + " cannot be entered: " + ec.message();
    return false;
  }
  const std::string missing = MissingScript(scriptPath);
  if (missing.empty()) return true;
  error = named + " cannot be played: " + missing;
  fs::current_path(previous, ec);
  return false;
}

namespace {

// Field of view 45, aspect 4/3, near 1, far 10000: what every demo was made for.
void LoadStartupProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, kStartupAspect, 1.0, 10000.0);
}

}  // namespace

void ResizeViewport(int width, int height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  LoadStartupProjection();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool InitGlState() {
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  LoadStartupProjection();
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  return true;
}

void ActivateGlState(int width, int height) {
  ResizeViewport(width, height);
  InitGlState();
}
