#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix: a silent install, the installed
# programs run from C:\Program Files\Tarvex, the Start-menu entry and the .tcf file type
# registered; the same version built again over it and then the next version, each leaving
# one entry among the installed programs and its own files, and this one over that, which is
# refused; then a silent uninstall, after which no file, shortcut or registry key of Tarvex's
# is left. Every check prints PASS or FAIL; the script fails when one failed.
#
#   scripts/windows-installer-test.sh [build folder]   (default build-windows)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
build=${1:-${TARVEX_WINDOWS_BUILD_DIR:-build-windows}}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
msi=$PWD/$build/Tarvex-$version-x64.msi
if [[ -z $version || ! -f $msi ]]; then
    echo "windows-installer-test.sh: no installer in $build (Tarvex-$version-x64.msi); build the target tarvex_packages" >&2
    exit 1
fi
# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh

failures=0
exec 3>&1
check() {  # check <description> <command...>
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then
        echo "PASS  $what"
    else
        echo "FAIL  $what"
        failures=$((failures + 1))
    fi
}
output_is() {  # output_is <expected> <command...>: the command's first line is expected
    local expected=$1
    shift
    local got
    got=$("$@" </dev/null 2>/dev/null | tr -d '\r' | head -n 1)
    [[ $got == "$expected" ]]
}
output_has() {  # output_has <text> <command...>
    local text=$1
    shift
    "$@" </dev/null 2>/dev/null | tr -d '\r' | grep -qF -- "$text"
}
wine() { "$tarvex_wine" "$@" </dev/null; }
test_missing_key() { ! "$tarvex_wine" reg query "$1" </dev/null >/dev/null 2>&1; }
test_not_listed() {
    ! "$tarvex_wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
        </dev/null 2>/dev/null | grep -q 'Tarvex'
}
listed_versions() {  # the version of every entry named Tarvex among the installed programs
    "$tarvex_wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
        </dev/null 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { if (name == "Tarvex") print version; name = ""; version = "" }
             $1 == "DisplayName" { name = $3 }
             $1 == "DisplayVersion" { version = $3 }
             END { if (name == "Tarvex") print version }'
}
listed_only() {  # listed_only <version>: one entry named Tarvex, of that version
    local got
    got=$(listed_versions)
    [[ $got == "$1" ]] && return 0
    local shown=${got//$'\n'/, }
    echo "      listed: ${shown:-nothing}" >&3  # past check's redirections
    return 1
}

prefix=$PWD/$build/wine-install
# A server left running on an earlier prefix of that name goes first.
WINEPREFIX=$prefix tarvex_wine_stop
rm -rf "$prefix"
echo "=== installer test: fresh prefix $prefix ==="
tarvex_wine_prefix "$prefix" null || exit 1
trap tarvex_wine_stop EXIT

installed=$WINEPREFIX/drive_c/Program\ Files/Tarvex
# The Start-menu entry: the installer asks for the common Programs folder (ALLUSERS=1); Wine
# 8's msiexec puts it in the user's.
shortcuts=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvex.lnk"
    "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tarvex.lnk")
shortcut_exists() { [[ -f ${shortcuts[0]} || -f ${shortcuts[1]} ]]; }
no_shortcut() { ! shortcut_exists; }
msi_windows="Z:${msi//\//\\}"

check "silent install (msiexec /i /qn)" wine msiexec /i "$msi_windows" /qn /l*v 'C:\install.log'
check "install log ends with success" grep -qa 'Return value 1' "$WINEPREFIX/drive_c/install.log"
for file in tarvex.exe tarvex-vgyro.dll LICENSE.txt; do
    check "installed: C:\\Program Files\\Tarvex\\$file" test -f "$installed/$file"
done
check "installed tarvex.exe --version" output_is "Tarvex $version" \
    "$tarvex_wine" 'C:\Program Files\Tarvex\tarvex.exe' --version
