#!/usr/bin/env bash
# Size of each Windows program, and the DLLs it imports: only system DLLs
# every Windows 10 has, none of its own. Targets: the window at most 1.5 MB,
# the command line at most 1 MB.
# Usage: bench/windows-sizes.sh build-windows/bin
set -euo pipefail
bin=${1:?usage: bench/windows-sizes.sh build-windows/bin}
# What Windows 10 itself provides; anything else would have to be shipped.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|uxtheme|windowscodecs|msvcrt|shlwapi|dwmapi|imm32|version|ws2_32|uiautomationcore|oleacc|shcore|bcrypt|crypt32|winmm|gdiplus)\.dll$'

status=0
for program in mnemora-cli mnemora; do
    exe=$bin/$program.exe
    [ -f "$exe" ] || continue
    case $program in
        mnemora) limit=$((1536 * 1024)) label="1.5 MB" ;;
        *) limit=$((1024 * 1024)) label="1 MB" ;;
    esac
    size=$(stat -c %s "$exe")
    imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
    foreign=$(grep -Ev "$system_dlls" <<<"$imports" || true)
    verdict=ok
    if [ "$size" -gt "$limit" ] || [ -n "$foreign" ]; then
        verdict=MISSED
        status=1
    fi
    awk -v name="$program.exe size" -v b="$size" -v label="$label" -v verdict="$verdict" \
        'BEGIN { printf "%-44s %6.2f MB (target <= %s) %s\n", name, b / 1048576, label, verdict }'
    printf '%-44s %s\n' "$program.exe imports" "$(tr '\n' ' ' <<<"$imports")"
    [ -z "$foreign" ] || echo "$program.exe imports DLLs Windows does not have: $foreign" >&2
done
exit $status
