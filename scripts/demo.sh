#!/usr/bin/env bash
# Builds the Linux launcher and varnlet-pack, makes the demo application's launcher from
# examples/demo.toml and runs it with the system's OpenJDK 17.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh demo
cmake --preset linux >/dev/null
cmake --build --preset linux --target varnlet_launcher varnlet_pack demo_jar
out=build/linux/demo
mkdir -p "$out"
cp build/linux/examples/vantoHelix.jar "$out/"
build/linux/tools/pack/varnlet-pack build examples/demo.toml -o "$out/vantoHelix"
echo "== running $out/vantoHelix hello \"from Varnlet\""
"$out/vantoHelix" hello "from Varnlet"
