#!/usr/bin/env bash
# Start-up of the window, measured from outside; run inside an X server (xvfb-run).
# For each run: start `tarvex --simulate` and poll the X server until a window named
# "Tarvex" is mapped and viewable, then end the program. Prints one line per run
# ("startup.run: <ms> ms") and the median ("startup.median: <ms> ms").
#   window_startup.sh <tarvex binary> [runs]
set -euo pipefail
program=$1
runs=${2:-7}
export TARVEX_VGYRO_STATE=none
unset TARVEX_VGYRO_FAST TARVEX_VGYRO_FAULTS TARVEX_D2XX QT_QPA_PLATFORM
results=()
for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$program" --simulate --language en >/dev/null 2>&1 &
    pid=$!
    until xwininfo -name Tarvex 2>/dev/null | grep -q "IsViewable"; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "window_startup: the program ended before its window showed" >&2
            exit 1
        fi
        if (($(date +%s%N) - start > 10000000000)); then
            echo "window_startup: no window after 10 s" >&2
            kill "$pid"
            exit 1
        fi
    done
    end=$(date +%s%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    ms=$(awk -v d=$((end - start)) 'BEGIN { printf "%.1f", d / 1e6 }')
    echo "startup.run: $ms ms"
    results+=("$ms")
done
printf '%s\n' "${results[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "startup.median: %.1f ms\nstartup.max: %.1f ms\n", v[int((NR + 1) / 2)], v[NR] }'
