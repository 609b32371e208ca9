#!/bin/bash
# varnlet-pack's command line on bad input (the configuration rules are unit tests): errors
# with file and line, a non-zero exit code, nothing written, the body untouched; and init
# writes a configuration that builds.
# Usage: cli_check.sh TOOL BODY WORKDIR
set -uo pipefail
tool=$1 body=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
fail=0
bodySum=$(sha256sum < "$body")
expectFailure() {  # name, expected error text, config text
    printf '%s\n' "$3" > "$work/bad.toml"
    err=$("$tool" build "$work/bad.toml" --stub "$body" -o "$work/out" 2>&1 >/dev/null); rc=$?
    if [ $rc -eq 0 ]; then echo "FAIL $1: exit code 0"; fail=1; fi
    if ! grep -qF -- "$2" <<<"$err"; then echo "FAIL $1: no [$2] in: $err"; fail=1; fi
    if [ -e "$work/out" ] || ls "$work"/out.tmp-* >/dev/null 2>&1; then echo "FAIL $1: output written"; fail=1; fi
}
expectFailure "unknown key" "bad.toml:2:1: unknown key \"Classpath\"" $'target = "linux"\nClasspath = "x"'
printf 'ServiceName = "x"\n' > "$work/untargeted.toml"  # no target: the body named by --stub gives it
grep -q "no target" <<<"$("$tool" build "$work/untargeted.toml" -o "$work/out" 2>&1)" || { echo "FAIL: no target"; fail=1; }
"$tool" build "$work/untargeted.toml" --stub "$body" -o "$work/inferred" >/dev/null && "$tool" show "$work/inferred" | grep -q "linux" \
    || { echo "FAIL: no target inferred from the body"; fail=1; }
# Another program (Linux or Windows) is no launcher body, and show says so.
for other in /bin/true $(ls /usr/lib/*/wine/*-windows/notepad.exe 2>/dev/null | head -1); do
    for cmd in "show $other" "build $work/untargeted.toml --stub $other -o $work/out"; do
        err=$("$tool" $cmd 2>&1) && { echo "FAIL: $cmd succeeded"; fail=1; }
        grep -qi "not a Varnlet launcher" <<<"$err" || { echo "FAIL $cmd: $err"; fail=1; }
    done
done
expectFailure "wrong body" "is a linux launcher body, not a win32 one" $'target = "win32"'

# A missing body is named in the error.
printf 'target = "win32"\n' > "$work/nobody.toml"
err=$("$tool" build "$work/nobody.toml" --stub "$work/absent.exe" 2>&1); rc=$?
[ $rc -ne 0 ] && grep -q "absent.exe does not exist" <<<"$err" || { echo "FAIL missing body: $err"; fail=1; }
# The body itself is never the output.
printf 'target = "linux"\n' > "$work/self.toml"
cp "$body" "$work/body-copy"
err=$("$tool" build "$work/self.toml" --stub "$work/body-copy" -o "$work/body-copy" 2>&1); rc=$?
[ $rc -ne 0 ] && grep -q "is the launcher body itself" <<<"$err" || { echo "FAIL self output: $err"; fail=1; }
# A malformed body: a clear error, nothing written.
head -c 100 "$body" > "$work/truncated"
err=$("$tool" build "$work/self.toml" --stub "$work/truncated" -o "$work/out" 2>&1); rc=$?
[ $rc -ne 0 ] && grep -q "truncated" <<<"$err" && [ ! -e "$work/out" ] || { echo "FAIL truncated body: $err"; fail=1; }
err=$("$tool" show "$work/truncated" 2>&1); rc=$?
[ $rc -ne 0 ] && grep -q "truncated ELF file" <<<"$err" || { echo "FAIL show truncated: $err"; fail=1; }
# An existing output is replaced only by a complete launcher.
printf 'old' > "$work/keep"
"$tool" build "$work/bad.toml" --stub "$body" -o "$work/keep" >/dev/null 2>&1
[ "$(cat "$work/keep")" = old ] || { echo "FAIL: failed build changed an existing output"; fail=1; }
[ "$(sha256sum < "$body")" = "$bodySum" ] || { echo "FAIL: body changed"; fail=1; }

# init: every entry with its default; uncommenting a line builds.
"$tool" init "$work/sample.toml" --target linux >/dev/null || { echo "FAIL: init"; fail=1; }
for name in MinJavaVersion ClassPath MainClass ServiceName OptionsFile JavaSearchMode; do
    grep -q "^# $name = " "$work/sample.toml" || { echo "FAIL: init lacks $name"; fail=1; }
done
[ "$(grep -c '^# 1[4-7][0-9][0-9] = ' "$work/sample.toml")" -eq 18 ] || { echo "FAIL: init lacks messages"; fail=1; }
grep -q '^# MainClass = "org.vantohelix.launch.HelixMain"' "$work/sample.toml" || { echo "FAIL: init main class default"; fail=1; }
"$tool" init "$work/sample.toml" >/dev/null 2>&1 && { echo "FAIL: init replaced a file without --force"; fail=1; }
sed -i 's/^# ClassPath = .*/ClassPath = ["lib", "demo.jar"]/; s/^# 1472 = .*/1472 = "from the sample"/' "$work/sample.toml"
"$tool" build "$work/sample.toml" --stub "$body" -o "$work/from-sample" >/dev/null || { echo "FAIL: sample does not build"; fail=1; }
"$tool" show "$work/from-sample" --json | jq -e '[.entries[] | select(.changed)] | map(.name) == ["ClassPath", "MsgNoRuntime"]' >/dev/null \
    || { echo "FAIL: sample built with other changes"; fail=1; }
# Every default the sample lists builds to a launcher identical in entries to the body.
"$tool" init --target linux | sed 's/^# \([A-Z][A-Za-z0-9]* = \)/\1/; s/^# \(1[4-7][0-9][0-9] = \)/\1/' > "$work/all.toml"
"$tool" build "$work/all.toml" --stub "$body" -o "$work/all-defaults" >/dev/null || { echo "FAIL: uncommented sample does not build"; fail=1; }
"$tool" show "$work/all-defaults" --json | jq -e '[.entries[] | select(.changed)] | length == 0' >/dev/null \
    || { echo "FAIL: the sample's defaults differ from the body's"; fail=1; }
[ $fail -eq 0 ] && echo "command line checks passed"
exit $fail
