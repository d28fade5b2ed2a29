#!/usr/bin/env bash
# Brovink.msi under Wine: a silent install puts Brovink.exe and Brovink.com under C:\Program
# Files\Brovink\, the Start-menu shortcut and the event source with the installed program as its
# message file (whose message table holds every event id of the code); the installed Brovink.com
# returns the modes' exit codes and writes its output into a file or pipe in the OEM code page (so
# does Brovink.exe into a pipe) and registers itself when the source names no message file; a
# package rebuilt with the same version, then one of a higher version, replaces the installed one
# (one product afterwards); a silent uninstall removes program, shortcut and source and leaves a
# backup set, even one made inside the program's folder, and a file of the user's there. Every
# package here is made by the build's own packaging/build_msi.sh, and the event source's values are
# checked after each step.
source "$(dirname "$0")/lib.sh"
e2e_begin

MSI="$E2E_WIN/Brovink.msi"
[ -f "$MSI" ] || e2e_fail "missing $MSI"
BUILD_MSI="$(dirname "$0")/../../packaging/build_msi.sh"
SOURCE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Brovink'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
installed="$WINEPREFIX/drive_c/Program Files/Brovink"
# The Start-menu shortcut, as its paths. Wine's msi puts a per-machine package's shortcut into the
# installing user's Start menu (Windows: the all-users one, C:\ProgramData\...\Start Menu), so both
# are looked at.
shortcuts() {
  find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
       "$WINEPREFIX/drive_c/users" -name 'Brovink Registry-Sicherung.lnk' 2>/dev/null | grep '/Start Menu/Programs/' || true
}

msiexec_quiet() {
  local status=0
  wine msiexec "$@" /qn >"$E2E_TMP/msiexec.log" 2>&1 || status=$?
  [ "$status" = 0 ] || e2e_fail "msiexec $* gave $status: $(cat "$E2E_TMP/msiexec.log")"
}

# The Uninstall entries named Brovink, as "version publisher" lines.
products() {
  wine reg query "$UNINSTALL_KEY" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY_/ { if (name == "Brovink") print version, publisher; name = ""; version = ""; publisher = "" }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" { version = $3 }
    $1 == "Publisher" { publisher = $3 }
    END { if (name == "Brovink") print version, publisher }'
}

# The installed program as the event source's message file, REG_EXPAND_SZ, with its types.
expect_source() {
  [ "$(client_value "regget \"$SOURCE_KEY\" EventMessageFile")" = 'expand:C:\Program Files\Brovink\Brovink.exe' ] ||
    e2e_fail "$1: EventMessageFile $(client_value "regget \"$SOURCE_KEY\" EventMessageFile")"
  [ "$(client_value "regget \"$SOURCE_KEY\" TypesSupported")" = "dword:7" ] || e2e_fail "$1: TypesSupported is not 7"
}

# A package of VERSION in the folder FOLDER, made as the build makes it.
make_package() {
  local version=$1 folder=$2
  mkdir -p "$folder"
  cp "$E2E_WIN/Brovink.exe" "$E2E_WIN/Brovink.com" "$folder/"
  bash "$BUILD_MSI" "$version" "$folder" "$folder/Brovink.msi" || e2e_fail "no package of version $version"
}

# The Start-menu shortcut is aimed at the installed file, not at the feature: an advertised one has
# Windows Installer check (and repair) the whole feature at every start. Wine makes both kinds as
# the same link, so msitools reads the package's table.
[ "$(msiinfo export "$MSI" Shortcut | awk -F'\t' '$1 == "StartMenuShortcut" { print $5 }')" = '[#BrovinkExe]' ] ||
  e2e_fail "the shortcut is advertised: $(msiinfo export "$MSI" Shortcut | tail -n 1)"

e2e_log "silent install"
msiexec_quiet /i "$(winpath "$MSI")"
cmp -s "$installed/Brovink.exe" "$E2E_WIN/Brovink.exe" || e2e_fail "Brovink.exe not installed as built"
cmp -s "$installed/Brovink.com" "$E2E_WIN/Brovink.com" || e2e_fail "Brovink.com not installed as built"
[ "$(shortcuts | wc -l)" = 1 ] || e2e_fail "Start-menu shortcuts: $(shortcuts)"
# Add/Remove Programs shows the icon that the package caches in the Installer folder.
[ -n "$(find "$WINEPREFIX/drive_c/windows/Installer" -name brovink.ico)" ] || e2e_fail "no cached product icon"
expect_source "install"
client 'messages "C:\Program Files\Brovink\Brovink.exe"' 'messages "C:\Program Files\Brovink\Brovink.com"' >/dev/null
[ "$(products)" = "1.0.0 Brovink" ] || e2e_fail "Add/Remove Programs: $(products)"

