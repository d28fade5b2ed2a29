#!/usr/bin/env bash
# Started in a folder whose name holds a character that code page 1252 lacks (U+0101), beside a folder "back" holding a backup set, which is what the
# best-fitted ANSI name would point at. The program says why it cannot use the folder, leaves the
# field empty, refuses a backup with an empty field, and touches neither folder.
source "$(dirname "$0")/lib.sh"
e2e_begin

odd="$E2E_TMP/bāck"
near="$E2E_TMP/back"
mkdir -p "$odd" "$near"
for hive in SOFTWARE SYSTEM SAM; do printf 'stale %s' "$hive" >"$near/$hive"; done
# Wine reads Unix file names in the locale's character set; the C locale has no "ā", C.UTF-8 has,
# and still gives the ANSI code page 1252.
LC_ALL=C.UTF-8 start_program "$odd"
client - <<SCRIPT
window 60000
box "Ordner nicht verwendbar" "Der Ordner „$(winpath "$E2E_TMP")\b?ck“ kann nicht verwendet werden, weil sein Name Zeichen enthält, die das Programm nicht verarbeiten kann. Bitte wählen Sie einen anderen Ordner." ok* ok
expect 1003 text=""
expect 1006 enabled=0
click 1007
expect 1003 text=""
click 1005
box "Kein Ordner gewählt" "Es ist kein Backup-/Wiederherstellungsordner gewählt. Bitte wählen Sie mit „>>“ einen Ordner aus." ok* ok
expect 1002 text=""
click 1008
exit 0
SCRIPT
program_ended
[ -z "$(ls -A "$odd")" ] || e2e_fail "the program wrote into $odd: $(ls -A "$odd")"
listing=$(cd "$near" && ls -1 | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "SAM SOFTWARE SYSTEM " ] || e2e_fail "back holds: $listing"
for hive in SOFTWARE SYSTEM SAM; do expect_bytes "$near/$hive" "stale $hive"; done
e2e_log "passed"
