#!/usr/bin/env bash
# The restart after a restore lets other programs save: Notepad holds unsaved text, the restore is
# confirmed and the restart accepted ("Nein" is the default button), and Notepad is still running
# afterwards, asking whether to save, where EWX_FORCE would have ended it.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
start_program "$work"
client window "click 1005" 'wait 1002 "Sicherung fertig" 120000' "nobox"

(exec wine notepad) >>"$E2E_TMP/notepad.log" 2>&1 &
notepad_pid=$!
client "typein \"Untitled - Notepad\" ungesichert"

client - <<SCRIPT
window
expect 1006 enabled=1
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
box "Fertig" "Die Wiederherstellung ist abgeschlossen, soll der Rechner jetzt neu gestartet werden?" yes,no* yes
SCRIPT
# Wine's ExitWindowsEx runs wineboot, which asks every window whether the session may end.
client 'shown "Untitled - Notepad" 5000' 'shown Notepad 0'
e2e_screenshot after_restart screen
kill -0 "$notepad_pid" 2>/dev/null || e2e_fail "Notepad was ended without a chance to save"
e2e_log "passed"
