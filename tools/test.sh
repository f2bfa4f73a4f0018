#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build and a build
# with AddressSanitizer and UndefinedBehaviorSanitizer; then the threaded
# tests under ThreadSanitizer, and the fuzz targets for a short, bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
export SDL_AUDIODRIVER=dummy
export VORTANE_MESSAGES=stderr
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
jobs=$(nproc)

run_suite() {  # name, extra cmake arguments...
  local dir=build/$1
  shift
  echo "=== configure $dir"
  cmake -S . -B "$dir" -G Ninja -DVT_BUILD_TESTS=ON "$@" >/dev/null
  echo "=== build $dir"
  cmake --build "$dir" -j"$jobs"
  echo "=== test $dir"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

run_suite test-release -DCMAKE_BUILD_TYPE=Release
run_suite test-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_SANITIZE=ON

# ThreadSanitizer over the tests whose code runs threads (the load pipeline,
# the studio and its HTTP server, live reloading, the video sink's encoder
# thread): the test program only.
echo "=== ThreadSanitizer: the threaded tests"
cmake -S . -B build/test-tsan -G Ninja -DVT_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_TSAN=ON >/dev/null
cmake --build build/test-tsan -j"$jobs" --target vortane_tests
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1" SDL_VIDEODRIVER=offscreen LP_NUM_THREADS=0 \
  MESA_SHADER_CACHE_DISABLE=true build/test-tsan/tests/vortane_tests \
  --gtest_filter='vtLoadPipeline*:vtReadAhead*:vtText*:vtLine*:ParallelLoad*:Studio*:HttpServer*:Waveform*:ReloadTest*:FileWatch*:Ase*:VideoSink*:VideoEncoder*'

if [ -f fuzz/CMakeLists.txt ]; then
  echo "=== fuzz (short bounded runs)"
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_BUILD_TESTS=OFF \
    -DVT_BUILD_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build/fuzz -j"$jobs"
  bash fuzz/run.sh build/fuzz "${VT_FUZZ_SECONDS:-20}"
fi
echo "=== all test suites passed"
