// Placeholder until the audio stream lands: every demo is silent.
#include "runtime/vtBassU.h"

namespace platform {
class AudioStream {};
}  // namespace platform

vtBass::vtBass() = default;
vtBass::~vtBass() = default;

void vtBass::LoadMusic(const std::string&) {
  Loaded = false;
  Stream = 0;
}
void vtBass::Play() {}
std::uint64_t vtBass::GetPosition() const { return 0; }
void vtBass::SetPosition(std::uint64_t) {}
double vtBass::Bytes2Seconds(std::uint64_t) const { return 0; }
std::uint64_t vtBass::Seconds2Bytes(double) const { return 0; }
void vtBass::Stop() {}
