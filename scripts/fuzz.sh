#!/usr/bin/env bash
# Fuzzing passes over what comes from outside: master files, data files with
# their master records, typed dates and times. The master and data-file targets
# run on the in-memory file backend, so a run touches no disk.
# Builds the libFuzzer programs with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in a tree of their own (build/fuzz, or
# $QUORVEX_FUZZ_BUILD), seeds them from the sample tree and the committed
# seeds, and runs each for $QUORVEX_FUZZ_SECONDS seconds (60 by default), up to
# $QUORVEX_FUZZ_JOBS targets at once (one per core by default).
#
#   scripts/fuzz.sh                           the one-minute passes of the test command
#   scripts/fuzz.sh --long SECONDS [TARGET..] a campaign: each target (master, datafile,
#                                             datetime; all by default) for SECONDS, up to
#                                             $QUORVEX_FUZZ_JOBS at once (one by default),
#                                             at the lowest priority
#
# A campaign runs the targets built without the sanitizers (coverage feedback
# only, in <build>-plain), which run four times as many inputs a second, and
# then replays every input of the corpus it grew, and any it kept as failing,
# through the sanitized programs: what a sanitizer would have stopped on and
# the coverage feedback kept is found there.
# Inputs stay within the size that shows every rule: a master of its header
# and eight records, a master record and a data file of 60 records (the
# sample seeds are cut the same way).
#
# Each target's corpus grows in <build>/fuzz-corpus/<target>/ from one run to
# the next, and every run ends with libFuzzer's counts (executed units, runs a
# second) in <build>/fuzz-artifacts/<target>/log.txt.
# Exits non-zero when a fuzzer finds an input that breaks a rule or crashes;
# the input is kept under <build>/fuzz-artifacts/<target>/ and belongs in
# tests/fuzz/regressions/<target>/ once the fault is fixed (fuzz_tests then
# replays it in every build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVEX_FUZZ_BUILD:-build/fuzz}
seconds=${QUORVEX_FUZZ_SECONDS:-60}
targets=(master datafile datetime)
jobs=${QUORVEX_FUZZ_JOBS:-$(nproc)}
declare -A max_len=([master]=477 [datafile]=1761)
run=()
campaign=
if [ "${1:-}" = --long ]; then
  if ! [[ "${2:-}" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [--long SECONDS [TARGET...]]" >&2
    exit 2
  fi
  seconds=$2
  shift 2
  [ $# -eq 0 ] || targets=("$@")
  jobs=${QUORVEX_FUZZ_JOBS:-1}
  run=(nice -n 19)
  campaign=$build-plain
fi

configure() {  # build sanitize
  CC=clang CXX=clang++ cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_SANITIZE="$2" \
    -DQUORVEX_FUZZ=ON -DQUORVEX_WERROR="${QUORVEX_WERROR:-OFF}" >/dev/null
}
configure "$build" ON
cmake --build "$build" -j2 --target quorvex_fuzz_seeds "${targets[@]/#/fuzz_}"
if [ -n "$campaign" ]; then
  configure "$campaign" OFF
  cmake --build "$campaign" -j2 --target "${targets[@]/#/fuzz_}"
fi

seeds="$build/fuzz-corpus/sample"
rm -rf "$seeds"
"$build/tests/fuzz/quorvex_fuzz_seeds" "$seeds"

# A freed block stays poisoned until 16 MB more have been freed after it. AddressSanitizer's default,
# 256 MB, hands out fresh pages for the first thousands of runs and cold ones after; the largest inputs
# free under 3 MB a run, so a use after free within a run, or in the runs just after it, is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=16}
fuzz_one() {
  local target=$1 corpus="$build/fuzz-corpus/$1" artifacts="$build/fuzz-artifacts/$1"
  local program="${campaign:-$build}/tests/fuzz/fuzz_$target" limit=()
  [ -z "${max_len[$target]:-}" ] || limit=(-max_len="${max_len[$target]}")
  mkdir -p "$corpus" "$artifacts"
  if ! "${run[@]}" "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 "${limit[@]}" \
      -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "$seeds/$target" "tests/fuzz/seeds/$target" "tests/fuzz/regressions/$target" \
      >"$artifacts/log.txt" 2>&1; then
    echo "fuzz_$target broke a rule or crashed; the input is in $artifacts/, the output in $artifacts/log.txt:"
    grep -E "quorvex fuzz:|ERROR: |SUMMARY: |runtime error" "$artifacts/log.txt" | head -5 || true
    return 1
  fi
  echo "fuzz_$target, ${seconds} s${campaign:+ without the sanitizers}:" \
    $(grep -E "^stat::(number_of_executed_units|average_exec_per_sec)" "$artifacts/log.txt")
  [ -n "$campaign" ] || return 0
  # Every input the campaign kept, whole, once through the sanitized program.
  if ! "$build/tests/fuzz/fuzz_$target" -runs=0 -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$artifacts/" \
      "$corpus" >"$artifacts/replay.txt" 2>&1; then
    echo "fuzz_$target: an input of the corpus breaks a rule under the sanitizers; it is in $artifacts/, the output in $artifacts/replay.txt:"
    grep -E "quorvex fuzz:|ERROR: |SUMMARY: |runtime error" "$artifacts/replay.txt" | head -5 || true
    return 1
  fi
  echo "fuzz_$target: the $(find "$corpus" -type f | wc -l) inputs of the corpus replayed under the sanitizers"
}
status=0
pids=()
for target in "${targets[@]}"; do
  fuzz_one "$target" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
