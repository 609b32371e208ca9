#!/usr/bin/env bash
# Installs what building and testing Varnlet needs on a Debian 12 machine (idempotent).
# Usage: scripts/setup.sh [demo|release|all]
set -euo pipefail
profile=${1:-all}

packages=(cmake ninja-build g++ python3 openjdk-17-jdk-headless googletest libgtest-dev libtomlplusplus-dev zlib1g-dev clang-format)
# scripts/release.sh: the Windows cross-compilers, git for the commit's time, and what CPack's
# DEB generator runs (file, dpkg-shlibdeps).
release_packages=(mingw-w64 binutils-mingw-w64 libz-mingw-w64-dev git file dpkg-dev)
if [ "$profile" = release ]; then
  packages+=("${release_packages[@]}")
fi
if [ "$profile" = all ]; then
  packages+=(clang libclang-rt-14-dev wine wine64 wine32:i386 lintian systemd xvfb xdotool imagemagick openjdk-17-jre gcovr
    osslsigncode "${release_packages[@]}")
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$profile" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  missing+=(wine32:i386)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