e2e_log "the installed Brovink.com: the modes' exit codes, output in the OEM code page"
sets="$E2E_TMP/sets"
mkdir -p "$sets"
run_program 'C:\Program Files\Brovink\Brovink.com' /backup "$(winpath "$sets")"
expect_status 0
expect_output "läuft... SOFTWARE"
expect_output "Sicherung fertig: $(winpath "$sets")"
grep -q $'l\x84uft' "$E2E_TMP/out.txt" || e2e_fail "ä is not the OEM byte 0x84"
run_program 'C:\Program Files\Brovink\Brovink.com' /verify "$(winpath "$sets")"
expect_status 0
expect_output "ist in Ordnung."
run_program 'C:\Program Files\Brovink\Brovink.com' /verify "$(winpath "$E2E_TMP")"
expect_status 1
expect_output "fehlt"
run_program 'C:\Program Files\Brovink\Brovink.com' /backup
expect_status 2
expect_output "Befehlszeile nicht verwendbar"
run_program 'C:\Program Files\Brovink\Brovink.com' /?
expect_status 0
expect_output "prüft die Sicherung"
# Piped into another program, both programs write the same OEM bytes as into a file.
for program in Brovink.com Brovink.exe; do
  piped=0
  wine "C:\\Program Files\\Brovink\\$program" /? 2>/dev/null | cat >"$E2E_TMP/piped.txt" || piped=$?
  [ "$piped" = 0 ] || e2e_fail "$program /? into a pipe gave $piped"
  grep -q $'pr\x81ft die Sicherung' "$E2E_TMP/piped.txt" ||
    e2e_fail "$program into a pipe: not the OEM byte 0x81 for ü: $(od -c "$E2E_TMP/piped.txt" | head -5)"
done
# "/ā" arrives in the ANSI code page as "/?" but is no switch: beside /verify it is an unknown
# argument, not the help (Wine reads Unix arguments in the locale's character set).
LC_ALL=C.UTF-8 run_program 'C:\Program Files\Brovink\Brovink.com' "/$(printf '\xc4\x81')" /verify "$(winpath "$sets")"
expect_status 2
e2e_log "the installed Brovink.com without a mode switch runs the window"
BROVINK_EXE="$installed/Brovink.com" start_program "$E2E_TMP" "$(winpath "$sets")"
client window "click 1008" "exit 0" >/dev/null
program_ended

e2e_log "the installed Brovink.exe backs up into its own folder"
run_program 'C:\Program Files\Brovink\Brovink.exe' /backup 'C:\Program Files\Brovink\Sicherung'
expect_status 0
for hive in SOFTWARE SYSTEM SECURITY SAM; do expect_file "$installed/Sicherung/$hive"; done

e2e_log "a run registers the program itself when the source names no message file"
# The source gone, then a value of another kind too long for a short read: Brovink.com's backup
# makes itself the message file; the next install puts the package's values back.
for damage in gone long-binary; do
  if [ "$damage" = gone ]; then
    wine reg delete "$SOURCE_KEY" /f >/dev/null 2>&1
  else
    wine reg add "$SOURCE_KEY" /v EventMessageFile /t REG_BINARY /d "$(printf '41%.0s' $(seq 1100))" /f >/dev/null 2>&1
  fi
  run_program 'C:\Program Files\Brovink\Brovink.com' /backup "$(winpath "$sets")"
  expect_status 0
  [ "$(client_value "regget \"$SOURCE_KEY\" EventMessageFile")" = 'expand:C:\Program Files\Brovink\Brovink.com' ] ||
    e2e_fail "source $damage: EventMessageFile $(client_value "regget \"$SOURCE_KEY\" EventMessageFile" | cut -c1-80)"
done

e2e_log "a package rebuilt with the same version replaces the installed one"
make_package 1.0.0 "$E2E_TMP/rebuilt"
msiexec_quiet /i "$(winpath "$E2E_TMP/rebuilt/Brovink.msi")"
[ "$(products)" = "1.0.0 Brovink" ] || e2e_fail "after the same version: $(products)"
expect_source "same version"

e2e_log "a higher version replaces the installed one"
newer="$E2E_TMP/newer"
make_package 1.0.1 "$newer"
msiexec_quiet /i "$(winpath "$newer/Brovink.msi")"
[ "$(products)" = "1.0.1 Brovink" ] || e2e_fail "after the upgrade: $(products)"
[ -f "$installed/Brovink.exe" ] && [ -f "$installed/Brovink.com" ] || e2e_fail "the upgrade removed a program"
[ "$(shortcuts | wc -l)" = 1 ] || e2e_fail "Start-menu shortcuts after the upgrade: $(shortcuts)"
expect_source "upgrade"

e2e_log "silent uninstall"
echo "von Hand" >"$installed/Notizen.txt"
msiexec_quiet /x "$(winpath "$newer/Brovink.msi")"
[ -z "$(products)" ] || e2e_fail "still installed: $(products)"
[ ! -e "$installed/Brovink.exe" ] && [ ! -e "$installed/Brovink.com" ] || e2e_fail "the programs are still there"
[ -z "$(shortcuts)" ] || e2e_fail "the shortcut is still there: $(shortcuts)"
client "nokey \"$SOURCE_KEY\"" >/dev/null
for hive in SOFTWARE SYSTEM SECURITY SAM; do
  expect_file "$installed/Sicherung/$hive"
  expect_file "$sets/$hive"
done
expect_file "$installed/Sicherung/ConsoleBackup.bat"
expect_file "$installed/Notizen.txt"
e2e_log "passed"
