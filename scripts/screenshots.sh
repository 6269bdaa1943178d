#!/usr/bin/env bash
# Takes the window's screenshots in English, German and Japanese, offscreen, after a Read
# from the virtual gyro, into docs/screenshots/. Builds the program first when needed.
# Usage: scripts/screenshots.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${TARVEX_BUILD_DIR:-build}}
if [ ! -x "$build/bin/tarvex" ] || [ ! -e "$build/bin/libtarvex-vgyro.so" ]; then
    cmake -S . -B "$build" -G Ninja
    cmake --build "$build" --target tarvex tarvex-vgyro
fi
export QT_QPA_PLATFORM=offscreen
export TARVEX_VGYRO_FAST=1
export TARVEX_VGYRO_STATE=none
unset TARVEX_VGYRO_FAULTS
mkdir -p docs/screenshots
for language in en de ja; do
    "$build/bin/tarvex" --simulate --language "$language" \
        --screenshot "docs/screenshots/tarvex-$language.png" 2>/dev/null
    echo "docs/screenshots/tarvex-$language.png"
done
