#!/usr/bin/env bash
# Builds the release packages from this checkout (scripts/release.sh installs the tools first)
# and writes them to dist/:
#   varnlet-<version>-linux-x86_64.tar.gz   bin/varnlet-pack, share/varnlet/<bodies>, share/man, texts
#                                           (the user's guide GUIDE.md and its image, QUICKSTART, LICENSE),
#                                           share/varnlet/maven/ (varnlet-pack-<version>.jar, the Maven
#                                           plugin varnlet-maven-plugin-<version>.jar, their POMs)
#   varnlet-<version>-windows-x64.zip       varnlet-pack.exe beside the bodies, texts, maven/
#   varnlet_<version>_amd64.deb             /usr/bin/varnlet-pack, /usr/share/varnlet/<bodies>
#   SHA256SUMS
# The version is the CMake project version. The same commit gives the same bytes: every
# timestamp is the commit's (SOURCE_DATE_EPOCH, unless set), entries are sorted, owners and
# modes fixed, and the programs hold no path of the checkout or the build tree.
# VARNLET_RELEASE_BUILD (default build/release) and VARNLET_DIST (default dist) move the
# build trees and the output.
set -euo pipefail
cd "$(dirname "$0")/../.."

source_dir=$PWD
build=$(realpath -m "${VARNLET_RELEASE_BUILD:-build/release}")
dist=$(realpath -m "${VARNLET_DIST:-dist}")
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "release.sh: not a git checkout; set SOURCE_DATE_EPOCH to the release's time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

configure() {  # tree, cmake arguments
  local tree=$1; shift
  cmake -S "$source_dir" -B "$build/$tree" -G Ninja -DVARNLET_RELEASE=ON "$@" >/dev/null
}
echo "== release build in $build"
configure win32 -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake"
configure win64 -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-x86_64.cmake"
configure linux -DCMAKE_BUILD_TYPE=Release \
  -DVARNLET_WIN32_BUILD_DIR="$build/win32" -DVARNLET_WIN64_BUILD_DIR="$build/win64"
cmake --build "$build/win32" -j2 --target varnlet_launcher
cmake --build "$build/win64" -j2 --target varnlet_launcher varnlet_pack
cmake --build "$build/linux" -j2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/linux/CMakeCache.txt")

stage=$build/stage
rm -rf "$stage"
mkdir -p "$stage" "$dist"
rm -f "$dist"/varnlet[-_]* "$dist/SHA256SUMS"

# The Linux archive: the install tree, with the texts at its top.
linux=varnlet-$version-linux-x86_64
cmake --install "$build/linux" --prefix "$stage/$linux" >/dev/null
docs=$stage/$linux/share/doc/varnlet
mv "$docs/GUIDE.md" "$docs/report-dialog.png" "$docs/QUICKSTART" "$stage/$linux/"
mv "$docs/copyright" "$stage/$linux/LICENSE"
rm -r "$stage/$linux/share/doc" "$stage/$linux/share/lintian"

# The Windows archive: the tool built for Windows beside the same bodies and texts.
windows=varnlet-$version-windows-x64
mkdir "$stage/$windows"
cp "$build/win64/tools/pack/varnlet-pack.exe" "$stage/$linux"/share/varnlet/varnlet* "$stage/$windows/"
cp -r "$stage/$linux/share/varnlet/maven" "$stage/$windows/"
cp "$stage/$linux"/{GUIDE.md,report-dialog.png,QUICKSTART,LICENSE} "$stage/$windows/"

# Fixed modes and times: programs 755, everything else 644.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
chmod 755 "$stage/$linux/bin/varnlet-pack" "$stage/$linux"/share/varnlet/varnlet* "$stage/$windows/varnlet-pack.exe" \
  "$stage/$windows"/varnlet*.exe "$stage/$windows/varnlet"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

tar --sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
  -C "$stage" -cf - "$linux" | gzip -9n > "$dist/$linux.tar.gz"
python3 "$source_dir/tools/release/reproducible_zip.py" "$stage" "$windows" "$dist/$windows.zip"

# The Debian package, from the same install rules.
(cd "$build/linux" && cpack -G DEB -B "$build/deb" >/dev/null)
cp "$build/deb/varnlet_${version}_amd64.deb" "$dist/"

(cd "$dist" && sha256sum "$linux.tar.gz" "$windows.zip" "varnlet_${version}_amd64.deb" > SHA256SUMS)
echo "== release $version in $dist"
cat "$dist/SHA256SUMS"
