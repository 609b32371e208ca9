#!/usr/bin/env bash
# Installs what building and testing Varnlet needs on a Debian 12 machine (idempotent).
# Usage: scripts/setup.sh [demo|release|all]
set -euo pipefail
profile=${1:-all}

packages=(cmake ninja-build g++ python3 openjdk-17-jdk-headless googletest libgtest-dev libtomlplusplus-dev zlib1g-dev clang-format)
# scripts/release.sh: the Windows cross-compilers, git for the commit's time, and what CPack's
# DEB generator runs (file, dpkg-shlibdeps); dpkg-dev also unpacks zlib's source (below).
release_packages=(mingw-w64 binutils-mingw-w64 git file dpkg-dev)
# The Maven plugin, built and tested with Maven offline from Debian's repository
# (/usr/share/maven-repo): Maven, its packaged plugins, and the libraries examples/maven uses.
release_packages+=(maven libmaven-resources-plugin-java libmaven-compiler-plugin-java libmaven-jar-plugin-java
  libmaven-install-plugin-java libmaven-plugin-tools-java libsurefire-java libplexus-utils2-java libcommons-cli-java
  libcommons-lang3-java)
if [ "$profile" = release ]; then
  packages+=("${release_packages[@]}")
fi
if [ "$profile" = all ]; then
  packages+=(clang clang-tidy libclang-rt-14-dev wine wine64 wine32:i386 lintian systemd xvfb xdotool imagemagick openjdk-17-jre gcovr
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
install() {
  echo "Installing: $*"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
if [ ${#missing[@]} -gt 0 ]; then install "${missing[@]}"; fi

# 32-bit programs (wine's 32-bit loader runs varnlet.exe): where this kernel cannot execute
# them, the i386 emulator is registered for i386 ELF files through binfmt_misc, with flag F so
# that it serves every mount namespace. Machines that execute them natively are left alone.
register_i386_emulator() {
  local misc=/proc/sys/fs/binfmt_misc entry=qemu-i386
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  if [ -e "$misc/$entry" ]; then
    echo "32-bit programs: the emulator is registered already ($misc/$entry: $(head -n 1 "$misc/$entry"))"
    return
  fi
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "32-bit programs: this kernel executes them; nothing to register"
    return
  fi
  dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed" || install qemu-user-static
  if [ ! -e "$misc/register" ]; then
    "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$misc" ||
      { echo "32-bit programs: binfmt_misc cannot be mounted here; the win32 wine cases will be skipped"; return; }
  fi
  printf '%s' ":$entry:M::$magic:$mask:/usr/bin/qemu-i386-static:F" | "${sudo_cmd[@]}" tee "$misc/register" >/dev/null ||
    { echo "32-bit programs: the emulator could not be registered; the win32 wine cases will be skipped"; return; }
  echo "32-bit programs: this kernel cannot execute them; registered /usr/bin/qemu-i386-static for i386 ELF files ($misc/$entry)"
}
if [ "$profile" = all ]; then register_i386_emulator; fi

# zlib for the Windows bodies, compiled by the build for size from Debian's own source package
# (Debian's mingw-w64 library is built for speed, every member whole): a deb-src entry for
# bookworm main in a file of its own, and `apt-get source zlib` unpacked, with Debian's patches,
# into the fixed folder CMake reads (VARNLET_ZLIB_SOURCE). Left alone once it is there.
zlib_source=/usr/local/src/varnlet-zlib
fetch_zlib_source() {
  if [ -f "$zlib_source/inflate.c" ]; then
    echo "zlib source: $zlib_source is there already"
    return
  fi
  local list=/etc/apt/sources.list.d/varnlet-zlib-source.sources
  if [ ! -f "$list" ]; then
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" "Components: main" \
      "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | "${sudo_cmd[@]}" tee "$list" >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  local work
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq zlib >/dev/null)
  local unpacked=("$work"/zlib-*/)
  "${sudo_cmd[@]}" mkdir -p "$(dirname "$zlib_source")"
  "${sudo_cmd[@]}" mv "${unpacked[0]}" "$zlib_source"
  rm -rf "$work"
  echo "zlib source: unpacked into $zlib_source"
}
if [ "$profile" = release ] || [ "$profile" = all ]; then fetch_zlib_source; fi
