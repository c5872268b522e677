#!/bin/bash
# Installs the Windows installer in a fresh Wine prefix and checks what the user meets, then
# upgrades it with a newer one and removes it again:
#   msi-install.sh MSI NEWER-MSI UI-DRIVER [SCREENSHOT.png]
# UI-DRIVER is the build's tamlo-ui-driver.exe; SCREENSHOT, if named, gets the window.
set -uo pipefail
msi=$1 newer=$2 driver=$3 screenshot=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
status=0 xvfb_pid=""
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No Linux menu entries for the shortcut (winemenubuilder), no Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    wineserver -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "msi-install: $*" >&2; status=1; }
win() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# reg_value KEY NAME: the value's data, or nothing.
reg_value() { win reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
# expect WHAT GOT WANTED
expect() { [ "$2" = "$3" ] || fail "$1: '$2', not '$3'"; }
msiexec() { wine msiexec "$1" "$(winepath -w "$2")" /qn </dev/null || fail "msiexec $1 $2 failed"; }

"$here/wine-template.sh" "$WINEPREFIX" >/dev/null || {
    echo "msi-install: the Wine prefix was not made" >&2
    exit 1
}
# A display of its own, there before the prefix's desktop process starts.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
# One server for the whole test, ended by cleanup: a server that ends by itself between two
# steps takes the next one's start with it. Its own processes start with a first program
# that has no output to hold on to.
wineserver -p
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
user=$(id -un)
folder="C:\\users\\$user\\AppData\\Local\\Programs\\Tamlo\\"
dir=$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Tamlo
menu="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
win reg add 'HKCU\Environment' /v PATH /d 'C:\tools' /f >/dev/null

# entry VERSION: the installed programs list holds this product once, with these values.
entry() {
    local products key
    products=$(win uninstaller --list | grep '|||Tamlo Configurator$')
    expect "installed programs" "$(wc -l <<<"$products")" 1
    key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${products%%|*}"
    expect DisplayVersion "$(reg_value "$key" DisplayVersion)" "$1"
    expect Publisher "$(reg_value "$key" Publisher)" "The Tamlo configurator developers"
    expect HelpLink "$(reg_value "$key" HelpLink)" "https://tamlo.example.org/windows"
    expect InstallLocation "$(reg_value "$key" InstallLocation)" "$folder"
    # Wine keeps the size the package gives (ARPSIZE) as Size; Windows computes its own.
    expect "Size (KB)" "$(reg_value "$key" Size)" "$(du -k -s --exclude=mine.toml "$dir" | cut -f 1)"
}

msiexec /i "$msi"
expect "installed files" "$(ls "$dir" | tr '\n' ' ')" "LICENSE.txt README.md tamlo-config.exe tamlo.exe "
version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
expect "tamlo.exe --version" "$(win "$dir/tamlo.exe" --version | head -n 1)" "tamlo $version"
expect "PATH" "$(reg_value 'HKCU\Environment' PATH)" "C:\\tools;$folder"
expect "tamlo.exe --version by PATH" "$(win cmd /c 'cd /d C:\ && tamlo.exe --version' | head -n 1)" "tamlo $version"
strings "$menu/Tamlo Configurator.lnk" | grep -qxF "${folder}tamlo-config.exe" ||
    fail "no Start-menu shortcut for ${folder}tamlo-config.exe"
entry "$version"
# The list's icon and the shortcut's: the program's, kept in Windows Installer's cache.
icon=$(win reg query 'HKCU\Software\Microsoft\Installer\Products' /s | sed -n 's/^ *ProductIcon *REG_SZ *//p')
[ -f "$(winepath -u "$icon" 2>/dev/null)" ] || fail "no product icon at '$icon'"
strings -el "$menu/Tamlo Configurator.lnk" | grep -qF "$icon" || fail "the shortcut has not the icon $icon"

# The window program starts from the installed folder.
(cd "$dir" && exec wine ./tamlo-config.exe >"$work/app.log" 2>&1) &
app=$!
if wine "$driver" wait-window 120 </dev/null >"$work/driver.log" 2>&1; then
    [ -z "$screenshot" ] || { import -display "$DISPLAY" -window root "$work/screen.png" &&
        convert "$work/screen.png" -trim +repage "$screenshot"; }
    win "$driver" wait-window 10 close-box wait-closed >/dev/null || fail "the window did not close"
else
    fail "tamlo-config.exe shows no window: $(cat "$work/driver.log" "$work/app.log")"
fi
wait "$app" || fail "tamlo-config.exe ended with status $?"

# A settings file the user saved beside the programs and a PATH entry of their own stay.
echo 'channel1 = "138.500"' >"$dir/mine.toml"
win reg add 'HKCU\Environment' /v PATH /d "C:\\tools;${folder};C:\\later" /f >/dev/null
newer_version=$(msiinfo export "$newer" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
msiexec /i "$newer"
entry "$newer_version"
# Windows puts the new entry at the end, Wine keeps the old one in place: either way once.
expect "PATH after the upgrade" "$(reg_value 'HKCU\Environment' PATH | tr ';' '\n' | sort | tr '\n' ' ')" \
    "C:\\later C:\\tools $folder "

msiexec /x "$newer"
expect "files left" "$(ls "$dir" | tr '\n' ' ')" "mine.toml "
[ ! -e "$menu/Tamlo Configurator.lnk" ] || fail "the shortcut is left"
[ -z "$(win uninstaller --list | grep Tamlo)" ] || fail "the installed programs list names Tamlo"
[ ! -e "$(winepath -u "$icon")" ] || fail "the product icon is left"
# Wine leaves the separator in front of a last entry it removes.
expect "PATH after removal" "$(reg_value 'HKCU\Environment' PATH | sed 's/;$//')" "C:\\tools;C:\\later"
[ "$status" -ne 0 ] || echo "msi-install: $version installed, ran, upgraded to $newer_version and removed"
exit $status
