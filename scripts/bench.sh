#!/usr/bin/env bash
# Builds the benchmarks in a Release tree without sanitizers (build/bench, or
# $QUORVEX_BENCH_BUILD) and runs them; arguments go to quorvex_bench
# (e.g. `bash scripts/bench.sh --reps 11 dat`). Not part of the test run: a
# missed target is printed, not failed. Warnings are not errors here by
# default: GCC 12 at -O2 reports a false -Wrestrict in std::string code.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVEX_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_SANITIZE=OFF -DQUORVEX_TESTS=OFF \
  -DQUORVEX_WERROR="${QUORVEX_WERROR:-OFF}" >/dev/null
cmake --build "$build" --target quorvex_bench -j2
"$build/bench/quorvex_bench" "$@"
