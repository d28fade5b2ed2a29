#!/usr/bin/env bash
# Backup over an earlier set, with hostile names in the loaded-hive list. The earlier SOFTWARE is
# held open by another process (the client), so its new file cannot take its place: the earlier
# file stays and the box names it. The list names the folder itself (an empty name), a file
# beside the folder (..\victim.txt), SOFTWARE with a trailing dot (which Windows takes for
# SOFTWARE), and a user hive that has no key under HKEY_USERS (whose earlier file must stay and
# whose key must not be created): each gets its box, and no file is touched for it.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
printf 'earlier SOFTWARE' >"$work/SOFTWARE"
printf 'earlier hive of 1001' >"$work/s-1-5-21-0-0-0-1001"
printf 'notes of the user' >"$work/notes.txt"
printf 'outside the folder' >"$E2E_TMP/victim.txt"
chmod 444 "$E2E_TMP/victim.txt"   # read-only for Wine
folder=$(winpath "$work")
device=$(wine_device_c)
list='HKLM\SYSTEM\CurrentControlSet\Control\hivelist'
# Added in the order in which Wine lists them (sorted by name).
client - <<SCRIPT >/dev/null
regset $list \REGISTRY\USER\\ "$device\users\a\NTUSER.DAT"
regset $list \REGISTRY\USER\..\victim.txt "$device\users\b\NTUSER.DAT"
regset $list \REGISTRY\USER\S-1-5-21-0-0-0-1001 "$device\users\c\NTUSER.DAT"
regset $list \REGISTRY\USER\SOFTWARE. "$device\users\d\NTUSER.DAT"
SCRIPT

start_program "$work"
client - <<SCRIPT
window 60000
hold $folder\SOFTWARE
click 1005
box "Fehler in RegSaveKey" "Fehlernummer:  5 in Datei $folder\SOFTWARE" ok* ok
box "Fehler in RegSaveKey" "Fehlernummer:  183 in Datei $folder\\" ok* ok
box "Fehler in RegSaveKey" "Fehlernummer:  183 in Datei $folder\..\victim.txt" ok* ok
box "Fehler in RegCreateKeyEx" "Fehlernummer:  2 in Datei $folder\s-1-5-21-0-0-0-1001" ok* ok
box "Fehler in RegSaveKey" "Fehlernummer:  183 in Datei $folder\software." ok* ok
wait 1002 "" 120000
stays 1000
expect 1002 text=""
nobox
click 1008
exit 0
SCRIPT
program_ended
e2e_screenshot after_backup screen >/dev/null

listing=$(cd "$work" && ls -1 | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "ConsoleBackup.bat SAM SECURITY SHA256SUMS SOFTWARE SYSTEM notes.txt s-1-5-21-0-0-0-1001 " ] ||
  e2e_fail "the backup folder holds: $listing"
expect_bytes "$work/SOFTWARE" "earlier SOFTWARE"
expect_bytes "$work/s-1-5-21-0-0-0-1001" "earlier hive of 1001"
expect_bytes "$work/notes.txt" "notes of the user"
expect_bytes "$E2E_TMP/victim.txt" "outside the folder"
[ "$(stat -c %a "$E2E_TMP/victim.txt")" = 444 ] || e2e_fail "victim.txt lost its read-only attribute"
for hive in SYSTEM SECURITY SAM; do expect_wine_hive "$work/$hive" "Machine\\$hive"; done
client "nokey HKU\\S-1-5-21-0-0-0-1001" >/dev/null
e2e_log "passed"
