#include "bench/DemoSetup.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "runtime/vtStartU.h"

namespace bench {

bool PrepareProcess() {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall& call) {
    std::cerr << call.Caption << ": " << call.Text << std::endl;
    return call.Buttons == platform::MsgButtons::YesNo ? platform::MsgAnswer::Yes : platform::MsgAnswer::Ok;
  });
  if (chdir(VT_SOURCE_DIR) != 0) {
    std::perror(VT_SOURCE_DIR);
    return false;
  }
  return true;
}

bool LoadSampleScript() {
  CreateProgramObjects();
  DemoSystem = std::make_unique<vtDemoSystem>();
  if (DemoSystem->LoadScript(kSampleScript)) return true;
  std::cerr << "cannot read " << kSampleScript << std::endl;
  return false;
}

std::unique_ptr<platform::OffscreenGL> OpenContext(int width, int height) {
  auto gl = std::make_unique<platform::OffscreenGL>(width, height);
  if (!gl->Ok()) {
    std::cerr << "no offscreen GL: " << gl->Error() << std::endl;
    return nullptr;
  }
  ActivateGlState(width, height);
  return gl;
}

void InitDemo(bool keepMusic) {
  DemoSystem->SetManualTime(0);
  DemoSystem->Init();
  if (!keepMusic) DemoSystem->Music->Stop();
}

}  // namespace bench
