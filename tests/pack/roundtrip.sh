#!/bin/bash
# Round trip: build tests/pack/full.toml for one target, then check that `show --json`
# returns every configured value, and the body's values for everything else.
# Usage: roundtrip.sh TOOL TARGET BODY WORKDIR
set -euo pipefail
tool=$1 target=$2 body=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$body" ] || { echo "launcher body $body not built; skipping"; exit 77; }
mkdir -p "$work"
out="$work/roundtrip-$target"
"$tool" build "$here/full.toml" --target "$target" --stub "$body" -o "$out"
json=$("$tool" show "$out" --json)
fail=0
expect() {  # name, expected shown value
    got=$(jq -r --arg n "$1" '.entries[] | select(.name == $n) | .value' <<<"$json")
    if [ "$got" != "$2" ]; then echo "FAIL $1: got [$got] expected [$2]"; fail=1; fi
}
expect MinJavaVersion 0x00010008
expect JvmPath 'jre/lib/server/libjvm.so;C:\Java\bin\server\jvm.dll'
expect JvmOptions '-Xmx64m "-Dpack.quoted=a b"'
expect ClassPath 'lib;app.jar'
expect JavaSearchMode 5
expect MainClass com.example.pack.RoundTripMain
expect AppOptions 'first second'
expect OptionsFile app.ini
expect UseStartupDir 1
expect EarlyWorkingDir 0
expect WorkingDir work
expect ServiceName PackTestService
expect ServiceDescription 'Grüße from a packed launcher'
expect ServiceStartOptions start
expect ServiceStopOptions stop
expect ServiceStopByExit 1
expect ServiceManualStart 1
expect SystemOutFile out.log
expect SystemErrFile err.log
expect InstallSwitch /install
expect MsgNoRuntime 'PACKED: no Java runtime here (100%% sure).'
expect MsgLoadJvm 'PACKED: cannot load %s'
# Unset entries keep the body's defaults and are reported unchanged.
expect UninstallSwitch -uninstall
expect MsgFileAccess 'Error accessing file/directory: %s'
unchanged=$(jq '[.entries[] | select(.changed | not)] | length' <<<"$json")
total=$(jq '.entries | length' <<<"$json")
[ "$((total - unchanged))" -eq 21 ] || { echo "FAIL: $((total - unchanged)) entries differ from the defaults, expected 21"; fail=1; }
[ "$(jq -r .target <<<"$json")" = "$target" ] || { echo "FAIL: target"; fail=1; }
if [ "$target" != linux ]; then
    [ "$(jq -r '.version.fileVersion' <<<"$json")" = 2.3.4.5 ] || { echo "FAIL: file version"; fail=1; }
    [ "$(jq -r '.version.productVersion' <<<"$json")" = 2.3.0.0 ] || { echo "FAIL: product version"; fail=1; }
fi
# Packing the packed launcher again with the same configuration changes nothing.
"$tool" build "$here/full.toml" --target "$target" --stub "$out" -o "$out.again"
cmp "$out" "$out.again" || { echo "FAIL: repacking is not stable"; fail=1; }
[ $fail -eq 0 ] && echo "round trip $target: all values read back"
exit $fail
