// Start-up accounting: while a profile is attached, the loaders charge the
// wall time they spend to the phase they are in, so a benchmark can split
// the time to the first frame. Detached (always, in the player) a phase
// scope costs one pointer test and no clock reading.
#pragma once

#include <array>
#include <cstddef>

enum class vtLoadPhase { Other, Script, Music, Textures, AseScene, OtherItems, DisplayLists, Count };

constexpr std::size_t kLoadPhaseCount = static_cast<std::size_t>(vtLoadPhase::Count);

struct vtLoadProfile {
  std::array<double, kLoadPhaseCount> Seconds{};  // indexed by vtLoadPhase
  double Of(vtLoadPhase phase) const { return Seconds[static_cast<std::size_t>(phase)]; }
};

const char* LoadPhaseName(vtLoadPhase phase);

// Attaches profile (nullptr detaches); from now on time outside every
// phase scope is charged to Other. Not thread-safe: loading runs on one thread.
void AttachLoadProfile(vtLoadProfile* profile);

// Charges the time until its end to phase; a nested scope's time goes to
// the nested phase only, so the phases add up to the wall time.
class vtLoadPhaseScope {
 public:
  explicit vtLoadPhaseScope(vtLoadPhase phase);
  ~vtLoadPhaseScope();
  vtLoadPhaseScope(const vtLoadPhaseScope&) = delete;
  vtLoadPhaseScope& operator=(const vtLoadPhaseScope&) = delete;

 private:
  vtLoadPhase previous_ = vtLoadPhase::Other;
  bool active_ = false;
};
