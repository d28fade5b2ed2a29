#!/usr/bin/env bash
# Backup into an empty folder: the four machine hives as Wine's own registry calls save them,
# "ConsoleBackup.bat" with its five lines byte for byte, the window idle again with
# "Sicherung fertig". Then a backup in which one hive cannot be saved.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
systemroot=$(wine_systemroot)
# Wine has no Recovery Console policy key: the program only opens it and must not create it.
policy=$POLICY_KEY
client "nokey \"$policy\"" >/dev/null

start_program "$work"
client - <<SCRIPT
window 60000
expect 1006 enabled=0
click 1005
wait 1002 "Sicherung fertig" 120000
nobox
expect 1001 pos=0
expect 1004 enabled=1
expect 1005 enabled=1
expect 1006 enabled=1
expect 1008 enabled=1
save 1003 $(winpath "$E2E_TMP/folder")
SCRIPT
e2e_screenshot backup
client window "click 1008" "exit 0" "nokey \"$policy\""
program_ended

folder=$(cat "$E2E_TMP/folder")
[ "$folder" = "$(winpath "$work")" ] || e2e_fail "the folder field shows $folder"
listing=$(cd "$work" && ls -1 | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "ConsoleBackup.bat SAM SECURITY SHA256SUMS SOFTWARE SYSTEM " ] ||
  e2e_fail "the backup folder holds: $listing"
for hive in SOFTWARE SYSTEM SECURITY SAM; do
  expect_wine_hive "$work/$hive" "Machine\\$hive"
done
grep -qF '[Microsoft\\Windows NT\\CurrentVersion]' "$work/SOFTWARE" || e2e_fail "SOFTWARE lacks its keys"

expected="$(console_script_head "$folder" "$systemroot")
"
expect_bytes "$work/ConsoleBackup.bat" "$expected"

e2e_log "a hive that cannot be saved"
# A folder named SOFTWARE stands where the hive file would go. The run reports the failed save
# (183 is Wine's code for this) while its status line names the hive and its buttons are off,
# then goes on with the other hives.
blocked="$E2E_TMP/blocked"
mkdir -p "$blocked/SOFTWARE"
touch "$blocked/SOFTWARE/kept"
start_program "$blocked"
client - <<SCRIPT
window 60000
click 1005
expect 1002 text="läuft... SOFTWARE"
expect 1001 pos=1
expect 1004 enabled=0
expect 1005 enabled=0
expect 1006 enabled=0
expect 1008 enabled=0
expect 1007 enabled=1
box "Fehler in RegSaveKey" "Fehlernummer:  183 in Datei $(winpath "$blocked")\SOFTWARE" ok* ok
wait 1002 ""
stays 1000
expect 1002 text=""
expect 1005 enabled=1
expect 1008 enabled=1
click 1008
exit 0
SCRIPT
program_ended
expect_file "$blocked/SOFTWARE/kept"
for hive in SYSTEM SECURITY SAM; do expect_wine_hive "$blocked/$hive" "Machine\\$hive"; done
[ "$(grep -c '^copy ' "$blocked/ConsoleBackup.bat")" = 4 ] ||
  e2e_fail "ConsoleBackup.bat lacks a copy line, also the failed hive gets one"
e2e_log "passed"
