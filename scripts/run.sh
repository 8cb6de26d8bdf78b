#!/usr/bin/env bash
# Runs the Windows program under Wine on the bundled sample data, and waits
# until it is closed:
#   - installs what is missing (scripts/setup.sh) and builds the win64 preset's
#     program and qvx.exe;
#   - writes the sample tree with qvx.exe under Wine (build/win64/sample);
#   - prepares Wine (scripts/wine-env.sh) on the display given in DISPLAY, so
#     that a person sees the window (without DISPLAY, on a private Xvfb);
#   - starts quorvex.exe with PATH:"<sample root>\" on its command line, which
#     opens a directory browser on the whole sample tree.
# Exits with the program's exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/win64

bash scripts/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target quorvex qvx

. scripts/wine-env.sh
quorvex_wine_env "$build"
trap 'quorvex_wine_stop "$root/$build"' EXIT

sample="$root/$build/sample"
rm -rf "$sample"
mkdir -p "$sample"
quorvex_wine "$build/cli/qvx.exe" sample "$(quorvex_windows_path "$sample")" </dev/null

# Wine's own launcher would quote the arguments again (PATH:\"...\"), so the
# program is started from a batch file, whose line cmd passes on as written.
program=$(quorvex_windows_path "$root/$build/src/shell/quorvex.exe")
directory=$(quorvex_windows_path "$sample")
directory="${directory%\\}\\"
launcher="$root/$build/run-quorvex.bat"
printf '@"%s" PATH:"%s"\r\n@exit %%ERRORLEVEL%%\r\n' "$program" "$directory" >"$launcher"

status=0
quorvex_wine cmd /c "$(quorvex_windows_path "$launcher")" </dev/null || status=$?
exit $status
