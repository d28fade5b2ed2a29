#!/usr/bin/env bash
# Backup with a user hive in the loaded-hive list (Wine's list is empty, so the test adds the
# current user's hive, with its file in device form on drive C): the hive is saved under its
# lower-case name and the script gets its copy line with a lower-case drive letter. With the
# Recovery Console policy key present, the backup sets "SetCommand" to 1.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
systemroot=$(wine_systemroot)
device=$(wine_device_c)
sid=$WINE_USER_SID
policy=$POLICY_KEY
client - <<SCRIPT
regset HKU\\$sid\\Environment BrovinkE2E "saved with the user hive"
regset HKLM\SYSTEM\CurrentControlSet\Control\hivelist \REGISTRY\USER\\$sid "$device\users\Benutzer\NTUSER.DAT"
regset "$policy" Present yes
SCRIPT

start_program "$work"
client - <<SCRIPT
window 60000
click 1005
wait 1002 "Sicherung fertig" 120000
nobox
expect 1001 pos=0
expect 1006 enabled=1
save 1003 $(winpath "$E2E_TMP/folder")
click 1008
exit 0
SCRIPT
program_ended
folder=$(cat "$E2E_TMP/folder")
[ "$(client_value "regget \"$policy\" SetCommand")" = "dword:1" ] || e2e_fail "SetCommand is not 1"

hive=${sid,,}
listing=$(cd "$work" && ls -1 | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "ConsoleBackup.bat SAM SECURITY SHA256SUMS SOFTWARE SYSTEM $hive " ] ||
  e2e_fail "the backup folder holds: $listing"
expect_wine_hive "$work/$hive" "User\\$sid"
grep -qF '"BrovinkE2E"="saved with the user hive"' "$work/$hive" ||
  e2e_fail "the user hive file lacks the user's values"

cr=$'\r'
expected="$(console_script_head "$folder" "$systemroot")
copy \"$folder\\$hive\" \"c:\\users\\Benutzer\\NTUSER.DAT\"$cr
"
expect_bytes "$work/ConsoleBackup.bat" "$expected"
e2e_log "passed"
