#include "ItemFuzz.h"

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "platform/MessageBox.h"
#include "platform/OffscreenGL.h"
#include "resources/vtStoreU.h"

namespace itemfuzz {
namespace {

bool Setup() {
  static std::unique_ptr<platform::OffscreenGL> gl;
  if (gl) return gl->Ok() && gl->MakeCurrent();
  gl = std::make_unique<platform::OffscreenGL>(64, 64);
  if (!gl->Ok()) {
    std::fprintf(stderr, "no offscreen OpenGL context: %s\n", gl->Error().c_str());
    return false;
  }
  // Input may name any file as a texture; none may wait for a terminal.
  if (!std::freopen("/dev/null", "r", stdin)) return false;
  // Music named by a script plays into nothing.
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return platform::MsgAnswer::Ok; });
  // The item files name textures relative to the working directory: keep
  // them inside a scratch folder of this process.
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/vt_fuzz_items_" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  return ::chdir(dir.c_str()) == 0 && gl->MakeCurrent();
}

}  // namespace

bool Begin() {
  static const bool ready = Setup();
  if (!ready) return false;
  GlobalFunc = std::make_unique<vtFunc>();
  GlobalLog = std::make_unique<vtLog>();
  GlobalStore = std::make_unique<vtStore>();
  return true;
}

bool WriteScratchFile(const std::string& name, const std::uint8_t* data, size_t size) {
  ::unlink(name.c_str());  // a fresh file is faster than truncating one
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

std::string Prepare(const std::uint8_t* data, size_t size, const std::string& extension) {
  if (!Begin()) return {};
  const std::string name = "item." + extension;
  if (!WriteScratchFile(name, data, size)) return {};
  return GlobalFunc->WorkDir + "\\" + name;
}

void ReleaseGlNames() {
  // New names come after the highest one in use.
  const GLuint lists = glGenLists(1);
  if (lists != 0) glDeleteLists(1, static_cast<GLsizei>(lists));
  GLuint texture = 0;
  glGenTextures(1, &texture);
  for (GLuint name = 1; name <= texture; ++name) glDeleteTextures(1, &name);
}

}  // namespace itemfuzz