if grep -q '^tarvex-cli' <(ls "$build/installer/files"); then
    check "installed: C:\\Program Files\\Tarvex\\tarvex-cli.exe" test -f "$installed/tarvex-cli.exe"
    check "installed tarvex-cli.exe --version" output_has "$version" \
        "$tarvex_wine" 'C:\Program Files\Tarvex\tarvex-cli.exe' --version
    check "installed tarvex-cli.exe --simulate read" env TARVEX_VGYRO_FAST=1 \
        TARVEX_VGYRO_STATE=none "$tarvex_wine" 'C:\Program Files\Tarvex\tarvex-cli.exe' \
        --simulate read
else
    echo "NOTE  this build has no tarvex-cli.exe; the installer carries none"
fi
# The installed window driven as a user would (tests/win/DriveWindow.cpp): Read, a change
# and Write, the limit procedure, closing with the limits unwritten and answering Yes. The
# boxes it read and the command frames that reached the virtual gyro (R read, P page, L limit
# mode on, X the closing frame) are those the behaviour's tests expect of every window.
drive=$PWD/$build/bin/tarvex-drive.exe
if [[ -f $drive ]]; then
    state='C:\tarvex-test-state'
    log=$WINEPREFIX/drive_c/tarvex-vgyro.log
    rm -f "$log"
    session=$(TARVEX_VGYRO_FAST=1 TARVEX_VGYRO_STATE=none TARVEX_VGYRO_LOG='C:\tarvex-vgyro.log' \
        XDG_STATE_HOME=$state timeout 180 "$tarvex_wine" "Z:${drive//\//\\}" \
        'C:\Program Files\Tarvex\tarvex.exe' 'C:\tarvex-vgyro.log' </dev/null 2>/dev/null |
        tr -d '\r')
    expected_session="window: Tarvex
Read: boxes [The connection succeeded.] frames [R]
Write: boxes [The writing suceeded.] frames [PPPPPPPPPXR]
limits: status [Please set the first limit point.] [Please set the second limit point.] [Push the write button.] high 129 low 117
Limits: boxes [] frames [L] servo moved
Close: boxes [The data have not been written to the gyro yet. Do you want to write data to the gyro? | The writing suceeded.] frames [PPPPPPPPPXR]
exit: 0"
    check "installed tarvex.exe --simulate: Read, Write, limits and the exit check" \
        test "$session" == "$expected_session"
    [[ $session == "$expected_session" ]] || diff <(echo "$expected_session") <(echo "$session")
    check "installed tarvex.exe: the backups of both writes" \
        test "$(find "$WINEPREFIX/drive_c/tarvex-test-state/tarvex/backups" -name '*.tcf' | wc -l)" -eq 2
    rm -rf "$WINEPREFIX/drive_c/tarvex-test-state" "$log"
else
    check "tarvex-drive.exe built (drives the installed window)" false
fi
check "Start-menu entry" shortcut_exists
check ".tcf is a Tarvex settings file" output_has "Tarvex.SettingsFile" \
    "$tarvex_wine" reg query 'HKCR\.tcf' /ve
check ".tcf opens in tarvex.exe" output_has 'Tarvex\tarvex.exe" "%1"' \
    "$tarvex_wine" reg query 'HKCR\Tarvex.SettingsFile\shell\open\command' /ve
check "listed among installed programs" output_has "Tarvex" \
    "$tarvex_wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s

