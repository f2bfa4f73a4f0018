#include "live/vtConsoleU.h"

#include <GL/gl.h>

#include <cstdio>

#include "core/vtFuncU.h"
#include "core/vtWorkDirU.h"
#include "platform/Clock.h"

namespace {

constexpr float kMargin = 6;     // pixels from the picture's edges
constexpr float kPadding = 3;    // around the text on its dark band
constexpr float kLineGap = 4;    // between two bands

vtConsoleKind KindOf(const platform::MessageBoxCall& call) {
  if (call.Caption == kCaptionPanic) return vtConsoleKind::Panic;
  if (call.Caption == kCaptionWarning) return vtConsoleKind::Warning;
  if (call.Caption == kCaptionInfo) return vtConsoleKind::Information;
  if (call.Caption == kCaptionDebug) return vtConsoleKind::Debug;
  switch (call.Icon) {  // the window's own boxes carry the window's caption
    case platform::MsgIcon::Error: return vtConsoleKind::Panic;
    case platform::MsgIcon::Warning: return vtConsoleKind::Warning;
    default: return vtConsoleKind::Information;
  }
}

void SetColour(vtConsoleKind kind) {
  switch (kind) {
    case vtConsoleKind::Panic: glColor3ub(255, 110, 100); break;
    case vtConsoleKind::Warning: glColor3ub(255, 215, 90); break;
    default: glColor3ub(225, 225, 225); break;
  }
}

void WriteToStderr(const platform::MessageBoxCall& call) {
  std::string text = call.Text;
  for (char& c : text)
    if (c == '\r') c = '\n';
  std::fprintf(stderr, "[%s] %s\n", call.Caption.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace

vtConsole::~vtConsole() { Detach(); }

void vtConsole::Attach() {
  now_ = platform::TimeGetTime();
  platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& call) {
    // A question needs an answer from the user: it is asked as always.
    if (call.Buttons == platform::MsgButtons::YesNo) return platform::ShowDefaultMessageBox(call);
    WriteToStderr(call);
    Add(call, now_);
    return platform::MsgAnswer::Ok;
  });
  attached_ = true;
}

void vtConsole::Detach() {
  if (!attached_) return;
  platform::SetMessageBoxHandler(nullptr);
  attached_ = false;
}

std::string vtConsole::Format(const platform::MessageBoxCall& call) const {
  const std::string text = WithoutWorkDir(call.Text, workDir_);
  std::string line = call.Caption + ": ";
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line += " | ";
    } else if (c == '\t') {
      line += ' ';
    } else if (c >= 32 && c < 127) {
      line += c;
    }
  }
  return line;
}

void vtConsole::Add(const platform::MessageBoxCall& call, std::uint32_t nowMs) {
  Expire(nowMs);
  if (count_ == kMaxLines) {  // the oldest line makes room
    first_ = (first_ + 1) % kMaxLines;
    --count_;
  }
  Line& line = lines_[static_cast<size_t>((first_ + count_) % kMaxLines)];
  ++count_;
  const std::string text = Format(call);
  line.Kind = KindOf(call);
  line.ShownAt = nowMs;
  line.DemoTime = demoTime_;
  line.Sequence = ++sequence_;
  line.Length = text.copy(line.Text, kLineChars);
  line.Text[line.Length] = '\0';
  if (observer_) observer_(vtConsoleMessage{line.Kind, call.Caption, call.Text, text, demoTime_, line.Sequence});
}

void vtConsole::Expire(std::uint32_t nowMs) {
  while (count_ > 0 && nowMs - lines_[static_cast<size_t>(first_)].ShownAt >= kShowMs) {
    first_ = (first_ + 1) % kMaxLines;
    --count_;
  }
}

const vtConsole::Line& vtConsole::At(int index) const {
  return lines_[static_cast<size_t>((first_ + index) % kMaxLines)];
}

void vtConsole::BuildFont() {
  if (fontBuilt_) return;
  font_.PixelHeight = kFontPixels;
  font_.Build(nullptr);
  fontBuilt_ = true;
}

void vtConsole::ReleaseFont() {
  if (!fontBuilt_) return;
  font_.Release();
  fontBuilt_ = false;
}

void vtConsole::Draw(std::uint32_t nowMs) {
  Expire(nowMs);
  if (count_ == 0) return;
  BuildFont();
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LIST_BIT | GL_TRANSFORM_BIT |
               GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
  GlobalFunc->Begin2D(static_cast<float>(viewport[2]), static_cast<float>(viewport[3]));
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_FOG);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float step = static_cast<float>(font_.LineHeight) + 2 * kPadding + kLineGap;
  for (int i = 0; i < count_; ++i) DrawLine(At(i), bottom_ + kMargin + step * static_cast<float>(count_ - 1 - i));
  GlobalFunc->End2D();
  glPopAttrib();
}

// One line on a dark band whose bottom edge is at y.
void vtConsole::DrawLine(const Line& line, float y) const {
  const float width = static_cast<float>(font_.Advance) * static_cast<float>(line.Length) + 2 * kPadding;
  const float height = static_cast<float>(font_.LineHeight) + 2 * kPadding;
  glColor4f(0, 0, 0, 0.7f);
  glBegin(GL_QUADS);
  glVertex2f(kMargin, y);
  glVertex2f(kMargin + width, y);
  glVertex2f(kMargin + width, y + height);
  glVertex2f(kMargin, y + height);
  glEnd();
  SetColour(line.Kind);
  glRasterPos2f(kMargin + kPadding, y + kPadding + static_cast<float>(font_.Descent));
  font_.Print(line.Text, line.Length);
}
