#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {
std::function<std::uint32_t()>& Source() {
  static std::function<std::uint32_t()> source;
  return source;
}
}  // namespace

std::uint32_t TimeGetTime() {
  if (Source()) return Source()();
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(ms);
}

void SetTimeSource(std::function<std::uint32_t()> source) { Source() = std::move(source); }

void SleepMilliseconds(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
