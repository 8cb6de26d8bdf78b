#!/usr/bin/env bash
# The release zips as a Windows user gets them (scripts/release.sh win32 win64
# first). Each zip is unpacked into a fresh directory and checked: exactly
# quorvex.exe, qvx.exe and README.txt; programs of its machine type, stripped,
# importing only Windows' own DLLs; the project's version in its name and in
# the programs.
# Then the win64 zip's programs are run under Wine from there, as a user runs
# them: qvx --version; qvx help, whose every command README.txt must show; qvx
# sample and qvx check, answering as the Debug build the other tests ran does
# (the same files, the same findings); every example of README.txt, in order,
# on the sample; and quorvex.exe started on the sample until its frame shows
# the browser, then closed (exit code 0).
# The win32 programs cannot run here: this machine runs no 32-bit Linux
# program, so there is no 32-bit Wine (wine32 installs, and its loader fails
# with "Exec format error"), and 64-bit Wine does not run a 32-bit .exe. Both
# zips come from the same sources and the same release configuration.
#
#   bash tests/release/release_test.sh     (from the checkout; needs build/win64's frame_probe.exe)
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)

version=$(sed -n 's/^project(Quorvex VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
probe=build/win64/tests/release/frame_probe.exe
tested=build/win64/cli/qvx.exe  # the Debug build the other tests ran
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok:   $*"; }

[ -n "$version" ] || { echo "FAIL: no version in CMakeLists.txt's project()"; exit 1; }
for built in "$probe" "$tested"; do
  [ -f "$built" ] || { echo "FAIL: $built is missing: build the win64 preset first"; exit 1; }
done
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-release.XXXXXX")

# Windows' own DLLs, the only ones a program may import (compared without case).
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll "

# check_zip TARGET OBJDUMP_FORMAT TRIPLE: the checks of dist/quorvex-<version>-TARGET.zip that run
# nothing; its files are left unpacked in $scratch/TARGET.
check_zip() {
  local target=$1 format=$2 triple=$3
  local zip=dist/quorvex-$version-$target.zip dir=$scratch/$target before=$failures
  if [ ! -f "$zip" ]; then
    fail "$zip is missing (the zip's name holds the project's version $version)"
    return
  fi
  mkdir "$dir"
  unzip -q "$zip" -d "$dir" || fail "$zip does not unpack"
  local listing
  listing=$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')
  [ "$listing" = "./README.txt ./quorvex.exe ./qvx.exe " ] || fail "$zip holds: $listing"
  local exe subsystem
  for exe in quorvex.exe qvx.exe; do
    [ -f "$dir/$exe" ] || continue
    local header
    header=$("$triple-objdump" -p "$dir/$exe" 2>&1)
    grep -q "file format $format\$" <<<"$header" || fail "$target/$exe is not $format: $(head -2 <<<"$header")"
    subsystem=$([ $exe = quorvex.exe ] && echo "Windows GUI" || echo "Windows CUI")
    grep -q "^Subsystem.*($subsystem)" <<<"$header" || fail "$target/$exe is not a $subsystem program"
    # (Outputs kept whole: grep -q ending a pipe early would fail it under pipefail.)
    grep -q '\.debug' <<<"$("$triple-objdump" -h "$dir/$exe")" && fail "$target/$exe holds debug sections"
    grep -q 'no symbols' <<<"$("$triple-nm" "$dir/$exe" 2>&1)" || fail "$target/$exe is not stripped"
    local dll dlls=""
    for dll in $(sed -n 's/^\s*DLL Name: //p' <<<"$header" | tr 'A-Z' 'a-z'); do
      dlls+="$dll "
      [[ $system_dlls == *" $dll "* ]] || fail "$target/$exe imports $dll, which Windows does not hold"
    done
    [ -n "$dlls" ] || fail "$target/$exe lists no imported DLL (objdump did not read it)"
    echo "      $target/$exe imports: $dlls"
  done
  grep -aq "qvx $version" "$dir/qvx.exe" || fail "$target/qvx.exe does not hold its version 'qvx $version'"
  grep -aq "Version $version" "$dir/quorvex.exe" || fail "$target/quorvex.exe does not show 'Version $version'"
  grep -q $'\r$' "$dir/README.txt" || fail "$target/README.txt does not end its lines in CR LF"
  [ $failures -eq $before ] && pass "$zip: three files, $format, stripped, system DLLs only, version $version"
}

check_zip win32 pei-i386 i686-w64-mingw32
check_zip win64 pei-x86-64 x86_64-w64-mingw32
cmp -s "$scratch/win32/README.txt" "$scratch/win64/README.txt" || fail "the two zips' README.txt differ"

# The win64 programs, run under Wine from the unpacked directory.
run=$scratch/win64
if [ -f "$run/qvx.exe" ] && [ -f "$run/quorvex.exe" ]; then
  . scripts/wine-env.sh
  quorvex_wine_env build/win64
  qvx() { (cd "$run" && quorvex_wine ./qvx.exe "$@" </dev/null 2>&1 | tr -d '\r'); }

  out=$(qvx --version)
  [ "$out" = "qvx $version" ] && pass "qvx.exe --version: $out" || fail "qvx.exe --version printed '$out', not 'qvx $version'"

  # Every command qvx lists is explained in README.txt.
  commands=$(qvx help | sed -En '/^(SUBCOMMANDS|Subcommands):/,$ s/^  ([a-z-]+) .*/\1/p')
  readme=$(tr -d '\r' <"$run/README.txt")
  missing=0
  for command in $commands; do
    if ! grep -qE "^  qvx $command( |\$)" <<<"$readme"; then
      missing=$((missing + 1))
      fail "README.txt has no example of 'qvx $command'"
    fi
  done
  [ -n "$commands" ] && [ $missing -eq 0 ] && pass "README.txt shows every command qvx.exe help lists: $(echo $commands)"
  [ -n "$commands" ] || fail "qvx.exe help lists no command"

  # The sample as the tested (Debug) build writes it, byte for byte, and the
  # same answers from check; then README.txt's examples in order on it.
  sample=$scratch/sample
  out=$(qvx sample "$(quorvex_windows_path "$sample")"); status=$?
  (cd "$scratch" && quorvex_wine "$root/$tested" sample "$(quorvex_windows_path "$scratch/tested-sample")" </dev/null >/dev/null 2>&1)
  [ $status -eq 0 ] && diff -r "$sample" "$scratch/tested-sample" >/dev/null \
    && pass "qvx.exe sample wrote $(find "$sample" -type f | wc -l) files, those the tested build writes" \
    || fail "qvx.exe sample: status $status, not the tested build's files: $out"
  out=$(qvx check "$(quorvex_windows_path "$sample/Intraday")"); status=$?
  [ $status -eq 0 ] && pass "qvx.exe check on the sample's Intraday: nothing found" \
    || fail "qvx.exe check on Intraday: status $status (0 expected): $out"
  out=$(qvx check "$(quorvex_windows_path "$sample")" --json); status=$?
  tested_out=$( (cd "$scratch" && quorvex_wine "$root/$tested" check "$(quorvex_windows_path "$sample")" --json </dev/null 2>&1 | tr -d '\r') )
  [ $status -eq 1 ] && [ -n "$out" ] && [ "$out" = "$tested_out" ] \
    && pass "qvx.exe check on the whole sample: status 1 (the Damaged directories), the tested build's findings" \
    || fail "qvx.exe check on the sample: status $status (1 expected), $([ "$out" = "$tested_out" ] || echo "not ")the tested build's findings"
  rm -rf "$sample"
  examples=0
  while IFS= read -r line; do
    line=${line//'C:\QuorvexSample'/$(quorvex_windows_path "$sample")}
    if [[ $line =~ [\;\&\|\<\>\$\`\(] ]]; then
      fail "README.txt's 'qvx $line' is more than a command: not run"
      continue
    fi
    eval "set -- ${line//\\/\\\\}"
    out=$(qvx "$@"); status=$?
    expected=0
    case $1 in check | test-dat | test-master) expected=1 ;; esac  # the Damaged directories
    [ $status -eq $expected ] || fail "README.txt's 'qvx $*': status $status ($expected expected): $out"
    examples=$((examples + 1))
  done < <(sed -n 's/^  qvx //p' <<<"$readme")
  [ $examples -gt 20 ] && pass "README.txt's $examples examples, run in order on the sample, each as it should" \
    || fail "README.txt shows $examples examples"

  # quorvex.exe on the sample, as README.txt opens it.
  directory=$(quorvex_windows_path "$sample")
  out=$(cd "$run" && quorvex_wine "$root/$probe" "$(quorvex_windows_path "$run/quorvex.exe")" "$directory" </dev/null 2>&1 | tr -d '\r')
  status=$?
  echo "$out" | sed 's/^/      /'
  [ $status -eq 0 ] && grep -qxF "frame: Quorvex" <<<"$out" && grep -qxF "browser: $directory\\" <<<"$out" \
    && grep -qx "exit code: 0" <<<"$out" \
    && pass "quorvex.exe showed its frame with a browser on $directory, closed with exit code 0" \
    || fail "quorvex.exe from the unpacked zip (probe status $status)"
else
  fail "nothing of the win64 zip to run"
fi

rm -rf "$scratch"
[ $failures -eq 0 ] && echo "release test: passed" || echo "release test: $failures failure(s)"
[ $failures -eq 0 ]
