#!/usr/bin/env bash
# The unattended mode: "Brovink.exe /backup FOLDER /date /keep 2" three times beside pre-made older
# dated sets leaves today's set and the newest older one, exit code 0 and never a window; a failed
# hive gives exit code 1, a warning in the event log and no retention; a command line or folder
# that cannot be used gives 2 and writes nothing; "/verify" on a sound and on a broken set.
source "$(dirname "$0")/lib.sh"
e2e_begin

sets="$E2E_TMP/sets"
mkdir -p "$sets/Archiv"
folder=$(winpath "$sets")
# Wine's local date is the machine's.
today=$(date +%m-%d-%Y)

listing() { (cd "$sets" && ls -1 | LC_ALL=C sort | tr '\n' ' '); }

e2e_log "first backup: today's set"
run_unattended /backup "$folder" /date /keep 2
expect_status 0
for hive in SOFTWARE SYSTEM SECURITY SAM; do expect_wine_hive "$sets/$today/$hive" "Machine\\$hive"; done
systemroot=$(client_value "getenv systemroot")
expect_bytes "$sets/$today/ConsoleBackup.bat" "$(console_script_head "$folder\\$today" "$systemroot")
"
expect_output "läuft... SOFTWARE"
expect_output "Sicherung fertig: $folder\\$today"
expect_event "Sicherung fertig"
# Run elevated (Wine's user is an administrator) without an installed source, the program registers
# itself as the source's message file.
source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Brovink'
[ "$(client_value "regget \"$source_key\" EventMessageFile")" = "expand:$(winpath "$BROVINK_EXE")" ] ||
  e2e_fail "EventMessageFile: $(client_value "regget \"$source_key\" EventMessageFile")"
[ "$(client_value "regget \"$source_key\" TypesSupported")" = "dword:7" ] || e2e_fail "TypesSupported is not 7"

e2e_log "older sets made from it, a dated folder with a foreign file, a folder of another name"
for old in 01-01-2020 01-02-2020 01-03-2020 01-04-2020; do cp -a "$sets/$today" "$sets/$old"; done
echo "meins" >"$sets/01-04-2020/notes.txt"
touch "$sets/readme.txt"

e2e_log "second and third backup: the newest two sets stay"
run_unattended -BACKUP "$folder" -Date -Keep 2
expect_status 0
expect_output "Alte Sicherung entfernt: $folder\\01-02-2020"
[ "$(listing)" = "01-03-2020 01-04-2020 $today Archiv readme.txt " ] || e2e_fail "after the second run: $(listing)"
run_unattended /backup "$folder" /date /keep 2
expect_status 0
[ "$(listing)" = "01-03-2020 01-04-2020 $today Archiv readme.txt " ] || e2e_fail "after the third run: $(listing)"
expect_file "$sets/01-04-2020/notes.txt"

e2e_log "a hive that cannot be saved: exit code 1, a warning, no retention"
mkdir "$sets/$today/SAM.x" && rm -f "$sets/$today/SAM" && mv "$sets/$today/SAM.x" "$sets/$today/SAM"
touch "$sets/$today/SAM/kept"
run_unattended /backup "$folder" /date /keep 1
expect_status 1
expect_output "Fehler in RegSaveKey: Fehlernummer:  183 in Datei $folder\\$today\\SAM"
expect_event "Fehlernummer:  183 in Datei"
[ "$(listing)" = "01-03-2020 01-04-2020 $today Archiv readme.txt " ] || e2e_fail "after a failed run: $(listing)"
rm -r "$sets/$today/SAM"

e2e_log "command lines and folders that cannot be used: exit code 2, nothing written"
run_unattended /backup
expect_status 2
run_unattended /backup "$folder" /keep 2
expect_status 2
run_unattended /backup "$(winpath "$E2E_TMP/missing/deeper")" /date
expect_status 2
[ ! -e "$E2E_TMP/missing" ] || e2e_fail "a refused run created a folder"
expect_event "nicht verwendbar"

e2e_log "/verify: a sound set and a broken one"
run_unattended /verify "$folder\\01-03-2020"
expect_status 0
expect_output "$folder\\01-03-2020\\SOFTWARE ist in Ordnung"
expect_output "Die Sicherung in $folder\\01-03-2020 ist in Ordnung."
: >"$sets/01-03-2020/SYSTEM"
rm "$sets/01-03-2020/SAM"
run_unattended /verify "$folder\\01-03-2020"
expect_status 1
expect_output "$folder\\01-03-2020\\SYSTEM ist leer"
expect_output "$folder\\01-03-2020\\SAM fehlt"
expect_output "ist unbrauchbar."
e2e_log "passed"
