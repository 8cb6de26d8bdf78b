#!/usr/bin/env bash
# Checks from the includes that calls go downward only. The layers are the
# numbered rows of the README's layout table, bottom first: a folder may include
# its own headers, those of a lower layer, and those of a folder named before
# it in its own row. resource.h (the resources' ids) is for the window code,
# and Windows headers are for the window code and the Win32 file backend only.
# Prints every include that breaks a rule and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A layer row order
window_layer=""
rows=0
while IFS='|' read -r _ number folders _; do
  number=${number//[[:space:]]/}
  [[ $number =~ ^[0-9]+$ ]] || continue
  rows=$((rows + 1))
  position=0
  for folder in $(grep -o '`[^`]*`' <<<"$folders" | tr -d '`'); do
    folder=${folder%/}
    layer[$folder]=$number
    row[$folder]=$rows
    order[$folder]=$position
    position=$((position + 1))
    [ "$folder" = src/winui ] && window_layer=$number
  done
done < <(sed -n '/^## Layout/,/^## /p' README.md)
if [ ${#layer[@]} -eq 0 ] || [ -z "$window_layer" ]; then
  echo "check_layers: no numbered layout table with src/winui in README.md"
  exit 1
fi

is_window_code() {  # folder
  [ "$1" != cli ] && [ "${layer[$1]}" -ge "$window_layer" ]
}

may_include() {  # from to
  local from=$1 to=$2
  [ "$from" = "$to" ] && return 0
  [ -n "${layer[$to]:-}" ] || return 1
  [ "${layer[$to]}" -lt "${layer[$from]}" ] && return 0
  [ "${row[$to]}" -eq "${row[$from]}" ] && [ "${order[$to]}" -lt "${order[$from]}" ]
}

failures=0
fail() {
  echo "$1"
  failures=$((failures + 1))
}

while IFS= read -r file; do
  folder=$(dirname "$file")
  if [ -z "${layer[$folder]:-}" ]; then
    fail "$file: its folder $folder is not in the README's layout table"
    continue
  fi
  while IFS= read -r line; do
    number=${line%%:*}
    header=${line#*:}
    case $header in
      \<*)
        if ! is_window_code "$folder" && [ "$file" != src/filelayer/platform_file_win32.cpp ]; then
          fail "$file:$number: $header is for the window code and the Win32 file backend only"
        fi
        ;;
      resource.h)
        is_window_code "$folder" || fail "$file:$number: resource.h is for the window code only"
        ;;
      */*)
        target=src/${header%%/*}
        may_include "$folder" "$target" || fail "$file:$number: $folder includes $header from a layer above it"
        ;;
    esac
  done < <(grep -n -o -E '^#include ("[^"]+"|<(windows|commctrl|commdlg|shellapi|shlobj|winbase|winuser)\.h>)' "$file" |
             sed -E 's/#include "?([^"]*)"?/\1/')
done < <(find src cli -name '*.cpp' -o -name '*.h' | sort)

if [ $failures -gt 0 ]; then
  echo "check_layers: $failures include(s) against the layers"
  exit 1
fi
echo "check_layers: every include goes downward (${#layer[@]} folders)"
