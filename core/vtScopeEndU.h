// Runs a function when a scope ends, however it ends (return or throw):
//   const auto done = OnScopeEnd([&] { ... });
#pragma once

#include <utility>

template <class F>
struct vtAtScopeEnd {
  F f;
  ~vtAtScopeEnd() { f(); }
};

template <class F>
vtAtScopeEnd<F> OnScopeEnd(F f) {
  return {std::move(f)};
}
