#!/bin/sh
# Builds the Windows installer from a finished Windows build:
#   build-msi.sh BUILD-DIR VERSION OUTPUT.msi
# The files are those of the .zip (the build's install rules, stripped). wixl writes the
# package from data/windows/tamlo.wxs; msibuild then adds what wixl 0.101 cannot write:
# the PATH entry (Environment table and its two actions), the conditions that pick the
# user's or the machine's PATH, and a non-advertised shortcut (one that starts the program
# itself, not Windows Installer's repair check first).
set -eu
build=$1
version=$2
output=$3
source_dir=$(cd "$(dirname "$0")/.." && pwd)
windows_data=$source_dir/data/windows
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

cmake --install "$build" --prefix "$staging/files" --strip >/dev/null
cp "$source_dir/src/ui/win32/tamlo-config.ico" "$staging"
# wixl takes the files' paths relative to the folder it runs in.
cd "$staging"
wixl -a x64 -D Version="$version" -D Staging=files \
    -D Icon=tamlo-config.ico -o tamlo.msi "$windows_data/tamlo.wxs" 2>wixl.log || {
    cat wixl.log >&2
    exit 1
}
msibuild tamlo.msi -i "$windows_data/Environment.idt" \
    -q "UPDATE Component SET Condition='NOT ALLUSERS' WHERE Component='UserPath'" \
    -q "UPDATE Component SET Condition='ALLUSERS' WHERE Component='MachinePath'" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)" \
    -q "UPDATE Shortcut SET Target='[#tamlo_config.exe]' WHERE Shortcut='StartMenuShortcut'"
mv tamlo.msi "$output"
