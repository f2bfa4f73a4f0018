#include "runtime/vtLoadBarU.h"

#include <GL/gl.h>

#include <algorithm>

#include "core/vtTextU.h"
#include "platform/Clock.h"
#include "platform/Present.h"

namespace {

vtLoadingBar* g_activeBar = nullptr;

void OnFileProgress(double fraction) {
  if (g_activeBar) g_activeBar->SetFileProgress(fraction);
}

// The bar in the loading projection: a frame of 400 x 20 in the middle.
constexpr float kLeft = 200, kRight = 600, kBottom = 290, kTop = 310;

}  // namespace

void vtLoadingBar::Begin(std::size_t count) {
  count_ = count;
  index_ = 0;
  fileFraction_ = 0;
  pictures_ = 0;
  g_activeBar = this;
  vtText::SetProgressHook(&OnFileProgress);
  Show(true);
}

void vtLoadingBar::StartItem(std::size_t index) {
  index_ = index;
  fileFraction_ = 0;
  Show(false);
}

void vtLoadingBar::SetFileProgress(double fraction) {
  fileFraction_ = std::clamp(fraction, 0.0, 1.0);
  Show(false);
}

void vtLoadingBar::End() {
  vtText::SetProgressHook(nullptr);
  if (g_activeBar == this) g_activeBar = nullptr;
}

float vtLoadingBar::Progress() const {
  if (count_ == 0) return 1;
  return static_cast<float>(std::min(1.0, (index_ + fileFraction_) / count_));
}

void vtLoadingBar::Show(bool force) {
  const std::uint32_t now = platform::TimeGetTime();
  if (!force && pictures_ > 0 && now - lastShown_ < kMinInterval) return;
  // Never draw into a display list an item is compiling.
  GLint compiling = 0;
  glGetIntegerv(GL_LIST_INDEX, &compiling);
  if (compiling != 0) return;
  lastShown_ = now;
  ++pictures_;
  Draw();
  platform::SwapWindowBuffers();
}

void vtLoadingBar::Draw() const {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glClear(GL_COLOR_BUFFER_BIT);
  const float right = kLeft + (kRight - kLeft) * Progress();
  glColor3f(0.8f, 0.8f, 0.8f);
  glBegin(GL_QUADS);
  glVertex2f(kLeft, kBottom);
  glVertex2f(right, kBottom);
  glVertex2f(right, kTop);
  glVertex2f(kLeft, kTop);
  glEnd();
  glColor3f(0.5f, 0.5f, 0.5f);
  glBegin(GL_LINE_LOOP);
  glVertex2f(kLeft - 2, kBottom - 2);
  glVertex2f(kRight + 2, kBottom - 2);
  glVertex2f(kRight + 2, kTop + 2);
  glVertex2f(kLeft - 2, kTop + 2);
  glEnd();
  glPopAttrib();
}
