#!/usr/bin/env bash
# While a backup shows the box of a hive that cannot be saved (the box has no owner, so the window
# stays usable), the date check box changes neither the folder field nor "Wiederherstellen", and a
# close request waits for the end of the run: the backup ends complete, then the program exits.
source "$(dirname "$0")/lib.sh"
e2e_begin

blocked="$E2E_TMP/blocked"
mkdir -p "$blocked/SOFTWARE"
touch "$blocked/SOFTWARE/kept" "$blocked/SYSTEM" "$blocked/SAM"
folder=$(winpath "$blocked")
start_program "$blocked"
client - <<SCRIPT
window 60000
expect 1006 enabled=1
click 1005
expect 1002 text="läuft... SOFTWARE"
expect 1007 enabled=1
click 1007
expect 1007 checked=0
expect 1003 text="$folder"
expect 1006 enabled=0
click 1007
expect 1007 checked=0
expect 1003 text="$folder"
expect 1006 enabled=0
sysclose
stays 1500
expect 1002 text="läuft... SOFTWARE"
box "Fehler in RegSaveKey" "Fehlernummer:  183 in Datei $folder\SOFTWARE" ok ok
exit 0
SCRIPT
program_ended
expect_file "$blocked/SOFTWARE/kept"
for hive in SYSTEM SECURITY SAM; do expect_wine_hive "$blocked/$hive" "Machine\\$hive"; done
[ "$(grep -c '^copy ' "$blocked/ConsoleBackup.bat")" = 4 ] ||
  e2e_fail "ConsoleBackup.bat lacks copy lines: $(cat "$blocked/ConsoleBackup.bat")"
e2e_log "passed"
