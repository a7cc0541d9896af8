#!/usr/bin/env bash
# Reads the built Windows binaries as the loader will: every .dll and .exe
# asks for address-space layout randomisation (with the relocations it
# needs) and non-executable data, a 64-bit one for high-entropy addresses,
# and carries no build time; the plug-in imports exactly the functions of
# its list, has no TLS directory, and its link map shows no constructor or
# TLS callback; decode-escapes.exe carries its version resource, the
# plug-in none.
# Arguments: objdump, x86|x64, the folder of the binaries, the plug-in, its
# import list, its link map, the product version.
set -uo pipefail
objdump=$1
arch=$2
bin=$3
plugin=$4
import_list=$5
link_map=$6
version=$7
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The DLL and function names of the import tables, one "DLL function" a line.
imports() {
  "$objdump" -p "$1" | awk '
    /^\tDLL Name: / { dll = $3; next }
    /^$/ { next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3; next }
    /^ [0-9a-f]+\t/ { dll = "" }' | LC_ALL=C sort
}

check_headers() {  # file
  local file=$1 name headers
  name=$(basename "$file")
  headers=$("$objdump" -p "$file") || { fail "$name: objdump cannot read it"; return; }
  local flags=(DYNAMIC_BASE NX_COMPAT)
  [ "$arch" = x64 ] && flags+=(HIGH_ENTROPY_VA)
  for flag in "${flags[@]}"; do
    grep -qE "^[[:space:]]+$flag\$" <<<"$headers" || fail "$name: no $flag"
  done
  grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers" ||
    fail "$name: no relocations"
  grep -qE '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970$' <<<"$headers" ||
    fail "$name: a build time in its header: $(grep '^Time/Date' <<<"$headers")"
}

shopt -s nullglob
binaries=("$bin"/*.dll "$bin"/*.exe)
[ ${#binaries[@]} -ge 2 ] || fail "no binaries in $bin"
for file in "${binaries[@]}"; do
  check_headers "$file"
done

if ! difference=$(diff <(grep -v '^#' "$import_list") <(imports "$plugin")); then
  fail "$(basename "$plugin"): its imports differ from $(basename "$import_list") (< listed, > built):"
  echo "$difference"
fi
# Read into a variable: with pipefail, a grep -q that stops at its first
# match would fail the objdump writing into the pipe.
plugin_headers=$("$objdump" -p "$plugin")
grep -qE '^Entry 9 0+ 0+ Thread Storage Directory' <<<"$plugin_headers" ||
  fail "$(basename "$plugin"): a TLS directory"

# Input sections that the start-up code or the loader would run: static
# constructors and destructors, C runtime initialisers, TLS callbacks.
# A long section name stands on a line of its own, its address and size on
# the next.
initialisers=$(awk '
  /^ \.(ctors|dtors|init_array|fini_array|CRT\$X|tls)/ {
    if (NF == 1) { name = $1; getline; $0 = " " name " " $0 }
    if ($3 ~ /^0x0*[1-9a-f]/) print
  }' "$link_map")
[ -z "$initialisers" ] || fail "$(basename "$plugin"): code that would run at load:"$'\n'"$initialisers"

# The version resource as Windows shows it in the file's properties: each
# value is the UTF-16 string after its name.
resource_value() {  # file, name
  strings -el "$1" | awk -v name="$2" 'found { print; exit } $0 == name { found = 1 }'
}
program=$bin/decode-escapes.exe
for entry in "FileVersion:$version" "ProductVersion:$version" "ProductName:Unicode escape decoder" \
  "FileDescription:Decodes Unicode escapes in text files" "OriginalFilename:decode-escapes.exe"; do
  value=$(resource_value "$program" "${entry%%:*}")
  [ "$value" = "${entry#*:}" ] || fail "decode-escapes.exe: ${entry%%:*} is '$value', not '${entry#*:}'"
done
[ -z "$(resource_value "$plugin" VS_VERSION_INFO)" ] || fail "$(basename "$plugin"): a version resource"

echo "binary checks ($arch): ${#binaries[@]} binaries, $failures failed"
[ "$failures" -eq 0 ]
