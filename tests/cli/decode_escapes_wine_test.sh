#!/usr/bin/env bash
# decode-escapes.exe under Wine: what only the Windows build can get wrong.
# Links, read-only files and backups follow the same rules as on Linux, "-o -" is
# standard output, a closed standard error never ends up in a file, an input
# that is the output file is refused, a device is written as a stream, file
# name patterns are expanded, a console shows characters, paths may be
# longer than MAX_PATH, and a file larger than a 32-bit address space
# streams through.
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

# Unquoted '*' and '?' stand for the files that they match, as in other
# Windows tools; a quoted one, or one that matches nothing, stays as typed.
mkdir -p pattern/sub
for name in a.html b.html c.txt sub/d.html; do printf '&#69;' >"pattern/$name"; done
(cd pattern && decode -i '*.html' && decode -i 'sub/?.html')
check "-i *.html rewrites the matching files" "E E &#69; E" \
  "$(cd pattern && echo "$(cat a.html) $(cat b.html) $(cat c.txt) $(cat sub/d.html)")"
check "a pattern that matches nothing stays as typed" "decode-escapes: *.none: cannot open" \
  "$(decode '*.none' 2>&1 >/dev/null | cut -d : -f 1-3)"
check "a quoted pattern stays as typed" "decode-escapes: pattern/ *.txt: cannot open" \
  "$(decode 'pattern/ *.txt' 2>&1 >/dev/null | cut -d : -f 1-3)"

# A console takes characters: bytes would be read in its code page. script
# gives the program a terminal, which Wine makes its console.
in_console() { LC_ALL=C.UTF-8 script -qec "$(printf '%q ' "$wine" "$bin/decode-escapes.exe" "$@")" /dev/null; }
printf 'x&#26085;y' >console.txt
printf 'x&#26085;y' | iconv -t UTF-16LE | cat <(printf '\xff\xfe') - >console16.txt
check "decoded text shows in a console" "x日y" "$(in_console console.txt | grep -o 'x.y')"
shown=$(in_console console16.txt)
check "UTF-16 shows in a console" "x日y" "$(grep -o 'x日y' <<<"$shown")"
check "its byte order mark stays unseen" "" "$(grep -o $'\xef\xbb\xbf' <<<"$shown")"
check "a message shows in a console" "decode-escapes: 日本.txt: cannot open" \
  "$(in_console 日本.txt | grep -o 'decode-escapes: [^:]*: cannot open')"

# Paths longer than MAX_PATH (260) characters.
deep=$(printf 'folder-of-forty-characters-%012d/' 1 2 3 4 5 6 7 8)
mkdir -p "$deep"
printf '&#70;' >"$deep/in.txt"
check "a long path reads" "F" "$(decode "$deep/in.txt")"
decode -o "$deep/out.txt" "$deep/in.txt"
check "-o writes to a long path" "F" "$(cat "$deep/out.txt" 2>&1)"
decode -i "$deep/in.txt"
check "-i rewrites at a long path" "F" "$(cat "$deep/in.txt")"
check "-i leaves no temporary file" "in.txt out.txt" "$(ls "$deep" | tr '\n' ' ' | sed 's/ $//')"

# Far more than a 32-bit program can hold at once: it must stream.
truncate -s 3G large.txt
printf '&#68;' >>large.txt
check "a 3 GiB file streams through" "D" "$(decode large.txt | tail -c 1)"
rm -f large.txt

echo "decode-escapes under Wine: $failures failed"
[ "$failures" -eq 0 ]
