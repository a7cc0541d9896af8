#!/usr/bin/env bash
# Every option that `decode-escapes --help` lists is in its manual page and in
# its completions for bash, zsh and fish; the manual page passes mandoc's and
# groff's checks without a word; the bash completion completes option names
# and values. Exits 77 (skipped) where mandoc is not installed.
# Usage: check_docs.sh PROGRAM DOCS_FOLDER
set -u
program=$1
docs=$2
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
command -v mandoc >/dev/null || { echo "mandoc is not installed: skipped"; exit 77; }

# "  -m, --mode=MODE ..." and "      --version ..." give -m, --mode, --version.
names=$("$program" --help | sed -nE 's/^ {2}(-[a-zA-Z], )? *(--[a-z][a-z-]*).*/\1 \2/p' | tr -d ',')
[ "$(wc -w <<<"$names")" -ge 6 ] || fail "too few options in --help: $names"
for name in $names; do
  roff=${name//-/\\-}
  grep -qF -- "\\fB$roff\\fR" "$docs/decode-escapes.1" || fail "$name is not in the manual page"
  grep -qE -- "(^|[ '|])$name([ '|)]|$)" "$docs/decode-escapes.bash" || fail "$name is not in the bash completion"
  grep -qE -- "[)']$name[=+-]*['[]" "$docs/_decode-escapes" || fail "$name is not in the zsh completion"
  case $name in
  --*) fish="-l ${name#--}" ;;
  *) fish="-s ${name#-}" ;;
  esac
  grep -qF -- "$fish " "$docs/decode-escapes.fish" || fail "$name is not in the fish completion"
done

lint=$(mandoc -T lint -W style "$docs/decode-escapes.1" 2>&1)
[ -z "$lint" ] || fail "mandoc: $lint"
if command -v groff >/dev/null; then
  lint=$(groff -ww -man -Tutf8 -z "$docs/decode-escapes.1" 2>&1)
  [ -z "$lint" ] || fail "groff: $lint"
fi

# What bash offers for a command line that ends with WORDS.
complete_bash() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _decode_escapes; echo "${COMPREPLY[*]}"' \
    _ "$docs/decode-escapes.bash" decode-escapes "$@"
}
while IFS='|' read -r words expected; do
  read -ra argv <<<"$words"
  [ "${words: -1}" = " " ] && argv+=("")
  got=$(complete_bash "${argv[@]}")
  [ "$got" = "$expected" ] || fail "bash completion of '$words': '$got', not '$expected'"
done <<'ROWS'
--mo|--mode
--in|--in-place
-e utf-16|utf-16le utf-16be
--mode |0 charref 1 ucn html json
--mode = u|ucn
--encoding=a|auto
-m c|charref
ROWS

[ "$failures" -eq 0 ] && echo "the manual page and the completions name every option"
[ "$failures" -eq 0 ]
