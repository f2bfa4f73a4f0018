// Mouse events from the window to the loop's mouse state: button, pointer
// position as fractions of the window, press and move flags.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "app/vtWindowU.h"
#include "platform/Window.h"

namespace {

class MouseEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("mouse", 0, 0, 400, 300, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Mouse = vtMouseState();
  }
  void TearDown() override {
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  // Pushes the event and takes it back through the platform layer. The
  // queue is emptied first: a poll ends at SDL's sentinel, and an event
  // pushed behind an unread sentinel would come only with the next poll.
  platform::WindowEvent RoundTrip(SDL_Event event) {
    platform::WindowEvent out;
    while (platform::PollWindowEvent(out)) {
    }
    SDL_PushEvent(&event);
    while (platform::PollWindowEvent(out))
      if (out.Kind != platform::WindowEventKind::Other) return out;
    ADD_FAILURE() << "the event did not come back";
    return out;
  }
  SDL_Event Button(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event event{};
    event.type = type;
    event.button.windowID = SDL_GetWindowID(window_);
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
    return event;
  }

  SDL_Window* window_ = nullptr;
};

TEST_F(MouseEventsTest, LeftPressDragAndReleaseReachTheLoopsMouseState) {
  platform::WindowEvent down = RoundTrip(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 100, 75));
  EXPECT_EQ(down.Kind, platform::WindowEventKind::MouseDown);
  EXPECT_EQ(down.Button, platform::MouseButton::Left);
  EXPECT_EQ(down.X, 100);
  EXPECT_EQ(down.Width, 400);
  EXPECT_EQ(down.Height, 300);
  WindowProc(down);
  EXPECT_TRUE(Mouse.LeftDown && Mouse.LeftPressed);
  EXPECT_FLOAT_EQ(Mouse.X, 0.25f);
  EXPECT_FLOAT_EQ(Mouse.Y, 0.25f);

  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = SDL_GetWindowID(window_);
  motion.motion.x = 200;
  motion.motion.y = 150;
  WindowProc(RoundTrip(motion));
  EXPECT_TRUE(Mouse.Moved);
  EXPECT_FLOAT_EQ(Mouse.X, 0.5f);

  WindowProc(RoundTrip(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 300, 150)));
  EXPECT_FALSE(Mouse.LeftDown);
  EXPECT_FLOAT_EQ(Mouse.X, 0.75f);
}

TEST_F(MouseEventsTest, OtherButtonsPressNothing) {
  platform::WindowEvent right = RoundTrip(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10, 10));
  EXPECT_EQ(right.Button, platform::MouseButton::Right);
  WindowProc(right);
  EXPECT_FALSE(Mouse.LeftDown || Mouse.LeftPressed);
}

}  // namespace
