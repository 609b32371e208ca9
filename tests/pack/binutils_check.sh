#!/bin/bash
# Independent readers on a packed Windows launcher: objdump -p (data directories, sections,
# image size) and icoutils' wrestool/icotool (every resource: string blocks, icon, version,
# message table, manifest). Usage: binutils_check.sh TOOL OBJDUMP BODY WORKDIR
set -euo pipefail
tool=$1 objdump=$2 body=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$body" ] || { echo "launcher body $body not built; skipping"; exit 77; }
command -v wrestool >/dev/null || { echo "wrestool (icoutils) missing; skipping"; exit 77; }
mkdir -p "$work"
name=$(basename "$body" .exe)
out="$work/binutils-$name.exe"
target=win32; [ "$name" = varnlet64 ] && target=win64
"$tool" build "$here/full.toml" --target "$target" --stub "$body" -o "$out"
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }

dump=$("$objdump" -p "$out")
# Data directories agree with the section table; the image size covers the last section.
sections=$("$objdump" -h "$out")
dirline=$(grep '^Entry 2 ' <<<"$dump")
check "resource directory starts .rsrc" "[ \$((16#\$(awk '{print \$3}' <<<\"\$dirline\"))) -eq \$(( 16#\$(awk '\$2 == \".rsrc\" {print \$4}' <<<\"\$sections\") - 16#\$(grep ImageBase <<<\"\$dump\" | awk '{print \$2}') )) ]"
check "resource directory size is the section size" "[ \$((16#\$(awk '{print \$4}' <<<\"\$dirline\"))) -eq \$((16#\$(awk '\$2 == \".rsrc\" {print \$3}' <<<\"\$sections\"))) ]"
relocline=$(grep '^Entry 5 ' <<<"$dump")
check "relocation directory points at .reloc" "[ \$((16#\$(awk '{print \$3}' <<<\"\$relocline\"))) -eq \$(( 16#\$(awk '\$2 == \".reloc\" {print \$4}' <<<\"\$sections\") - 16#\$(grep ImageBase <<<\"\$dump\" | awk '{print \$2}') )) ]"
check "objdump reads the relocations" "grep -q 'Virtual Address:' <<<\"\$dump\""
# Sections in the file in ascending, non-overlapping order.
fileOrderOk() {
    local end=0 size off
    while read -r size off; do
        (( 16#$off < end )) && return 1
        (( 16#$off + 16#$size > end )) && end=$(( 16#$off + 16#$size ))
    done < <(awk '$1 ~ /^[0-9]+$/ && $2 !~ /bss/ {print $3, $6}' <<<"$sections")
    return 0
}
check "sections do not overlap in the file" fileOrderOk
check "image size covers the last section" "[ \$((16#\$(grep SizeOfImage <<<\"\$dump\" | awk '{print \$2}'))) -ge \$(( 16#\$(awk '\$1 ~ /^[0-9]+\$/ {v=\$4; s=\$3} END {print v}' <<<\"\$sections\") - 16#\$(grep ImageBase <<<\"\$dump\" | awk '{print \$2}') )) ]"

# wrestool: every entry block 65..109 as language 0, holding exactly length, UTF-16LE text, zero.
check "string blocks 65..109 in language 0" "[ \"\$(wrestool -l --type=6 '$out' | grep -cE -- '--name=(6[5-9]|[7-9][0-9]|10[0-9]) --language=0 ')\" -eq 45 ]"
block() { wrestool -x --raw --type=6 --name="$1" "$out" | od -An -v -tx1 | tr -d ' \n'; }
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n'; }
expectBlock() {  # block, text
    local n; n=$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | wc -c); n=$((n / 2))
    local want; want=$(printf '%02x%02x' $((n & 255)) $((n >> 8)))$(utf16 "$2")0000
    check "string block $1 = \"$2\"" "[ \"\$(block $1)\" = '$want' ]"
}
expectBlock 68 'lib;app.jar'             # ClassPath 1072
expectBlock 79 'PackTestService'         # ServiceName 1248
expectBlock 80 'Grüße from a packed launcher'
expectBlock 93 'PACKED: no Java runtime here (100%% sure).'  # 1472
expectBlock 66 'jre/lib/server/libjvm.so;C:\Java\bin\server\jvm.dll'
check "empty entry is 00 00 00 00" "[ \"\$(block 88)\" = 00000000 ]"   # Reserved1392
# The main class block is the scrambled name in capital hex digits.
mc=$(wrestool -x --raw --type=6 --name=74 "$out" | tail -c +3 | iconv -f UTF-16LE -t UTF-8 | tr -d '\0')
check "main class is scrambled capital hex" "[[ '$mc' =~ ^[0-9A-F]{60}\$ ]]"
# Icon: wrestool rebuilds a .ico from MAINICON; its images are the configured ones.
wrestool -x --type=14 --name=MAINICON "$out" -o "$work/$name-extracted.ico"
check "icon images as configured" "[ \"\$(icotool -l '$work/$name-extracted.ico')\" = \"\$(icotool -l '$here/app.ico')\" ]"
check "icon image bytes as configured" "cmp -s -n \$(stat -c %s '$here/app.ico') '$work/$name-extracted.ico' '$here/app.ico'"
# Version information strings.
version=$(wrestool -x --raw --type=16 "$out" | strings -el)
for s in 'Pack Test' 'Pack round-trip launcher' 'Example Ltd' '2.3.4.5' 'packtest.exe'; do
    check "version information holds '$s'" "grep -qxF '$s' <<<\"\$version\""
done
# Message table and manifest are the body's, byte for byte.
for t in 11 24; do
    check "resource type $t unchanged" "cmp -s <(wrestool -x --raw --type=$t '$body') <(wrestool -x --raw --type=$t '$out')"
done
# The body: only system DLLs imported, console subsystem, the event log's message table.
bodydump=$("$objdump" -p "$body")
check "imports only system DLLs" "! grep 'DLL Name:' <<<\"\$bodydump\" | grep -viqE 'Name: (kernel32|advapi32|user32|msvcrt)\.dll'"
check "console subsystem" "grep -qE 'Subsystem[[:space:]]+00000003' <<<\"\$bodydump\""
check "message table: %1 for both event ids" "[ \"\$(wrestool -x --raw --type=11 '$body' | od -An -v -tx1 | tr -d ' \n')\" = \
  0200000001000040010000401c000000020000c0020000c0280000000c00000025310d0a000000000c00000025310d0a00000000 ]"
[ $fail -eq 0 ] && echo "independent readers agree on $out"
exit $fail
