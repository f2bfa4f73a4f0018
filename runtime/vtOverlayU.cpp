#include "runtime/vtOverlayU.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/vtFuncU.h"
#include "runtime/vtFontU.h"

namespace {

// Layout in the chart's 1024 x 768 units: the graph at the bottom left,
// 1.5 units per frame and 2 units per millisecond, the text above it.
constexpr float kScreenWidth = 1024, kScreenHeight = 768;
constexpr float kLeft = 12, kBottom = 12;
constexpr float kBarWidth = 1.5f;
constexpr float kUnitsPerMs = 2;
constexpr float kGraphWidth = kBarWidth * vtTimeOverlay::kFrames;
constexpr float kGraphHeight = kUnitsPerMs * vtTimeOverlay::kGraphMs;
constexpr float kFrame60 = 1000.0f / 60, kFrame30 = 1000.0f / 30;
constexpr float kLinePixels = 28;     // one text line of the 24-pixel font
constexpr float kCharPixels = 15;     // its widest advance, about
constexpr float kMargin = 6;

void Rect(float x0, float y0, float x1, float y1) {
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
}

void HorizontalLine(float ms) {
  const float y = kBottom + ms * kUnitsPerMs;
  glVertex2f(kLeft, y);
  glVertex2f(kLeft + kGraphWidth, y);
}

// Chart units per window pixel, vertically (the font is drawn in pixels).
float UnitsPerPixel() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  return viewport[3] > 0 ? kScreenHeight / static_cast<float>(viewport[3]) : 1.0f;
}

}  // namespace

char* FormatDemoTime(float ms, char* out, std::size_t size) {
  const long long total = std::llround(static_cast<double>(ms));
  const long long magnitude = std::llabs(total);
  std::snprintf(out, size, "%s%lld:%02lld.%03lld", total < 0 ? "-" : "", magnitude / 60000,
                magnitude / 1000 % 60, magnitude % 1000);
  return out;
}

void vtTimeOverlay::RecordFrameTime(float ms) {
  times_[next_] = ms;
  next_ = (next_ + 1) % kFrames;
  count_ = std::min(count_ + 1, kFrames);
}

float vtTimeOverlay::FrameTime(std::size_t age) const {
  return times_[(next_ + kFrames - 1 - age % kFrames) % kFrames];
}

const char* vtTimeOverlay::StatusLine(const vtOverlayInfo& info) {
  char time[24];
  FormatDemoTime(info.TimeMs, time, sizeof time);
  std::snprintf(status_, sizeof status_, "%s  %gx%s", time, static_cast<double>(info.Speed),
                info.Paused ? "  paused" : "");
  return status_;
}

const char* vtTimeOverlay::LoopLine(const vtOverlayInfo& info) {
  const vtLoopSpan& loop = info.Loop;
  char start[24] = "-", end[24] = "-";
  if (loop.HasStart) FormatDemoTime(loop.Start, start, sizeof start);
  if (loop.HasEnd) FormatDemoTime(loop.End, end, sizeof end);
  if (!loop.HasStart && !loop.HasEnd)
    loop_[0] = '\0';
  else
    std::snprintf(loop_, sizeof loop_, "loop %s - %s%s", start, end,
                  loop.Active() || !(loop.HasStart && loop.HasEnd) ? "" : " (off: end before start)");
  return loop_;
}

void vtTimeOverlay::Draw(const vtOverlayInfo& info) {
  if (!GlobalFunc) return;
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LINE_BIT | GL_LIST_BIT |
               GL_POLYGON_BIT | GL_TRANSFORM_BIT | GL_DEPTH_BUFFER_BIT);
  GlobalFunc->Begin2D(kScreenWidth, kScreenHeight);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_FOG);
  glDisable(GL_ALPHA_TEST);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glLineWidth(1.0f);
  DrawGraph();
  DrawText(info);
  GlobalFunc->End2D();
  glPopAttrib();
}

float vtTimeOverlay::TopInPixels() {
  // The text starts 8 pixels above the graph's band (DrawText); two lines.
  return (kBottom + kGraphHeight + kMargin) / UnitsPerPixel() + 8 + 2 * kLinePixels;
}

void vtTimeOverlay::DrawGraph() const {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0, 0, 0, 0.6f);
  glBegin(GL_QUADS);
  Rect(kLeft - kMargin, kBottom - kMargin, kLeft + kGraphWidth + kMargin, kBottom + kGraphHeight + kMargin);
  glEnd();
  glDisable(GL_BLEND);
  // The newest frame at the right; a bar's colour says which rate it kept.
  glBegin(GL_QUADS);
  for (std::size_t age = 0; age < count_; ++age) {
    const float ms = FrameTime(age);
    const float x1 = kLeft + kGraphWidth - kBarWidth * static_cast<float>(age);
    const float top = kBottom + std::clamp(ms, 0.0f, kGraphMs) * kUnitsPerMs;
    if (ms <= kFrame60 + 0.5f)
      glColor3f(0.2f, 0.8f, 0.2f);
    else if (ms <= kFrame30 + 0.5f)
      glColor3f(0.9f, 0.8f, 0.1f);
    else
      glColor3f(0.9f, 0.2f, 0.2f);
    Rect(x1 - kBarWidth, kBottom, x1, top);
  }
  glEnd();
  glBegin(GL_LINES);
  glColor3f(1, 1, 1);
  HorizontalLine(kFrame60);
  glColor3f(1, 0.4f, 0.4f);
  HorizontalLine(kFrame30);
  glEnd();
}

void vtTimeOverlay::DrawText(const vtOverlayInfo& info) {
  const char* lines[2] = {LoopLine(info), StatusLine(info)};  // bottom up
  const float unitsPerPixel = UnitsPerPixel();
  const float lineHeight = kLinePixels * unitsPerPixel;
  float y = kBottom + kGraphHeight + kMargin + 8 * unitsPerPixel;
  std::size_t longest = 0;
  int shown = 0;
  for (const char* line : lines) {
    longest = std::max(longest, std::strlen(line));
    if (*line) ++shown;
  }
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0, 0, 0, 0.6f);
  glBegin(GL_QUADS);
  Rect(kLeft - kMargin, y - kMargin, kLeft + kCharPixels * unitsPerPixel * static_cast<float>(longest) + kMargin,
       y + lineHeight * static_cast<float>(shown));
  glEnd();
  glDisable(GL_BLEND);
  if (!GlobalFont) return;
  glColor3f(1, 1, 1);
  for (const char* line : lines) {
    if (!*line) continue;
    glRasterPos2f(kLeft, y + 4 * unitsPerPixel);
    GlobalFont->Print(line, std::strlen(line));
    y += lineHeight;
  }
}
