#!/usr/bin/env bash
# Peak memory (VmHWM) of the whole window program once it has started and shown
# its window, on the offscreen platform unless a display is chosen. Target:
# under 40 MB.
# Usage: bench/startup-memory.sh path/to/mnemora
set -euo pipefail
program=${1:?usage: bench/startup-memory.sh path/to/mnemora}
limit_kb=$((40 * 1024))

QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$program" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Started means: the window is up and the event loop idle, which takes far less
# than this on any machine the program is meant for.
sleep 2
if ! peak_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null); then
    echo "startup-memory: the program exited during start-up" >&2
    exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
trap - EXIT

verdict=ok
[ "$peak_kb" -lt "$limit_kb" ] || verdict=MISSED
awk -v kb="$peak_kb" -v verdict="$verdict" \
    'BEGIN { printf "%-44s %6.1f MB (target < 40 MB) %s\n", "Window program peak memory at start", kb / 1024, verdict }'
[ "$verdict" = ok ]
