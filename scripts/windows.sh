#!/usr/bin/env bash
# Builds the Windows branch with MinGW-w64 and runs its tests under Wine: link/, gyro/, the
# window's behaviour (dialog/), the virtual gyro (tarvex-vgyro.dll), the scripted D2XX
# stand-in and the other test DLLs, the string table and tarvex-cli.exe (CLI11 and
# nlohmann/json are header-only and taken from Debian's /usr/include), the native window
# tarvex.exe (win/) and the test programs (GoogleTest built from Debian's /usr/src/googletest
# with the same compiler), run by ctest with Wine as the emulator; then the MSI installer and
# the portable .zip, and the installer's test in a fresh prefix. The output ends with the
# installer test's summary.
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
# The tests' prefix lives inside the build folder, so nothing else on the machine changes:
# Wine's fonts, no window manager, no prompts or desktop entries, and Wine's display driver
# without a display, on which the window's tests create their dialogs (scripts/wine-prefix.sh).
# One Wine server serves every test program of the run, ended on the way out.
# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh
tarvex_wine_prefix "$PWD/$build/wine" null
trap tarvex_wine_stop EXIT

echo "=== windows.sh: MinGW-w64 build ($build) ==="
cmake -S . -B "$build" -G Ninja --toolchain cmake/MinGW-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEX_WERROR=ON ${TARVEX_WINDOWS_CMAKE_ARGS:-} >/dev/null
cmake --build "$build"
echo "=== windows.sh: tests under Wine ==="
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
echo "=== windows.sh: the installer under Wine (a fresh prefix) ==="
ls -l "$build"/Tarvex-*-x64.msi "$build"/Tarvex-*-x64.zip
scripts/windows-installer-test.sh "$build"
