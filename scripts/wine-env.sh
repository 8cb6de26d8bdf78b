# Sourced: prepares Wine for running the Windows build's programs.
#   quorvex_wine_env BUILD_DIR
# Sets WINEPREFIX (inside the build tree), WINEDEBUG and DISPLAY, creates and
# configures the prefix once (virtual desktop, fonts, font replacements), starts
# Xvfb when no display is set and keeps one persistent wineserver running.
# Safe to call from several processes at once (flock).
#   quorvex_windows_path PATH
# Prints the Windows name of PATH.
#   quorvex_wine PROGRAM ARGS... (or "${quorvex_wine_command[@]}")
# Runs a program under Wine as every script here does: with the address space laid out
# without randomisation (setarch -R), which every process it starts inherits.
# Debian's Wine 8 has no preloader to keep Wine's address ranges free before the
# system's libraries are mapped; with randomisation, about one whole test run
# in eight here lost a process before any of its code ran (Wine's loader
# exiting with status 1 within 3 ms of its start; CreateProcess failing with
# error 1359, the child gone before it was initialised).

quorvex_wine_command=(wine)
if setarch "$(uname -m)" -R true 2>/dev/null; then
  quorvex_wine_command=(setarch "$(uname -m)" -R wine)
fi
quorvex_wine() { "${quorvex_wine_command[@]}" "$@"; }

quorvex_wine_env() {
  local build
  build=$(cd "$1" && pwd) || return 1
  export WINEPREFIX="$build/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  unset WINELOADERNOEXEC

  exec 9>"$build/.wine.lock"
  flock 9

  # A display before any Wine process: a Wine session started without one
  # stays display-less.
  if [ -z "${DISPLAY:-}" ]; then
    if [ -f "$build/.xvfb-display" ] && kill -0 "$(cat "$build/.xvfb-pid" 2>/dev/null)" 2>/dev/null; then
      export DISPLAY=$(cat "$build/.xvfb-display")
    else
      local n=99
      while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
      echo $! >"$build/.xvfb-pid"
      echo ":$n" >"$build/.xvfb-display"
      export DISPLAY=":$n"
      local i
      for i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi
  fi

  if [ ! -f "$WINEPREFIX/.quorvex-ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
    local reg='HKCU\Software\Wine' font
    quorvex_wine reg add "$reg\\Explorer" /v Desktop /t REG_SZ /d Default /f </dev/null >/dev/null 2>&1
    quorvex_wine reg add "$reg\\Explorer\\Desktops" /v Default /t REG_SZ /d 1024x768 /f </dev/null >/dev/null 2>&1
    # The fonts the windows ask for by name, mapped to metric-compatible free fonts.
    for font in "Times New Roman=Liberation Serif" "Arial=Liberation Sans" "MS Sans Serif=Liberation Sans" \
      "Courier New=Liberation Mono"; do
      quorvex_wine reg add "$reg\\Fonts\\Replacements" /v "${font%%=*}" /t REG_SZ /d "${font#*=}" /f \
        </dev/null >/dev/null 2>&1
    done
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    cp /usr/share/fonts/truetype/liberation/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    wineserver -w
    touch "$WINEPREFIX/.quorvex-ready"
  fi

  # One persistent server for the whole run; its services start off any pipe.
  if ! wineserver -p </dev/null >/dev/null 2>&1; then :; fi
  if [ ! -f "$build/.wine-services" ] || [ "$(cat "$build/.wine-services")" != "$DISPLAY" ]; then
    quorvex_wine cmd /c exit 0 </dev/null >/dev/null 2>&1
    echo "$DISPLAY" >"$build/.wine-services"
  fi
  flock -u 9
  exec 9>&-
}

# quorvex_windows_path PATH: the name Wine's programs know PATH by (drive Z: is
# the root of the file system in every prefix), made without starting a Wine
# process as winepath does.
quorvex_windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

quorvex_wine_stop() {
  local build
  build=$(cd "$1" && pwd) || return 0
  WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true
  rm -f "$build/.wine-services"
  if [ -f "$build/.xvfb-pid" ]; then
    kill "$(cat "$build/.xvfb-pid")" 2>/dev/null || true
    # The display is gone: a later quorvex_wine_env in this shell starts its own.
    [ "${DISPLAY:-}" = "$(cat "$build/.xvfb-display" 2>/dev/null)" ] && unset DISPLAY
    rm -f "$build/.xvfb-pid" "$build/.xvfb-display"
  fi
}
