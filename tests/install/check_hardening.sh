#!/usr/bin/env bash
# The programs are built hardened: position-independent, with full RELRO
# (read-only relocations, bound at start), a non-executable stack, stack
# protector and fortified libc calls. Needs the debug info of an optimised
# build with debug info (the default preset).
set -euo pipefail
status=0
fail() { echo "$1: $2"; status=1; }

for program in "$@"; do
    name=${program##*/}
    readelf -h "$program" | grep -q 'Type:.*DYN' || fail "$name" "not a position-independent executable"
    readelf -lW "$program" | grep -q 'GNU_RELRO' || fail "$name" "no RELRO segment"
    readelf -d "$program" | grep -qE 'BIND_NOW|FLAGS_1.*NOW' || fail "$name" "relocations not bound at start (partial RELRO)"
    readelf -lW "$program" | grep 'GNU_STACK' | grep -q 'RWE' && fail "$name" "executable stack"
    # A program whose functions hold no arrays needs no canary, so the stack
    # protector shows in the compiler switches recorded with the debug info.
    producers=$(readelf --debug-dump=info "$program" 2>/dev/null | grep 'DW_AT_producer' || true)
    grep -q -e '-fstack-protector-strong' <<<"$producers" || fail "$name" "not compiled with -fstack-protector-strong"
    nm -D "$program" | grep -qE '__[a-z_]+_chk@' || fail "$name" "no fortified libc calls"
done
exit $status
