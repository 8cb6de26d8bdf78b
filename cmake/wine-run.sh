#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs a program under Wine with the
# build tree's own prefix. The build tree is found from the program's path.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(dirname "$1")
while [ "$build" != "/" ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
if [ ! -f "$build/CMakeCache.txt" ]; then build=$(pwd); fi
# shellcheck source=../scripts/wine-env.sh
. "$here/scripts/wine-env.sh"
quorvex_wine_env "$build" || exit 125
exec "${quorvex_wine_command[@]}" "$@"
