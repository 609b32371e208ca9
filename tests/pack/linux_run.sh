#!/bin/bash
# A packed Linux launcher reads its configured entries: with a JvmPath that does not
# exist, no registry and a minimum no installed Java meets, it reports the configured "no runtime" message (1472) and
# exits with -1; the unconfigured body reports the default text.
# Usage: linux_run.sh TOOL BODY WORKDIR
set -euo pipefail
tool=$1 body=$2 work=$3
mkdir -p "$work"
cat > "$work/run.toml" <<'TOML'
target = "linux"
JvmPath = "no/such/libjvm.so"
MinJavaVersion = "0x00640000"
MainClass = "org.example.Unused"
[messages]
MsgNoRuntime = "PACKED-RUN: configured message, no runtime found"
TOML
"$tool" build "$work/run.toml" --stub "$body" -o "$work/packed-run"
set +e
packed=$(cd "$work" && env -u JAVA_HOME ./packed-run 2>&1); rc=$?
set -e
echo "$packed"
[ $rc -eq 255 ] || { echo "FAIL: exit code $rc, expected 255"; exit 1; }
grep -qxF 'PACKED-RUN: configured message, no runtime found' <<<"$packed" || { echo "FAIL: configured message missing"; exit 1; }
grep -q 'Unable to locate suitable Java Runtime Environment' <<<"$packed" && { echo "FAIL: default message shown"; exit 1; }
echo "packed launcher used its configured entries"
