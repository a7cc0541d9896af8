#!/usr/bin/env bash
# The host simulator under Wine: the command on the bundled sample in both
# modes and in UTF-16, and the clear errors for what is not a plug-in.
# Arguments: the folder of the Windows programs, the plug-in, the sample
# selection, the version the plug-in answers.
set -uo pipefail
bin=$1
plugin=$2
sample=$3
version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

simulate() { "${WINE:-wine}" "$bin/host-simulator.exe" "$@" 2>"$work/stderr"; }

check() {  # name, expected, actual
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3")
    failures=$((failures + 1))
  fi
}

expect_error() {  # name, message part, arguments...
  local name=$1 part=$2
  shift 2
  simulate "$@" >/dev/null
  local status=$?
  if [ "$status" -eq 2 ] && grep -q -- "$part" "$work/stderr"; then
    echo "ok: $name"
  else
    echo "FAILED: $name (exit $status): $(cat "$work/stderr")"
    failures=$((failures + 1))
  fi
}

cp "$sample" "$work/sample.txt"

check "mode 0" "$(sed -e 's/&#26085;&#26412;&#35486;/日本語/' -e 's/&#65;&#66;&#67;/ABC/' "$sample")" \
  "$(simulate "$plugin" run --mode 0 "$work/sample.txt")"
check "mode 1" "$(sed -e 's/\\u65e5\\u672c\\u8a9e/日本語/' -e 's/\\u0041\\u0042\\u0043/ABC/' "$sample")" \
  "$(simulate "$plugin" run --mode 1 "$work/sample.txt")"
# The host's window for a command needs no display.
check "run without a display" "$(sed -e 's/&#26085;&#26412;&#35486;/日本語/' -e 's/&#65;&#66;&#67;/ABC/' "$sample")" \
  "$(env -u DISPLAY "${WINE:-wine}" "$bin/host-simulator.exe" "$plugin" run -m 0 "$work/sample.txt" 2>"$work/stderr")"

# UTF-16LE with its byte order mark comes back in the same form.
printf '\xff\xfe' >"$work/utf16.txt"
printf 'x&#26085;y' | iconv -f UTF-8 -t UTF-16LE >>"$work/utf16.txt"
simulate "$plugin" run --mode 0 "$work/utf16.txt" -o "$work/utf16-out.txt"
check "UTF-16LE kept" "fffe7800e5657900" "$(od -An -tx1 "$work/utf16-out.txt" | tr -d ' \n')"

check "info names the ordinals" "  7  PlugInProc" "$(simulate "$plugin" info | grep 'PlugInProc')"
check "info gives the version" "version (0x904): $version  [$((${#version} + 1)) bytes]" "$(simulate "$plugin" info | grep '^version')"

expect_error "no such plug-in" "no such file" "$work/missing.dll" info
expect_error "a program is no plug-in" "not a plug-in" "$bin/decode-escapes.exe" info
printf 'not a DLL' >"$work/text.dll"
expect_error "a text file is no plug-in" "not a plug-in" "$work/text.dll" info
expect_error "no such text" "cannot open" "$plugin" run "$work/missing.txt"
expect_error "unknown mode" "--mode takes 0 or 1" "$plugin" run --mode 2 "$work/sample.txt"
expect_error "unknown command" "unknown command" "$plugin" decode

echo "host simulator: $failures failed"
[ "$failures" -eq 0 ]
