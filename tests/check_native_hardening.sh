#!/usr/bin/env bash
# A native program built with Debian's usual hardening: a position-independent
# executable, relocations made read-only before it starts (full RELRO), the
# stack protector, and, in an optimised build, the checked forms of the
# string, memory and print functions.
# Arguments: readelf, the program, 1 when the build is optimised.
set -uo pipefail
readelf=$1
program=$2
optimised=$3
failures=0
fail() {
  echo "FAILED: $(basename "$program"): $*"
  failures=$((failures + 1))
}

grep -qE 'Type:[[:space:]]+DYN' <("$readelf" -h "$program") || fail "not position-independent"
grep -q 'GNU_RELRO' <("$readelf" -lW "$program") || fail "no read-only relocations (RELRO)"
grep -qE 'BIND_NOW|FLAGS_1.*NOW' <("$readelf" -dW "$program") || fail "symbols not bound at start (no full RELRO)"
symbols=$("$readelf" --dyn-syms -W "$program")
grep -q '__stack_chk_fail' <<<"$symbols" || fail "no stack protector"
if [ "$optimised" = 1 ]; then
  grep -qE '__[a-z_]+_chk(@|$| )' <<<"$symbols" || fail "no checked (fortified) functions"
fi
echo "native hardening: $failures failed"
[ "$failures" -eq 0 ]
