#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Tarvex needs.
# Safe to run again: apt-get skips what is already installed. Run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    clang clang-format libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-svg-dev libgl-dev
    libftdi1-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth fonts-noto-cjk fonts-dejavu-core
    time x11-utils
    qemu-system-x86 linux-image-amd64 busybox-static python3
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 googletest
    lintian desktop-file-utils shared-mime-info appstream dpkg-dev file
    libcli11-dev nlohmann-json3-dev
    dbus dbus-x11 at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-gi libx11-6 libxtst6
    fonts-wine wixl msitools x11-apps imagemagick librsvg2-bin
    emscripten binaryen node-acorn chromium
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js and npm drive the browser tests. A machine may carry them from another source
# (a Node.js package that brings its own npm conflicts with Debian's npm): Debian's are
# installed only where the commands are missing.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)

if [ "${#missing[@]}" -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
