#!/bin/bash
# Makes the Wine prefix that every Windows UI test copies: wine-template.sh PREFIX
#
# Wine's first start of a prefix takes from seconds to a minute, so it is made once per
# build folder and each test starts from a copy. Settings made here:
#  - a virtual desktop of 1024 x 768, so that Wine draws the window frames itself, as
#    Windows does, on an X server without a window manager;
#  - Wine's own fonts (Tahoma, Marlett for the caption buttons) in the prefix's Fonts
#    folder, where Wine finds them whatever its packaging;
#  - no crash dialog, which would wait for a click that never comes.
set -euo pipefail
prefix=$1
stamp="$prefix/.tamlo-template"
[ -f "$stamp" ] && exit 0

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
rm -rf "$prefix"
mkdir -p "$prefix"
echo "making the Wine prefix $prefix"
wineboot -i >/dev/null 2>&1 || true
# The first start's server and its processes end before the settings go in: a start that
# meets a server on its way out fails.
wineserver -w
reg() {
    local status=0
    wine reg add "$@" /f >/dev/null 2>&1 || status=$?
    [ "$status" -eq 0 ] || echo "wine-template: wine reg add $1 failed (exit $status)" >&2
    return "$status"
}
reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
for font in /usr/share/wine/fonts/*.ttf; do
    [ -e "$font" ] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
done
wineserver -w
touch "$stamp"
