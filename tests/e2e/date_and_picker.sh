#!/usr/bin/env bash
# The date check box gives back exactly what it took, also in a folder named with today's date
# (as "/backup /date" names them) and in one whose name holds the date among other words; a
# cancelled folder dialog changes neither the folder field nor "Wiederherstellen".
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
until_midnight=$(( $(date -d 'tomorrow 00:00' +%s) - $(date +%s) ))
if [ "$until_midnight" -lt 180 ]; then sleep $((until_midnight + 1)); fi
today=$(date +%m-%d-%Y)

for name in "sich/$today" "Sicherung $today vor Update"; do
  e2e_log "started in $name"
  mkdir -p "$work/$name"
  folder=$(winpath "$work/$name")
  start_program "$work/$name"
  client - <<SCRIPT
window 60000
expect 1003 text="$folder"
click 1007
expect 1003 text="$folder\\$today"
click 1007
expect 1003 text="$folder"
click 1008
exit 0
SCRIPT
  program_ended
done

e2e_log "a cancelled folder dialog"
set_folder="$work/set"
mkdir -p "$set_folder"
for hive in SOFTWARE SYSTEM SAM; do printf 'x' >"$set_folder/$hive"; done
start_program "$set_folder"
client window "expect 1006 enabled=1" "click 1004"
client - <<SCRIPT
window
picker "Bitte wählen Sie ein Verzeichnis aus." ok
SCRIPT
# The program writes the chosen folder into the field after the dialog has gone, so a look right
# after it can still see the old text (it did on a loaded machine): look until it changed, or 10 s.
for attempt in $(seq 1 50); do
  client window "save 1003 $(winpath "$E2E_TMP/chosen")" >/dev/null
  chosen=$(cat "$E2E_TMP/chosen")
  [ "$chosen" = "$(winpath "$set_folder")" ] || break
  sleep 0.2
done
[ -n "$chosen" ] && [ "$chosen" != "$(winpath "$set_folder")" ] || e2e_fail "the dialog chose \"$chosen\""
client window "expect 1006 enabled=0" "click 1004"
client - <<SCRIPT
window
picker "Bitte wählen Sie ein Verzeichnis aus." cancel
expect 1003 text="$chosen"
expect 1006 enabled=0
nobox
click 1008
exit 0
SCRIPT
program_ended
e2e_log "passed"
