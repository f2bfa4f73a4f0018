#!/usr/bin/env bash
# Runs every built fuzz target (BUILD_DIR/fuzz/fuzz_*) for SECONDS each,
# starting from its seeds (fuzz/seeds/<name without fuzz_>/) copied into a
# scratch corpus. Fails when any target finds a crash, leak, timeout or
# memory blow-up.
# Usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]   (default: every target,
# e.g. fuzz/run.sh build/fuzz 60 fuzz_demo fuzz_image)
set -uo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
build_dir=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
# Leaks inside the GL driver and the system libraries are not ours.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/../tests/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export VORTANE_MESSAGES=stderr

# Scratch space in memory when there is some: the targets write a file per input.
scratch=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=/dev/shm; fi
work=$(mktemp -d "$scratch/vt-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

targets=()
while IFS= read -r -d '' t; do targets+=("$t"); done \
  < <(find "$build_dir/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -print0 2>/dev/null | sort -z)
if [ $# -gt 0 ]; then
  targets=()
  for name in "$@"; do
    if [ ! -x "$build_dir/fuzz/$name" ]; then
      echo "no fuzz target $name in $build_dir/fuzz" >&2
      exit 1
    fi
    targets+=("$build_dir/fuzz/$name")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build_dir/fuzz" >&2
  exit 1
fi

failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus=$work/$name/corpus
  artifacts=$work/$name/artifacts
  mkdir -p "$corpus" "$artifacts"
  seeds=$here/seeds/${name#fuzz_}
  [ -d "$seeds" ] && cp -r "$seeds/." "$corpus/"
  echo "=== fuzz $name for ${seconds}s"
  if TMPDIR=$work/$name "$target" "$corpus" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$artifacts/" -print_final_stats=1 \
      >"$work/$name/log" 2>&1; then
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units)' "$work/$name/log" | tail -1
  else
    echo "!!! $name failed; its output:"
    tail -n 60 "$work/$name/log"
    for a in "$artifacts"/*; do
      [ -e "$a" ] || continue
      keep=$PWD/fuzz-artifacts
      mkdir -p "$keep" && cp "$a" "$keep/$name-$(basename "$a")"
      echo "input kept as $keep/$name-$(basename "$a")"
    done
    failed=1
  fi
done
exit $failed
