#include "platform/Present.h"

#include <GL/gl.h>

namespace platform {
namespace {
struct Presenter {
  void* window = nullptr;
  std::function<void()> swap;
};
Presenter& Current() {
  static Presenter presenter;
  return presenter;
}
}  // namespace

void* ActiveWindow() { return Current().window; }

void SetActiveWindow(void* window, std::function<void()> swapBuffers) {
  Current().window = window;
  Current().swap = std::move(swapBuffers);
}

void SwapWindowBuffers() {
  if (Current().swap)
    Current().swap();
  else
    glFinish();
}

}  // namespace platform
