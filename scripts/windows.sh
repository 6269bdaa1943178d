#!/usr/bin/env bash
# Builds the core's Windows branch with MinGW-w64 and runs its tests under Wine: link/,
# gyro/, the window's behaviour (dialog/), the virtual gyro (tarvex-vgyro.dll), the scripted
# D2XX stand-in and the other test DLLs, the string table and tarvex-cli.exe (CLI11 and
# nlohmann/json are header-only and taken from Debian's /usr/include), and the test programs
# (GoogleTest built from Debian's /usr/src/googletest with the same compiler), run by ctest
# with Wine as the emulator. The output ends with ctest's summary. The Qt window is not part
# of this build.
#
#   TARVEX_WINDOWS_BUILD_DIR    the build folder (default build-windows); Wine's prefix
#                               lives inside it, so nothing else on the machine changes
#   TARVEX_WINDOWS_CMAKE_ARGS   extra configure arguments (a compiler launcher, say)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARVEX_WINDOWS_BUILD_DIR:-build-windows}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
for tool in x86_64-w64-mingw32-g++-posix "$wine" "$wineserver"; do
    if ! command -v "$tool" >/dev/null; then
        echo "windows.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    fi
done

mkdir -p "$build"
export WINEPREFIX=$PWD/$build/wine
export WINEDEBUG=-all
# No prompts to install Wine's .NET and HTML engines: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "=== windows.sh: a fresh Wine prefix in $WINEPREFIX ==="
    "$wine" wineboot --init
    "$wineserver" -w
fi
# One Wine server for every test program of the run (each would otherwise start its own),
# ended on the way out. Wine's own background services start with the first program of a
# server and live as long as it: started here with no output attached, so that they do not
# hold open the output pipe of a program whose output is read (gtest_discover_tests would
# wait for it to close until its time-out).
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wine" wineboot </dev/null >/dev/null 2>&1

echo "=== windows.sh: MinGW-w64 build ($build) ==="
cmake -S . -B "$build" -G Ninja --toolchain cmake/MinGW-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEX_WERROR=ON ${TARVEX_WINDOWS_CMAKE_ARGS:-} >/dev/null
cmake --build "$build"
echo "=== windows.sh: tests under Wine ==="
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
