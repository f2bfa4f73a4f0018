// Reads arbitrary "vtl" files, draws them at a few times on an offscreen
// context, and checks that what the writer puts out reads back to the
// same file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/vtFuncU.h"
#include "core/vtTextU.h"
#include "layers/vtLSysU.h"
#include "platform/MessageBox.h"
#include "platform/OffscreenGL.h"

namespace {

std::string TempPath(const char* what) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/vt_fuzz_vtl_" + std::to_string(::getpid()) + what;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

// Everything behind the "#Build" line, which holds the clock.
std::string Body(const std::string& saved) {
  size_t build = saved.find("\r\n");
  build = build == std::string::npos ? build : saved.find("\r\n", build + 2);
  return build == std::string::npos ? std::string() : saved.substr(build + 2);
}

// Texture names that are themselves keys, block or comment marks cannot be
// written so that they read back; the format has no escapes.
bool WritableNames(const vtLayerSystem& system) {
  for (const auto& layer : system.Layers) {
    const std::string& name = layer->TextureSource;
    for (const char* mark : {"}", "VT_", "/*", "*/"})
      if (name.find(mark) != std::string::npos) return false;
  }
  return true;
}

void Draw(vtLayerSystem& system) {
  for (float t : {-1.0f, 999.5f, 1500.0f, 4.3e9f}) system.Render(t);
}

std::unique_ptr<vtLayerSystem> Load(const std::string& path) {
  auto system = std::make_unique<vtLayerSystem>(vt_2D_VTL, path);
  try {
    system->LoadFromFile();
  } catch (const vtConvertError&) {
  }
  return system;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return platform::MsgAnswer::Ok; });
  static platform::OffscreenGL gl(64, 48);
  if (!gl.Ok() || !gl.MakeCurrent()) std::abort();
  GlobalFunc = std::make_unique<vtFunc>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static const std::string input = TempPath("_in.vtl");
  static const std::string saved = TempPath("_saved.vtl");
  static const std::string resaved = TempPath("_resaved.vtl");
  if (!WriteFile(input, data, size)) return 0;

  auto system = Load(input);
  const bool loaded = system->Loaded;
  system->Loaded = true;  // also draw what a failed load kept
  Draw(*system);
  if (!loaded || !WritableNames(*system)) return 0;

  if (!system->SaveToFile(saved)) std::abort();
  auto back = Load(saved);
  if (!back->Loaded || back->Layers.size() != system->Layers.size()) std::abort();
  if (!back->SaveToFile(resaved)) std::abort();
  if (Body(ReadFile(saved)) != Body(ReadFile(resaved))) std::abort();
  return 0;
}
