#!/usr/bin/env bash
# Makes Brovink.msi from packaging/brovink.wxs: build_msi.sh VERSION FOLDER OUTPUT, where FOLDER
# holds Brovink.exe and Brovink.com. The build (cmake/windows.cmake) and the package scenario
# (tests/e2e/package.sh, for a package of another version) both make it here, so that every package
# is made the same way.
#
# wixl takes the files' names relative to its source, so source and icon are copied into FOLDER
# first. msibuild then writes into the tables what wixl 0.101 cannot:
# - EventMessageFile as REG_EXPAND_SZ ("#%"): wixl writes an "expandable" value as a plain string.
# - The Start-menu shortcut aimed at the installed file ([#BrovinkExe]): wixl ignores
#   Advertise="no" and names the feature instead, which makes the shortcut advertised, so that every
#   start through it has Windows Installer check the whole feature first (the event source's key
#   included) and start a repair, asking for the package, when something is missing.
# - An installed package of the same version replaced too (VersionMaxInclusive, 0x200, with
#   MigrateFeatures, 1: WiX's AllowSameVersionUpgrades, which wixl lacks): every build gets a new
#   product code, so without it a rebuilt package of the same version would be installed beside the
#   older one, as a second product in Add/Remove Programs.
set -euo pipefail
[ $# = 3 ] || { echo "usage: $0 VERSION FOLDER OUTPUT" >&2; exit 2; }
version=$1 folder=$2 output=$3
here=$(cd "$(dirname "$0")" && pwd)

cp "$here/brovink.wxs" "$here/../resources/brovink.ico" "$folder/"
# wixl reports elements it does not implement (Advertise="no", mended below) as "unimplemented".
wixl -a x64 -D Version="$version" -o "$output" "$folder/brovink.wxs" 2> >(grep -v 'unimplemented' >&2)
msibuild "$output" -q "UPDATE Registry SET Value = '#%[#BrovinkExe]' WHERE Name = 'EventMessageFile'"
msibuild "$output" -q "UPDATE Shortcut SET Target = '[#BrovinkExe]' WHERE Shortcut = 'StartMenuShortcut'"
# Attributes is part of the Upgrade table's key, which an UPDATE cannot change: the row is made anew.
upgrade_code=$(grep -o 'UpgradeCode="[^"]*"' "$here/brovink.wxs" | cut -d'"' -f2)
msibuild "$output" -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
