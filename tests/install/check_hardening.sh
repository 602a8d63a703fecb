#!/usr/bin/env bash
# The programs are built hardened: position-independent, with full RELRO
# (read-only relocations, bound at start), a non-executable stack, stack
# protector and fortified libc calls. Needs the debug info of an optimised
# build with debug info (the default preset).
set -euo pipefail
status=0
fail() { echo "$1: $2"; status=1; }

# Each tool's output is read whole before grep looks at it: `grep -q` on a
# pipe would stop reading early and fail the pipeline under pipefail.
for program in "$@"; do
    name=${program##*/}
    header=$(readelf -h "$program")
    segments=$(readelf -lW "$program")
    dynamic=$(readelf -d "$program")
    symbols=$(nm -D "$program")
    grep -q 'Type:.*DYN' <<<"$header" || fail "$name" "not a position-independent executable"
    grep -q 'GNU_RELRO' <<<"$segments" || fail "$name" "no RELRO segment"
    grep -qE 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "$name" "relocations not bound at start (partial RELRO)"
    grep -qE 'GNU_STACK.*RWE' <<<"$segments" && fail "$name" "executable stack"
    # A program whose functions hold no arrays needs no canary, so the stack
    # protector shows in the compiler switches recorded with the debug info.
    producers=$(readelf --debug-dump=info "$program" 2>/dev/null | grep 'DW_AT_producer' || true)
    grep -q -e '-fstack-protector-strong' <<<"$producers" || fail "$name" "not compiled with -fstack-protector-strong"
    grep -qE '__[a-z_]+_chk@' <<<"$symbols" || fail "$name" "no fortified libc calls"
done
exit $status
