#include "core/vtFaultU.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

std::atomic<const char*> g_armed{nullptr};

}  // namespace

vtInjectedFault::vtInjectedFault(const char* name) : std::runtime_error(std::string("injected fault at ") + name) {}

void vtFaultPoint(const char* name) {
  const char* armed = g_armed.load(std::memory_order_acquire);
  if (armed && std::strcmp(armed, name) == 0) throw vtInjectedFault(name);
}

vtArmFault::vtArmFault(const char* name) { g_armed.store(name, std::memory_order_release); }

vtArmFault::~vtArmFault() { g_armed.store(nullptr, std::memory_order_release); }
