// Fault points: named places in loading where a test makes the code throw,
// to show that each failure there ends in a known state (the file's
// failure reported, the player playing on). Unarmed, as always outside
// tests, a point costs one atomic load.
#pragma once

#include <stdexcept>

// Throws vtInjectedFault when a vtArmFault for this name is alive (any thread).
void vtFaultPoint(const char* name);

class vtInjectedFault : public std::runtime_error {
 public:
  explicit vtInjectedFault(const char* name);
};

// Arms one point for its lifetime; one at a time.
class vtArmFault {
 public:
  explicit vtArmFault(const char* name);
  ~vtArmFault();
  vtArmFault(const vtArmFault&) = delete;
  vtArmFault& operator=(const vtArmFault&) = delete;
};
