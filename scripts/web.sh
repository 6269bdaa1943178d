#!/usr/bin/env bash
# The browser edition: builds the module with Debian's emscripten into build-web/ and puts
# the static site together in build-web/site/ (the module's tarvex.js and tarvex.wasm, then
# everything of web/site/). Nothing is downloaded: the compiler's system libraries are built
# once into build-web/em-cache.
#
#   scripts/web.sh              build the site
#   scripts/web.sh serve [PORT] serve build-web/site on http://127.0.0.1:PORT (8640)
#
# Environment: TARVEX_WEB_BUILD_DIR (default build-web).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVEX_WEB_BUILD_DIR:-$root/build-web}
case "$build" in /*) ;; *) build=$root/$build ;; esac
site=$build/site

if [ "${1:-}" = serve ]; then
    port=${2:-8640}
    [ -f "$site/tarvex.js" ] || { echo "web.sh: $site is not built; run scripts/web.sh" >&2; exit 1; }
    echo "web.sh: serving $site on http://127.0.0.1:$port/"
    exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
fi

for tool in emcmake em++ node; do
    command -v "$tool" >/dev/null || { echo "web.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

# em++'s JavaScript optimizer finds Debian's acorn there; the system libraries stay in the
# build tree.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
export EM_CACHE=$build/em-cache
# Debian freezes the cache of its installed copy; this one is ours to fill.
export EM_FROZEN_CACHE=
mkdir -p "$EM_CACHE"
# Seeded from the system libraries Debian built (hard links where the file system allows);
# whatever is missing em++ builds into it.
debian_cache=/usr/share/emscripten/cache
if [ ! -e "$EM_CACHE/sysroot_install.stamp" ] && [ -e "$debian_cache/sysroot_install.stamp" ]; then
    cp -al "$debian_cache/." "$EM_CACHE/" 2>/dev/null || cp -a "$debian_cache/." "$EM_CACHE/"
    rm -f "$EM_CACHE/cache.lock"
fi

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi

emcmake cmake -S "$root" -B "$build/module-build" "${generator[@]}" "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DTARVEX_WERROR=ON -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build/module-build" --target tarvex

# The site: the module, then the page's files. The page's generator (web/site/make_page.py)
# writes index.html from the window's resource template, the icons from the program's SVG
# and the service worker's file list; without it web/site is copied as it is.
rm -rf "$site.new"
mkdir -p "$site.new"
cp "$build/module-build/module/tarvex.js" "$build/module-build/module/tarvex.wasm" \
    "$root/web/tarvex-ticker.js" "$site.new/"
if [ -f "$root/web/site/make_page.py" ]; then
    python3 "$root/web/site/make_page.py" "$root/resources/windows/tarvex.rc" \
        "$root/resources/window/tarvex.svg" "$root/web/site" "$site.new"
elif [ -d "$root/web/site" ]; then
    cp -R "$root/web/site/." "$site.new/"
fi
rm -rf "$site"
mv "$site.new" "$site"

# The browser tests' packages (puppeteer-core, from the committed lock).
if [ -f "$root/tests/web/package-lock.json" ] && [ ! -d "$root/tests/web/node_modules" ]; then
    (cd "$root/tests/web" && npm ci --no-audit --no-fund)
fi

echo "web.sh: site in $site ($(du -sk "$site" | cut -f1) KB)"
