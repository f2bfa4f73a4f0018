#include "app/vtWindowU.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/vtMainU.h"
#include "platform/MessageBox.h"
#include "platform/Present.h"
#include "runtime/vtDSysU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

// The projection every frame is drawn with: fov 45, aspect 4/3, near 1, far 10000.
void ExpectStartupProjection(const std::array<float, 16>& m) {
  const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
  EXPECT_NEAR(m[0], f / (4.0 / 3.0), 1e-5);
  EXPECT_NEAR(m[5], f, 1e-5);
  EXPECT_NEAR(m[10], -10001.0 / 9999.0, 1e-5);
  EXPECT_NEAR(m[11], -1.0, 1e-6);
  EXPECT_NEAR(m[14], -20000.0 / 9999.0, 1e-4);
}

void ExpectIdentity(const std::array<float, 16>& m) {
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
}

class WindowGlStateTest : public testsupport::GlTest {};

TEST_F(WindowGlStateTest, InitialStateIsTheStartupState) {
  glMatrixMode(GL_PROJECTION);
  ASSERT_TRUE(InitGlState());
  EXPECT_EQ(GetInt(GL_SHADE_MODEL), GL_SMOOTH);
  auto clear = GetFloat4(GL_COLOR_CLEAR_VALUE);
  EXPECT_EQ(clear, (std::array<float, 4>{0, 0, 0, 0.5f}));
  EXPECT_FLOAT_EQ(GetFloat(GL_DEPTH_CLEAR_VALUE), 1.0f);
  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_EQ(GetInt(GL_DEPTH_FUNC), GL_LEQUAL);
  EXPECT_EQ(GetInt(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
  EXPECT_TRUE(Enabled(GL_LIGHTING));
  EXPECT_TRUE(Enabled(GL_LIGHT0));
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  ExpectStartupProjection(Matrix(GL_PROJECTION_MATRIX));
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(WindowGlStateTest, ResizeFollowsTheClientSizeButKeepsTheProjection) {
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  ResizeViewport(800, 600);
  auto viewport = std::array<GLint, 4>{};
  glGetIntegerv(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 800, 600}));
  ExpectStartupProjection(Matrix(GL_PROJECTION_MATRIX));
  ExpectIdentity(Matrix(GL_MODELVIEW_MATRIX));
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);

  ResizeViewport(1024, 300);  // a wide window is stretched, not re-projected
  ExpectStartupProjection(Matrix(GL_PROJECTION_MATRIX));
}

TEST_F(WindowGlStateTest, ZeroHeightBecomesOnePixel) {
  ResizeViewport(640, 0);
  auto viewport = std::array<GLint, 4>{};
  glGetIntegerv(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 640, 1}));
  ExpectStartupProjection(Matrix(GL_PROJECTION_MATRIX));
}

TEST_F(WindowGlStateTest, ResizeEventResizesTheViewport) {
  WindowProc({platform::WindowEventKind::Resized, 0, 320, 200});
  auto viewport = std::array<GLint, 4>{};
  glGetIntegerv(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 320, 200}));
}

class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::fill(std::begin(Keys), std::end(Keys), false);
    std::fill(std::begin(KeyPresses), std::end(KeyPresses), false);
    Active = true;
  }
  static void Send(platform::WindowEventKind kind, int key = 0) { WindowProc({kind, key, 0, 0}); }
};

TEST_F(WindowProcTest, KeyEventsSetAndClearTheirFlags) {
  using platform::WindowEventKind;
  Send(WindowEventKind::KeyDown, 0x25);
  Send(WindowEventKind::KeyDown, 'I');
  EXPECT_TRUE(Keys[0x25]);
  EXPECT_TRUE(Keys['I']);
  Send(WindowEventKind::KeyUp, 0x25);
  EXPECT_FALSE(Keys[0x25]);
  EXPECT_TRUE(Keys['I']);
  EXPECT_TRUE(KeyPresses[0x25]) << "the press waits for the loop";
}

TEST_F(WindowProcTest, KeysWithoutCodeTouchNothing) {
  Send(platform::WindowEventKind::KeyDown, 0);
  Send(platform::WindowEventKind::KeyDown, 256);
  Send(platform::WindowEventKind::KeyDown, -1);
  for (bool key : Keys) EXPECT_FALSE(key);
  for (bool key : KeyPresses) EXPECT_FALSE(key);
}

TEST_F(WindowProcTest, MinimisingDeactivatesAndRestoringActivates) {
  Send(platform::WindowEventKind::Minimised);
  EXPECT_FALSE(Active);
  Send(platform::WindowEventKind::Restored);
  EXPECT_TRUE(Active);
}

// The loop with real SDL events (no window needed for the event queue).
class RecordingTarget : public vtLoopTarget {
 public:
  int framesUntilOver = 1000;
  std::vector<std::string> calls;
  std::function<void()> onSwap;

