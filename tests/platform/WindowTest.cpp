#include "platform/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets (or, with nullopt, removes) an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(old_); }

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value)
      setenv(name_, value->c_str(), 1);
    else
      unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DisplayProblem, NoXServerAndNoWaylandIsNamed) {
  ScopedEnv driver("SDL_VIDEODRIVER", std::nullopt);
  ScopedEnv x11("DISPLAY", std::nullopt);
  ScopedEnv wayland("WAYLAND_DISPLAY", std::string());
  std::string problem = platform::DisplayProblem();
  EXPECT_NE(problem.find("no display"), std::string::npos) << problem;
  EXPECT_NE(problem.find("DISPLAY"), std::string::npos) << problem;
}

TEST(DisplayProblem, DriversThatShowNothingAreRefused) {
  ScopedEnv x11("DISPLAY", std::string(":0"));
  for (const char* name : {"offscreen", "dummy"}) {
    ScopedEnv driver("SDL_VIDEODRIVER", std::string(name));
    std::string problem = platform::DisplayProblem();
    EXPECT_NE(problem.find(name), std::string::npos) << problem;
  }
}

TEST(DisplayProblem, AnyDisplayVariableWillDo) {
  ScopedEnv driver("SDL_VIDEODRIVER", std::nullopt);
  {
    ScopedEnv x11("DISPLAY", std::string(":0"));
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_EQ(platform::DisplayProblem(), "");
  }
  ScopedEnv x11("DISPLAY", std::nullopt);
  ScopedEnv wayland("WAYLAND_DISPLAY", std::string("wayland-0"));
  EXPECT_EQ(platform::DisplayProblem(), "");
}

}  // namespace
