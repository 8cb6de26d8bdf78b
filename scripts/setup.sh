#!/usr/bin/env bash
# Installs what building and testing Quorvex needs on Debian 12 (only what is missing).
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev googletest libcli11-dev nlohmann-json3-dev libfccp-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 zip unzip
          wine wine64 fonts-wine fonts-liberation xvfb imagemagick file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
