#!/usr/bin/env bash
# Builds the release for Windows users and packs it:
#   dist/quorvex-<version>-<target>.zip  holding quorvex.exe, qvx.exe and README.txt
# TARGET is win32 (the release: MinGW-w64 i686, the default) or win64 (the same
# configuration for x86_64, whose programs the test command runs under Wine).
# Both are built optimised and statically linked (only Windows' own DLLs at run
# time); the programs are stripped. The version is the project's, read from the
# configured build.
#
# The zip is the same bytes on every run from the same commit: its files carry
# the time of the last commit (or $SOURCE_DATE_EPOCH) and no extra fields, in a
# fixed order, and the programs hold that time, not the link's.
#
#   bash scripts/release.sh [win32|win64]...
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(win32)

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)  # else 1980-01-01
fi
export SOURCE_DATE_EPOCH

for target in "${targets[@]}"; do
  case $target in
    win32) preset=win32 triple=i686-w64-mingw32 ;;
    win64) preset=win64-release triple=x86_64-w64-mingw32 ;;
    *) echo "release.sh: unknown target $target (win32 or win64)" >&2; exit 2 ;;
  esac
  build=build/$preset
  echo "== release $target ($build)"
  rm -f dist/quorvex-*-"$target".zip  # a failed build leaves none
  cmake --preset "$preset" "-DQUORVEX_WERROR=${QUORVEX_WERROR:-ON}" >/dev/null
  cmake --build --preset "$preset" --target quorvex qvx

  version=$(cat "$build/release/version.txt")
  name=quorvex-$version-$target
  stage=$build/release/$name
  rm -rf "$stage"
  mkdir -p "$stage" dist
  # strip writes the time into the PE header: the commit's.
  "$triple-strip" --strip-all -o "$stage/quorvex.exe" "$build/src/shell/quorvex.exe"
  "$triple-strip" --strip-all -o "$stage/qvx.exe" "$build/cli/qvx.exe"
  cp "$build/release/README.txt" "$stage/README.txt"
  chmod 0644 "$stage"/*
  TZ=UTC touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

  # A new archive each time (zip would update an existing one), then renamed.
  zip=$root/dist/$name.zip
  rm -f "$zip.tmp"
  (cd "$stage" && TZ=UTC zip -q -X -D -9 "$zip.tmp" README.txt quorvex.exe qvx.exe)
  mv -f "$zip.tmp" "$zip"
  echo "dist/$name.zip: $(stat -c %s "$zip") bytes, sha256 $(sha256sum "$zip" | cut -d' ' -f1)"
done