  bool DrawFrame() override {
    calls.push_back("draw");
    return --framesUntilOver > 0;
  }
  bool CursorMode() const override { return true; }
  bool SpaceStop() const override { return false; }
  void SeekBackward(int step) override { calls.push_back("back " + std::to_string(step)); }
  void SeekForward(int step) override { calls.push_back("forward " + std::to_string(step)); }
  void ToggleTimeline() override { calls.push_back("timeline"); }
  void Pause() override {}
  void Resume() override {}
  void SwapBuffers() override {
    calls.push_back("swap");
    if (onSwap) onSwap();
  }
};

class MessageLoopTest : public WindowProcTest {
 protected:
  void SetUp() override {
    WindowProcTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  void TearDown() override { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

  static void PushKeyDown(SDL_Keycode key, SDL_Scancode scancode, bool repeat = false) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = scancode;
    SDL_PushEvent(&event);
  }
  static void PushWindowEvent(SDL_WindowEventID id) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    SDL_PushEvent(&event);
  }

  RecordingTarget target;
};

TEST_F(MessageLoopTest, CloseRequestEndsTheLoopThroughTheQuitEvent) {
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  RunMessageLoop(target);
  // The quit event queued while handling the close request comes with the
  // next poll, so at most one frame is drawn in between.
  EXPECT_LE(target.calls.size(), 2u) << ::testing::PrintToString(target.calls);
}

TEST_F(MessageLoopTest, PendingEventsAreHandledBeforeTheNextFrame) {
  PushKeyDown(SDLK_RIGHT, SDL_SCANCODE_RIGHT);
  PushKeyDown(SDLK_RIGHT, SDL_SCANCODE_RIGHT, true);  // both before one pass: one step
  target.framesUntilOver = 2;
  RunMessageLoop(target);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"draw", "forward 100", "swap", "draw"}));
}

TEST_F(MessageLoopTest, KeyTappedWithinOneFrameStillSteps) {
  PushKeyDown(SDLK_i, SDL_SCANCODE_I);
  SDL_Event up{};
  up.type = SDL_KEYUP;
  up.key.keysym.sym = SDLK_i;
  up.key.keysym.scancode = SDL_SCANCODE_I;
  SDL_PushEvent(&up);
  target.framesUntilOver = 2;
  RunMessageLoop(target);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"draw", "timeline", "swap", "draw"}));
}

TEST_F(MessageLoopTest, AutoRepeatStepsAgainInTheNextPass) {
  PushKeyDown(SDLK_DOWN, SDL_SCANCODE_DOWN);
  int swaps = 0;
  target.onSwap = [&swaps] {
    if (++swaps == 1) PushKeyDown(SDLK_DOWN, SDL_SCANCODE_DOWN, true);
  };
  target.framesUntilOver = 3;
  RunMessageLoop(target);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"draw", "back 500", "swap", "draw",
                                                    "back 500", "swap", "draw"}));
}

TEST_F(MessageLoopTest, EscapeEndsTheLoopWhileMinimised) {
  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
  int swaps = 0;
  target.onSwap = [&swaps] {
    if (++swaps == 2) PushKeyDown(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  };
  RunMessageLoop(target);
  EXPECT_FALSE(Active);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"swap", "swap"}));
}

}  // namespace

namespace {

TEST(OpenGlWindow, WithoutAnyDisplayNoBoxIsShownAndNothingOpens) {
  // SDL's offscreen driver shows no window a person could see, so opening
  // is refused before any window exists.
  const char* old = std::getenv("SDL_VIDEODRIVER");
  std::string oldDriver = old ? old : "";
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  testsupport::ResetGlobals();
  vtConfigData config;
  platform::MessageBoxRecorder boxes;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(OpenGlWindow(config));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot show the demo window"), std::string::npos) << err;
  EXPECT_TRUE(boxes.Calls().empty());
  EXPECT_FALSE(FullScreenDeclined);
  EXPECT_EQ(platform::ActiveWindow(), nullptr);
  if (old)
    setenv("SDL_VIDEODRIVER", oldDriver.c_str(), 1);
  else
    unsetenv("SDL_VIDEODRIVER");
}

TEST(WindowFailureText, EachOpeningStepHasItsMessage) {
  using platform::GlWindowFailure;
  EXPECT_EQ(WindowFailureText(GlWindowFailure::None), "");
  EXPECT_EQ(WindowFailureText(GlWindowFailure::WindowCreation), "Window creation error.");
  EXPECT_EQ(WindowFailureText(GlWindowFailure::DeviceContext), "Cant't create a GL device context.");
  EXPECT_EQ(WindowFailureText(GlWindowFailure::PixelFormatChoice),
            "Cant't Find A Suitable PixelFormat.");
  EXPECT_EQ(WindowFailureText(GlWindowFailure::PixelFormatRequest), "Cant't set PixelFormat.");
  EXPECT_EQ(WindowFailureText(GlWindowFailure::ContextCreation),
            "Cant't create a GL rendering context.");
  EXPECT_EQ(WindowFailureText(GlWindowFailure::ContextActivation),
            "Cant't activate the GL rendering context.");
}

}  // namespace
