#!/bin/sh
# Builds the Windows installer from a finished Windows build:
#   build-msi.sh BUILD-DIR VERSION OUTPUT.msi
# The files are those of the .zip (the build's install rules, stripped). wixl writes the
# package from data/windows/tamlo.wxs; msibuild then adds what wixl 0.101 cannot write:
# the PATH entry (Environment table and its two actions), the conditions that pick the
# user's or the machine's PATH, a non-advertised shortcut (one that starts the program
# itself, not Windows Installer's repair check first), the one dialog a double click shows
# (the licence, with Install and Cancel; a silent install, /qn, shows none), and the order
# of the actions, which wixl gets wrong once a custom action is scheduled: the old version
# goes before the new one is installed (RemoveExistingProducts after InstallValidate).
set -eu
build=$1
version=$2
output=$(realpath -m "$3")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
windows_data=$source_dir/data/windows
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

cmake --install "$build" --prefix "$staging/files" --strip >/dev/null
cp "$source_dir/src/ui/win32/tamlo-config.ico" "$staging"
# The installed programs list's size, in KB.
size=$(du -k -s "$staging/files" | cut -f 1)
# wixl takes the files' paths relative to the folder it runs in.
cd "$staging"
wixl -a x64 -D Version="$version" -D Staging=files \
    -D Icon=tamlo-config.ico -o tamlo.msi "$windows_data/tamlo.wxs" 2>wixl.log || {
    cat wixl.log >&2
    exit 1
}
# The licence as RTF on one line: the lines of a paragraph joined, paragraphs apart.
licence=$(awk '/^$/ { printf "\\par\\par "; next } { gsub(/[\\{}]/, "\\\\&"); printf "%s ", $0 }' \
    "$source_dir/LICENSE")
export rtf="{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs16 $licence}"
awk '{ i = index($0, "@LICENCE@") }
     i { $0 = substr($0, 1, i - 1) ENVIRON["rtf"] substr($0, i + 9) } 1' "$windows_data/Control.idt" >Control.idt
msibuild tamlo.msi -i "$windows_data/Environment.idt" \
    -i "$windows_data/Dialog.idt" -i Control.idt -i "$windows_data/ControlEvent.idt" \
    -q "INSERT INTO InstallUISequence (Action, Condition, Sequence) VALUES ('LicenceDlg', 'NOT Installed', 1250)" \
    -q "UPDATE Component SET Condition='NOT ALLUSERS' WHERE Component='UserPath'" \
    -q "UPDATE Component SET Condition='ALLUSERS' WHERE Component='MachinePath'" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)" \
    -q "UPDATE Shortcut SET Target='[#tamlo_config.exe]' WHERE Shortcut='StartMenuShortcut'" \
    -q "UPDATE CustomAction SET Type=51" \
    -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('MachineInstallDir', 'ALLUSERS', 990)" \
    -q "INSERT INTO InstallUISequence (Action, Condition, Sequence) VALUES ('MachineInstallDir', 'ALLUSERS', 990)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('InstallLocation', 1010)" \
    -q "UPDATE InstallExecuteSequence SET Sequence=1410 WHERE Action='RemoveExistingProducts'" \
    -q "INSERT INTO Property (Property, Value) VALUES ('ARPSIZE', '$size')"
mv tamlo.msi "$output"
