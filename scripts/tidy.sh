#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the product's code: every file of src/ and
# tools/ in the Linux build's compile commands, and the Windows backend and entry point in the
# win32 build's, read by clang as i686-w64-mingw32 code with the cross-compiler's own headers.
# Two files at a time, about two and a half minutes on two cores; fails on any finding.
# scripts/test.sh runs it (too slow for the default ctest run); run it before a commit that
# changes product code. A finding is mended, or, where the check is wrong about this code,
# kept with a NOLINT(check) comment that says why.
# Usage: scripts/tidy.sh [LINUX_BUILD [WIN32_BUILD]]   (default: build/linux build/win32)
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build/linux}
win32=${2:-build/win32}
tidy=${CLANG_TIDY:-$(command -v clang-tidy-14 || command -v clang-tidy)}

# The files of src/ and tools/ that a compile commands file names (src/platform/win32/* and
# main.cpp only, when PATTERN says so).
sources() {
  python3 - "$1" "$2" <<'EOF'
import json, re, sys
files = sorted({e["file"] for e in json.load(open(sys.argv[1] + "/compile_commands.json"))})
for f in files:
    if re.search(r"/(src|tools)/", f) and re.search(sys.argv[2], f):
        print(f)
EOF
}

status=0
echo "clang-tidy: $linux"
sources "$linux" . | xargs -r -P2 -n4 "$tidy" -p "$linux" --quiet || status=1

if [ -f "$win32/compile_commands.json" ]; then
  echo "clang-tidy: $win32"
  # The Windows build's link-time optimisation flags are GCC's: clang need not know them.
  args=(--extra-arg=--target=i686-w64-mingw32 --extra-arg=-nostdinc
        --extra-arg=-Wno-ignored-optimization-argument)
  while read -r dir; do args+=("--extra-arg=-isystem$dir"); done < <(
    i686-w64-mingw32-g++ -xc++ -E -v - </dev/null 2>&1 | sed -n '/#include <...>/,/End of/{/^ /s/^ //p}')
  sources "$win32" '/src/(platform/win32/|launcher/main\.cpp)' |
    xargs -r -P2 -n4 "$tidy" -p "$win32" --quiet "${args[@]}" || status=1
else
  echo "clang-tidy: no $win32/compile_commands.json, the Windows backend is not read"
fi
exit $status
