#!/usr/bin/env bash
# The restore stages whole or not at all, one restore at a time, and keeps the way back:
# - a set whose SOFTWARE vanished after the button was enabled is refused at the click, and the
#   user's own dellog.bat stays as it was;
# - a staged name held open by another program: the CopyFile box, the copies made before it are
#   removed, nothing else happens (no "fertig", no restart question); while the box is open the
#   window refuses the end of the session;
# - an existing SOFTWARE.bak is kept under a dated name; the restart question's default is No;
# - a second restore (of a set without SECURITY) before the restart is refused, the staged copies
#   of the first stay as they were.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
until_midnight=$(( $(date -d 'tomorrow 00:00' +%s) - $(date +%s) ))
if [ "$until_midnight" -lt 180 ]; then sleep $((until_midnight + 1)); fi
today=$(date +%m-%d-%Y)
systemroot=$(wine_systemroot)
startup=$(wine_startup)
config=$(unixpath "$systemroot\\System32\\config")
configwin="$systemroot\\System32\\config"
dellog="$(unixpath "$startup")/dellog.bat"
mkdir -p "$work/A" "$work/B" "$(dirname "$dellog")"
folder_a=$(winpath "$work/A")

e2e_log "making set A"
start_program "$work/A"
client window "click 1005" 'wait 1002 "Sicherung fertig" 120000' "nobox" "click 1008" "exit 0"
program_ended
cp "$work/A/SOFTWARE" "$work/A/SYSTEM" "$work/A/SAM" "$work/A/ConsoleBackup.bat" "$work/B/"
printf 'the user'"'"'s own\r\n' >"$dellog"

e2e_log "a set that lost SOFTWARE after the button was enabled"
start_program "$work/A"
client window "expect 1006 enabled=1"
mv "$work/A/SOFTWARE" "$work/SOFTWARE.away"
listing() { if [ -d "$config" ]; then ls -1 "$config" | tr '\n' ' '; else echo "no folder"; fi; }
before=$(listing)
client - <<SCRIPT
window
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
box "Wiederherstellung abgebrochen" "Der Ordner „$folder_a“ enthält keine vollständige Sicherung (SOFTWARE, SYSTEM und SAM), es wurde nichts wiederhergestellt." ok* ok
nobox
expect 1002 text=""
expect 1006 enabled=0
expect 1005 enabled=1
SCRIPT
[ "$(listing)" = "$before" ] || e2e_fail "the configuration folder changed: $(listing)"
expect_bytes "$dellog" "the user's own"$'\r\n'
mv "$work/SOFTWARE.away" "$work/A/SOFTWARE"

e2e_log "a staged name held open by another program"
mkdir -p "$config"
printf 'held' >"$config/SAM.tmp"
client - <<SCRIPT
window
click 1007
click 1007
expect 1006 enabled=1
hold $configwin\\SAM.tmp read
queryend 1
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
# While the run's box is open, a log-off or shutdown is refused.
queryend 0
box "Fehler in CopyFile" "Fehlernummer:  32 in Datei $configwin\\SAM.tmp" ok* ok
nobox
expect 1002 text=""
expect 1001 pos=0
expect 1006 enabled=1
queryend 1
SCRIPT
e2e_screenshot held_copy
for staged in SOFTWARE.TMP SYSTEM.tmp SECURITY.tmp; do expect_no_file "$config/$staged"; done
expect_bytes "$config/SAM.tmp" "held"
expect_bytes "$dellog" "the user's own"$'\r\n'
rm "$config/SAM.tmp"

e2e_log "restoring set A over a kept SOFTWARE.bak"
printf 'way back' >"$config/SOFTWARE.bak"
client - <<SCRIPT
window
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
box "Fertig" "Die Wiederherstellung ist abgeschlossen, soll der Rechner jetzt neu gestartet werden?" yes,no* no
expect 1002 text="Wiederherstellung fertig"
nobox
SCRIPT
expect_no_file "$config/SOFTWARE.bak"
expect_bytes "$config/SOFTWARE.bak-$today-1" "way back"
expect_same "$work/A/SOFTWARE" "$config/SOFTWARE.TMP"
expect_same "$work/A/SECURITY" "$config/SECURITY.tmp"
script_a=$(od -c "$dellog")

e2e_log "a second restore before the restart"
client "window" "click 1008" "exit 0"
program_ended
expect_restore_refused "$work/B" "Eine frühere Wiederherstellung wartet noch auf den Neustart des Rechners. Starten Sie den Rechner bitte zuerst neu; es wurde nichts geändert."
expect_same "$work/A/SOFTWARE" "$config/SOFTWARE.TMP"
expect_same "$work/A/SECURITY" "$config/SECURITY.tmp"
[ "$(od -c "$dellog")" = "$script_a" ] || e2e_fail "dellog.bat was rewritten"
e2e_log "passed"