# Installers made from the build's .wxs with wixl, as the build makes its own, into a folder
# of their own (they are not the build's packages): the same version again (a new product
# code), and the next version, whose tarvex.exe has bytes appended so that the file on disk
# tells which installer put it there.
next_of() { echo "${1%.*}.$((${1##*.} + 1))"; }
wixl=$(sed -n 's/^TARVEX_WIXL:FILEPATH=//p' "$build/CMakeCache.txt")
make_msi() {  # make_msi <folder with tarvex.wxs> <version> <output>
    env -C "$1" "${wixl:-wixl}" -a x64 -D TarvexVersion="$2" \
        -D TarvexNextVersion="$(next_of "$2")" -o "$3" tarvex.wxs
}
newer=$(next_of "$version")
newer_work=$PWD/$build/installer-$newer
newer_msi=$newer_work/Tarvex-$newer-x64.msi
again_msi=$newer_work/Tarvex-$version-again-x64.msi
rm -rf "$newer_work"
mkdir -p "$newer_work"
cp -r "$build/installer/tarvex.wxs" "$build/installer/tarvex.ico" "$build/installer/files" \
    "$newer_work/"
echo "Tarvex $newer" >>"$newer_work/files/tarvex.exe"
make_both() {
    make_msi "$build/installer" "$version" "$again_msi" &&
        make_msi "$newer_work" "$newer" "$newer_msi"
}
check "installers of $version again and of $newer (wixl: ${wixl:-not in the build cache})" make_both
newer_windows="Z:${newer_msi//\//\\}"
installed_files_are() {  # installed_files_are <staged files>: each installed file is that one
    local file
    for file in "$1"/*; do
        cmp -s "$file" "$installed/${file##*/}" || return 1
    done
}
check "$version again over $version (msiexec /i /qn)" wine msiexec /i "Z:${again_msi//\//\\}" /qn
check "after the same version again: one Tarvex among installed programs, $version" \
    listed_only "$version"
check "after the same version again: the files are $version's" installed_files_are \
    "$build/installer/files"
check "$newer over $version (msiexec /i /qn)" wine msiexec /i "$newer_windows" /qn
check "after the upgrade: one Tarvex among installed programs, $newer" listed_only "$newer"
check "after the upgrade: the files are $newer's" installed_files_are "$newer_work/files"
check "after the upgrade: Start-menu entry" shortcut_exists
check "after the upgrade: .tcf opens in tarvex.exe" output_has 'Tarvex\tarvex.exe" "%1"' \
    "$tarvex_wine" reg query 'HKCR\Tarvex.SettingsFile\shell\open\command' /ve
refuse_older() { ! wine msiexec /i "$msi_windows" /qn /l*v 'C:\downgrade.log'; }
check "$version over $newer is refused (msiexec /i /qn fails)" refuse_older
# A silent install shows no message and Wine's log holds none: the log shows the newer
# version found, and the installer's table the message a user is shown for it.
check "the refusal: the newer version found (TARVEX_NEWER_FOUND)" grep -qaF \
    'TARVEX_NEWER_FOUND = {' "$WINEPREFIX/drive_c/downgrade.log"
check "the refusal says: A newer version of Tarvex is already installed. (msiinfo)" \
    output_has $'NOT TARVEX_NEWER_FOUND\tA newer version of Tarvex is already installed.' \
    msiinfo export "$msi" LaunchCondition
check "after the refusal: one Tarvex among installed programs, $newer" listed_only "$newer"
check "after the refusal: the files are $newer's" installed_files_are "$newer_work/files"

check "silent uninstall (msiexec /x /qn)" wine msiexec /x "$newer_windows" /qn \
    /l*v 'C:\uninstall.log'
check "uninstall log ends with success" grep -qa 'Return value 1' "$WINEPREFIX/drive_c/uninstall.log"
check "no C:\\Program Files\\Tarvex left" test ! -e "$installed"
check "no Start-menu entry left" no_shortcut
check "no .tcf type left" test_missing_key 'HKLM\Software\Classes\.tcf'
check "no Tarvex.SettingsFile left" test_missing_key 'HKLM\Software\Classes\Tarvex.SettingsFile'
check "no HKLM\\Software\\Tarvex left" test_missing_key 'HKLM\Software\Tarvex'
check "not listed among installed programs" test_not_listed

echo "=== installer test: $failures failed ==="
[[ $failures -eq 0 ]]
