#!/usr/bin/env bash
# Checks the layers from the includes, then builds and runs every test:
# natively (ASan + UBSan), then the Windows build under Wine; then builds the
# release zips and tests them as a user would use them. Exits non-zero when
# any step fails or no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh

werror=-DQUORVEX_WERROR=${QUORVEX_WERROR:-ON}
status=0

echo "== layers"
bash scripts/check_layers.sh || status=1

echo "== native build and tests"
cmake --preset native "$werror" >/dev/null
cmake --build --preset native
ctest --preset native || status=1
# A short fuzzing pass, the three targets at once for 30 s; a finding fails
# the run (the input is kept under build/fuzz/fuzz-artifacts). Longer passes:
# scripts/fuzz.sh, or a campaign with --long.
QUORVEX_FUZZ_SECONDS=${QUORVEX_FUZZ_SECONDS:-30} QUORVEX_FUZZ_JOBS=${QUORVEX_FUZZ_JOBS:-3} \
  bash scripts/fuzz.sh || status=1

echo "== win64 build and tests under Wine"
cmake --preset win64 "$werror" >/dev/null
cmake --build --preset win64
. scripts/wine-env.sh
quorvex_wine_env build/win64
trap 'quorvex_wine_stop "$root/build/win64"' EXIT
ctest --preset win64 || status=1

echo "== release zips and the rest of the win32 build"
# The release (win32) and the same configuration for x86_64, whose programs
# the release test runs under Wine; then everything else of the i686 build.
QUORVEX_WERROR=${QUORVEX_WERROR:-ON} bash scripts/release.sh win32 win64
cmake --build --preset win32
for exe in build/win32/*.exe build/win32/*/*.exe; do
  [ -f "$exe" ] || continue
  file "$exe" | grep -q 'PE32 executable' || { echo "not a PE32 program: $exe"; status=1; }
done

echo "== release test"
bash tests/release/release_test.sh || status=1

exit $status
