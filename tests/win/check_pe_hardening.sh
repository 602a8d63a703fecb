#!/usr/bin/env bash
# Every Windows program is hardened and self-contained: address space layout
# randomisation with 64-bit entropy and no executable data (DllCharacteristics
# HIGH_ENTROPY_VA 0x20, DYNAMIC_BASE 0x40, NX_COMPAT 0x100), no link time
# stamp, and none of the compiler's runtime DLLs (libstdc++, libgcc,
# winpthread, libssp) imported: they are linked in.
# Usage: check_pe_hardening.sh BIN_DIR (its mnemora*.exe)
set -euo pipefail
export TZ=UTC # objdump shows the time stamp in local time
programs=("${1:?usage: check_pe_hardening.sh BIN_DIR}"/mnemora*.exe)
status=0
for exe in "${programs[@]}"; do
    headers=$(x86_64-w64-mingw32-objdump -p "$exe")
    flags=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
    if (( (0x$flags & 0x160) != 0x160 )); then
        echo "$exe: DllCharacteristics $flags lacks ASLR or NX" >&2
        status=1
    fi
    if ! grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' <<<"$headers"; then
        echo "$exe: carries a link time stamp" >&2
        status=1
    fi
    if runtime=$(grep -iE 'DLL Name: lib' <<<"$headers"); then
        echo "$exe imports a runtime DLL: $runtime" >&2
        status=1
    fi
done
exit $status
