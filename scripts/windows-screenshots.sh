#!/usr/bin/env bash
# Screenshots of tarvex.exe's window under Wine, in English, German and Japanese: an Xvfb
# display of its own, a Wine prefix drawing on it (inside the build folder), the window
# started with --simulate --language <xx>, the X screen saved with xwd and trimmed to the
# window. Writes <build>/screenshots/tarvex-windows-<xx>.png, and copies them to
# docs/screenshots/ with --docs; <build>/screenshots/start-times.txt holds the seconds from
# each start to the window on the screen. Builds tarvex.exe first when it is missing.
#
#   scripts/windows-screenshots.sh [--docs]
#   TARVEX_WINDOWS_BUILD_DIR   the Windows build folder (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARVEX_WINDOWS_BUILD_DIR:-build-windows}
docs=false
[[ ${1:-} == --docs ]] && docs=true
for tool in Xvfb xwd xwininfo convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "windows-screenshots.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    fi
done
if [[ ! -f $build/bin/tarvex.exe || ! -f $build/bin/tarvex-vgyro.dll || ! -f $build/bin/tarvex-drive.exe ]]; then
    cmake --build "$build" --target tarvex tarvex-vgyro tarvex-drive
fi
# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh

# A display number nobody uses.
display=""
for n in $(seq 91 140); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
        display=$n
        break
    fi
done
[[ -n $display ]] || { echo "windows-screenshots.sh: no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
program=""
cleanup() {
    if [[ -n $program ]]; then kill "$program" 2>/dev/null || true; fi
    tarvex_wine_stop
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 1 50); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
done

tarvex_wine_prefix "$PWD/$build/wine-screens" x11
mkdir -p "$build/screenshots"
rm -f "$build/screenshots/start-times.txt"
export TARVEX_VGYRO_FAST=1 TARVEX_VGYRO_STATE=none
for language in en de ja; do
    started=$(date +%s.%N)
    "$tarvex_wine" "$build/bin/tarvex.exe" --simulate --language "$language" \
        </dev/null >"$build/screenshots/tarvex-windows-$language.log" 2>&1 &
    program=$!
    shown=false
    for _ in $(seq 1 600); do
        if xwininfo -root -tree 2>/dev/null | grep -q '"Tarvex": ("tarvex.exe"'; then
            shown=true
            break
        fi
        kill -0 "$program" 2>/dev/null || break
        sleep 0.05
    done
    if ! $shown; then
        echo "windows-screenshots.sh: the window ($language) did not show within 30 s:" >&2
        cat "$build/screenshots/tarvex-windows-$language.log" >&2
        exit 1
    fi
    # From the start to the window's appearance on the X screen (polled every 50 ms).
    echo "$language $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')" \
        >>"$build/screenshots/start-times.txt"
    # A Read, so that the window shows a gyro's values (tests/win/DriveWindow.cpp clicks Read
    # and answers its box).
    if ! "$tarvex_wine" "$build/bin/tarvex-drive.exe" --read </dev/null >/dev/null 2>&1; then
        echo "windows-screenshots.sh: the Read in the window ($language) did not complete" >&2
        exit 1
    fi
    # Let it paint.
    sleep 1.5
    out=$build/screenshots/tarvex-windows-$language.png
    xwd -root -silent | convert xwd:- -trim +repage "$out"
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=""
    echo "$out"
    if $docs; then
        cp "$out" "docs/screenshots/tarvex-windows-$language.png"
        echo "docs/screenshots/tarvex-windows-$language.png"
    fi
done
