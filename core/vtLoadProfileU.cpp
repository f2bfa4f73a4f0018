#include "core/vtLoadProfileU.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

vtLoadProfile* attached = nullptr;
vtLoadPhase current = vtLoadPhase::Other;
Clock::time_point lastSwitch;

// Charges the time since the last switch to the current phase.
void ChargeCurrent() {
  const Clock::time_point now = Clock::now();
  attached->Seconds[static_cast<std::size_t>(current)] += std::chrono::duration<double>(now - lastSwitch).count();
  lastSwitch = now;
}

}  // namespace

const char* LoadPhaseName(vtLoadPhase phase) {
  switch (phase) {
    case vtLoadPhase::Other: return "other";
    case vtLoadPhase::Script: return "script";
    case vtLoadPhase::Music: return "music";
    case vtLoadPhase::Textures: return "textures";
    case vtLoadPhase::AseScene: return "ASE";
    case vtLoadPhase::OtherItems: return "other items";
    case vtLoadPhase::DisplayLists: return "display lists";
    case vtLoadPhase::Count: break;
  }
  return "?";
}

void AttachLoadProfile(vtLoadProfile* profile) {
  attached = profile;
  current = vtLoadPhase::Other;
  lastSwitch = Clock::now();
}

vtLoadPhaseScope::vtLoadPhaseScope(vtLoadPhase phase) {
  if (!attached) return;
  ChargeCurrent();
  previous_ = current;
  current = phase;
  active_ = true;
}

vtLoadPhaseScope::~vtLoadPhaseScope() {
  if (!active_ || !attached) return;
  ChargeCurrent();
  current = previous_;
}
