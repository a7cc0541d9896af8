#!/usr/bin/env bash
# decode-escapes.exe under Wine: what only the Windows build can get wrong.
# Links, read-only files and backups follow the same rules as on Linux, "-o -" is
# standard output, a closed standard error never ends up in a file, an input
# that is the output file is refused, a device is written as a stream, and a
# file larger than a 32-bit address space streams through.
# Argument: the folder of the Windows programs. WINE names the loader.
set -uo pipefail
bin=$(cd "$1" && pwd)
wine=${WINE:-wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

decode() { "$wine" "$bin/decode-escapes.exe" "$@"; }

check() {  # name, expected, actual
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}

printf '&#65;' >target.txt
ln -s target.txt link.txt
decode -i link.txt
check "-i writes through a link" "A" "$(cat target.txt)"
check "-i keeps the link" "link" "$([ -L link.txt ] && echo link)"

printf '&#66;' >readonly.txt
chmod 444 readonly.txt
decode -i readonly.txt
check "-i rewrites a read-only file" "B" "$(cat readonly.txt)"
check "-i keeps it read-only" "r--r--r--" "$(stat -c %A readonly.txt | cut -c 2-)"

# -i with a suffix: a hard link or a copy of the original, replacing an
# older backup, beside the file or where a * in the suffix puts it.
printf '&#69;' >kept.txt
printf 'older' >kept.txt.bak
mkdir old
decode -i.bak kept.txt
check "-i.bak keeps the original" "&#69;" "$(cat kept.txt.bak)"
check "-i.bak rewrites the file" "E" "$(cat kept.txt)"
printf '&#70;' >kept.txt
decode --in-pl='old/*.orig' -m0 kept.txt
check "--in-place=old/* keeps it in that folder" "&#70;" "$(cat old/kept.txt.orig)"

check "-o - is standard output" "C" "$(printf '&#67;' | decode -o -)"
check "-o - makes no file" "" "$(ls -- - 2>/dev/null)"

printf 'a&#55357;b' >note.txt  # a lone surrogate: a note on standard error
decode -i note.txt 2>&-
check "a closed standard error stays out of the file" "61efbfbd62" "$(od -An -tx1 note.txt | tr -d ' \n')"

# An input that is the file standard output writes to is refused, before
# anything of it is written; the other inputs are decoded.
printf '&#69;' >same.txt
printf '&#70;' >other.txt
decode same.txt other.txt >>same.txt 2>same.err
status=$?
check "an input that is the output file is refused" "2:&#69;F" "$status:$(cat same.txt)"
check "with the message of cat" "1" "$(grep -c 'same.txt: input file is output file' same.err)"

# A device is written as a stream, never replaced.
printf '&#71;' | decode -o NUL
check "-o NUL is written as a stream" "0" "$?"
check "-o NUL makes no file" "" "$(ls | grep -i '^nul' || true)"

# Far more than a 32-bit program can hold at once: it must stream.
truncate -s 3G large.txt
printf '&#68;' >>large.txt
check "a 3 GiB file streams through" "D" "$(decode large.txt | tail -c 1)"
rm -f large.txt

echo "decode-escapes under Wine: $failures failed"
[ "$failures" -eq 0 ]
