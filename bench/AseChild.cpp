#include "bench/AseChild.h"

#include <GL/gl.h>

#include <cstdio>
#include <memory>

#include "bench/BenchSupport.h"
#include "core/vtFuncU.h"
#include "core/vtLoadPipelineU.h"
#include "core/vtLogU.h"
#include "platform/MessageBox.h"
#include "platform/OffscreenGL.h"
#include "resources/vtStoreU.h"
#include "scene/vtSceneASEU.h"

namespace bench {

void StartEngine() {
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return platform::MsgAnswer::Ok; });
  GlobalFunc = std::make_unique<vtFunc>();
  GlobalLog = std::make_unique<vtLog>();
  GlobalStore = std::make_unique<vtStore>();
}

int TimeAseRead(const std::string& path, bool withGl) {
  std::unique_ptr<platform::OffscreenGL> gl;
  if (withGl) {
    gl = std::make_unique<platform::OffscreenGL>(64, 64);
    if (!gl->Ok() || !gl->MakeCurrent()) {
      std::fprintf(stderr, "no offscreen GL: %s\n", gl->Error().c_str());
      return 1;
    }
  }
  StartEngine();
  vtSceneASE scene;
  scene.FileName = path;
  const auto start = Clock::now();
  const double cpuStart = ProcessCpuSeconds();
  if (withGl) {
    // As the player loads: through the load pipeline, workers reading.
    vtLoadPipeline pipeline(vtLoadPipeline::ConfiguredThreads());
    vtLoadPipeline::Attachment attached(pipeline);
    scene.LoadFromFile();
    pipeline.Finish();
    glFinish();
  } else {
    scene.ReadFile();
  }
  const double seconds = SecondsSince(start);
  const double cpu = ProcessCpuSeconds() - cpuStart;
  if (!scene.Loaded || scene.Objects.empty()) return 1;
  std::printf("%.6f %zu %.6f\n", seconds, scene.Objects.size(), cpu);
  return 0;
}

}  // namespace bench
