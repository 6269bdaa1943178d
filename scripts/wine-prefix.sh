# shellcheck shell=bash
# Sourced by the Windows scripts: a Wine prefix that behaves for tests and screenshots.
#
#   tarvex_wine_prefix <prefix folder> <graphics: null | x11>
#
# Sets WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES, creates the prefix when it does not exist,
# and makes it fit for unattended use:
#  - no prompts to install Wine's .NET and HTML engines, and no menu entries or file types
#    written into the user's desktop (winemenubuilder off);
#  - Wine's own fonts copied into the prefix (Debian's Wine does not find them where they
#    are installed: without them there is no Tahoma or Marlett, and the caption buttons draw
#    as letters), and the Japanese dialog font mapped onto an installed CJK font;
#  - windows not handed to a window manager (each shown window would wait for one);
#  - graphics "null": Wine's display driver without a display, for the tests, where
#    dialogs, controls and message boxes work in-process; "x11": the X display in DISPLAY,
#    for screenshots.
# Starts a persistent wineserver detached from the caller's output (Wine's services would
# otherwise hold an output pipe open); tarvex_wine_stop ends it.
tarvex_wine=/usr/lib/wine/wine64
tarvex_wineserver=/usr/lib/wine/wineserver

tarvex_wine_prefix() {
    local prefix=$1 graphics=$2
    export WINEPREFIX=$prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        echo "=== a fresh Wine prefix in $WINEPREFIX ===" >&2
        mkdir -p "$WINEPREFIX"
        "$tarvex_wine" wineboot --init </dev/null >/dev/null 2>&1
        "$tarvex_wineserver" -w
    fi
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    if [[ ! -f $fonts/tahoma.ttf ]]; then
        if ! compgen -G '/usr/share/wine/fonts/*.ttf' >/dev/null; then
            echo "wine-prefix.sh: /usr/share/wine/fonts has no fonts; install fonts-wine" >&2
            return 1
        fi
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/*.ttf "$fonts/"
    fi
    # Already running for this prefix is fine.
    "$tarvex_wineserver" -p </dev/null >/dev/null 2>&1 || true
    "$tarvex_wine" wineboot </dev/null >/dev/null 2>&1
    local cjk=""
    for family in "Noto Sans CJK JP" "Noto Sans JP"; do
        if fc-list ":family=$family" 2>/dev/null | grep -q .; then
            cjk=$family
            break
        fi
    done
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\Drivers]'
        echo "\"Graphics\"=\"$graphics\""
        if [[ -n $cjk ]]; then
            echo
            echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
            echo "\"MS UI Gothic\"=\"$cjk\""
        fi
    } >"$WINEPREFIX/drive_c/tarvex-settings.reg"
    # A prefix just made can still be busy with its first start: try again once.
    local attempt
    for attempt in 1 2; do
        "$tarvex_wine" regedit /S 'C:\tarvex-settings.reg' </dev/null >/dev/null 2>&1
        if "$tarvex_wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics </dev/null 2>/dev/null |
            grep -q "$graphics"; then
            return 0
        fi
        [[ $attempt == 1 ]] && sleep 2
    done
    echo "wine-prefix.sh: the settings did not reach the registry of $WINEPREFIX" >&2
    return 1
}

tarvex_wine_stop() {
    "$tarvex_wineserver" -k 2>/dev/null || true
}
