#!/usr/bin/env bash
# Builds every preset from this tree and runs every test: unit, jvm and wine tiers (linux),
# the unit tests under ASan/UBSan (linux-asan), the unit tests and the Linux service runs under
# ThreadSanitizer (linux-tsan), clang-tidy (scripts/tidy.sh) and bounded fuzzing runs (fuzz,
# five seconds a reader); then makes the release packages twice, in separate build trees, and
# tests them (release).
#
# `scripts/test.sh win32` runs the whole win32 wine tier instead (every varnlet.exe case, also
# where 32-bit programs are emulated and the default run takes only the width cases): run it,
# in the background if need be, before a change to code that differs by width is done.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all

if [ "${1:-}" = win32 ]; then
  for preset in win32 win64 linux; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
  done
  VARNLET_WIN32_ALL=1 ctest --preset linux -L win32
  exit
fi

for preset in win32 win64 linux linux-asan linux-tsan fuzz; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
echo "== clang-tidy (the checks of .clang-tidy over the linux and win32 builds' code)"
scripts/tidy.sh build/linux build/win32 || status=1
for preset in linux linux-asan linux-tsan fuzz; do
  echo "== test: $preset"
  ctest --preset "$preset" || status=1
done

echo "== release: two runs, then the packages"
scripts/release.sh
VARNLET_RELEASE_BUILD=build/release-check VARNLET_DIST=build/release-check/dist scripts/release.sh
ctest --preset release || status=1
exit $status
