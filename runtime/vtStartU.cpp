#include "runtime/vtStartU.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <memory>

#include "core/vtFuncU.h"
#include "core/vtLogU.h"
#include "resources/vtStoreU.h"
#include "runtime/vtFontU.h"

void CreateProgramObjects() {
  GlobalFunc = std::make_unique<vtFunc>();
  GlobalFont = std::make_unique<vtFont>();
  GlobalLog = std::make_unique<vtLog>();
  GlobalStore = std::make_unique<vtStore>();
}

namespace {

// Field of view 45, aspect 4/3, near 1, far 10000: what every demo was made for.
void LoadStartupProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 4.0 / 3.0, 1.0, 10000.0);
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
