#!/usr/bin/env bash
# Builds the optimised player and tools into build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
