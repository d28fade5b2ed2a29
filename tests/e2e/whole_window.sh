#!/usr/bin/env bash
# The whole window in one session: the date check box adds and removes today's date folder, a
# backup creates that folder with a complete set, the folder dialog cancelled changes nothing, a
# restore declined changes nothing, a restore confirmed ends with the window
# open, and "Quit" ends the program with exit code 0.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
systemroot=$(wine_systemroot)
startup=$(wine_startup)
# Wine's clock is the machine's: the date folder is named month-day-year.
# A run that crosses midnight would see two dates: close to it, wait for the new day first.
until_midnight=$(( $(date -d 'tomorrow 00:00' +%s) - $(date +%s) ))
if [ "$until_midnight" -lt 180 ]; then sleep $((until_midnight + 1)); fi
today=$(date +%m-%d-%Y)
folder=$(winpath "$work")

start_program "$work"
client - <<SCRIPT
window 60000
expect 1003 text="$folder"
expect 1006 enabled=0
click 1007
expect 1007 checked=1
expect 1003 text="$folder\\$today"
expect 1006 enabled=0
click 1005
wait 1002 "Sicherung fertig" 120000
nobox
expect 1006 enabled=1
click 1007
expect 1007 checked=0
expect 1003 text="$folder"
# The current directory holds no backup set.
expect 1006 enabled=0
SCRIPT
dated="$work/$today"
listing=$(cd "$dated" && ls -1 | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "ConsoleBackup.bat SAM SECURITY SHA256SUMS SOFTWARE SYSTEM " ] ||
  e2e_fail "the date folder holds: $listing"
grep -qF "copy \"$folder\\$today\\SOFTWARE\" " "$dated/ConsoleBackup.bat" ||
  e2e_fail "ConsoleBackup.bat does not name the date folder"

# A set without SECURITY, copied into the current directory by hand, is enough for a restore.
cp "$dated/SOFTWARE" "$dated/SYSTEM" "$dated/SAM" "$work/"
client - <<SCRIPT
window
click 1004
picker "Bitte wählen Sie ein Verzeichnis aus." cancel
expect 1003 text="$folder"
# A cancelled dialog changes nothing; the date box, checked and unchecked, gives the folder back
# and looks at it again: it holds a set now.
expect 1006 enabled=0
click 1007
expect 1003 text="$folder\\$today"
click 1007
expect 1003 text="$folder"
expect 1006 enabled=1
click 1006
SCRIPT
e2e_screenshot restore_question screen
client - <<SCRIPT
window
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no no
expect 1002 text="Sicherung fertig"
nobox
SCRIPT
config=$(unixpath "$systemroot\\System32\\config")
dellog="$(unixpath "$startup")/dellog.bat"
expect_no_file "$dellog"
expect_no_file "$config/SOFTWARE.TMP"

client - <<SCRIPT
window
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
box "Fertig" "Die Wiederherstellung ist abgeschlossen, soll der Rechner jetzt neu gestartet werden?" yes,no* no
expect 1002 text="Wiederherstellung fertig"
expect 1006 enabled=1
nobox
SCRIPT
e2e_screenshot whole_window
expect_same "$work/SOFTWARE" "$config/SOFTWARE.TMP"
expect_same "$work/SYSTEM" "$config/SYSTEM.tmp"
expect_same "$work/SAM" "$config/SAM.tmp"
expect_no_file "$config/SECURITY.tmp"
[ "$(grep -c 'tmp.log' "$dellog")" = 6 ] || e2e_fail "dellog.bat does not name exactly three hives"

client window "click 1008" "exit 0"
program_ended
e2e_log "passed"
