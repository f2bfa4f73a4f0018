#!/usr/bin/env bash
# A long fuzzing campaign: runs each built fuzz target for SECONDS, JOBS
# targets at a time, keeping its corpus and log under OUT_DIR, and prints one
# Markdown row per target (executions, coverage, features, corpus, faults).
# Extra seeds: the sample demo for the demo, script and item targets, the
# ASE corpus for the ASE target.
# Usage: fuzz/campaign.sh BUILD_DIR SECONDS OUT_DIR [JOBS] [TARGET...]
# VT_FUZZ_MAX_LEN sets the largest input (65536 bytes by default). A target
# that already has a corpus in OUT_DIR goes on from it.
set -uo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 BUILD_DIR SECONDS OUT_DIR [JOBS] [TARGET...]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
seconds=$2
out=$3
jobs=${4:-1}
shift $(( $# >= 4 ? 4 : 3 ))
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export VORTANE_MESSAGES=stderr
mkdir -p "$out"
out=$(cd "$out" && pwd)

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for t in "$build_dir"/fuzz/fuzz_*; do [ -x "$t" ] && targets+=("$(basename "$t")"); done
fi

# Extra seeds beyond fuzz/seeds: the sample demo's files of the target's
# kind, and the real ASE corpus for the ASE target.
gather_extra_seeds() {  # target name, folder to fill
  local kind=${1#fuzz_} into=$2
  case $kind in
    script) find "$root/data" -maxdepth 1 -iname '*.vds' -exec cp {} "$into/" \; ;;
    vt?) find "$root/data" -iname "*.$kind" -exec cp {} "$into/" \; ;;
    ase)
      find "$root/data" -iname '*.ase' -exec cp {} "$into/" \;
      [ -d "$root/../shared/corpus/ase" ] && find "$root/../shared/corpus/ase" -iname '*.ase' -size -256k -exec cp {} "$into/" \;
      ;;
  esac
}

run_one() {
  local name=$1 dir=$out/$1
  mkdir -p "$dir/corpus" "$dir/artifacts" "$dir/tmp"
  mkdir -p "$dir/extra"
  gather_extra_seeds "$name" "$dir/extra"
  local seeds=("$dir/extra")
  [ -d "$here/seeds/${name#fuzz_}" ] && seeds+=("$here/seeds/${name#fuzz_}")
  TMPDIR=$dir/tmp nice -n 10 "$build_dir/fuzz/$name" "$dir/corpus" "${seeds[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${VT_FUZZ_MAX_LEN:-65536}" \
    -artifact_prefix="$dir/artifacts/" -print_final_stats=1 >"$dir/log" 2>&1
  echo $? >"$dir/status"
}

running=0
for name in "${targets[@]}"; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

echo "| target | seconds | executions | exec/s | coverage (cov) | features (ft) | corpus | faults |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for name in "${targets[@]}"; do
  dir=$out/$name
  execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$dir/log" | grep -oE '[0-9]+$' | tail -1)
  rate=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$dir/log" | grep -oE '[0-9]+$' | tail -1)
  last=$(grep -E '^#[0-9]+' "$dir/log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+')
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+')
  corp=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' <<<"$last" | cut -d' ' -f2)
  faults=$(find "$dir/artifacts" -type f | wc -l)
  echo "| $name | $seconds | ${execs:-?} | ${rate:-?} | ${cov:-?} | ${ft:-?} | ${corp:-?} | $faults |"
done
