#!/usr/bin/env bash
# One run per backup folder, under Wine with the real program: two "/backup" runs started together
# into one folder, round after round, with a SOFTWARE of several MB and two user hives: no file
# ever holds another hive, and a run that exits 0 has left a whole, correct set (the other exits 2,
# or ran before or after it). A window run into a folder another run holds shows its box and
# changes nothing. A loaded-hive list entry of 300 characters gives exit code 1 and no retention;
# a read-only file in an old set leaves a renamed folder and a warning, the backup's exit code 0.
source "$(dirname "$0")/lib.sh"
e2e_begin

ROUNDS=${E2E_ROUNDS:-20}
folder="$E2E_TMP/sets/B"
mkdir -p "$folder"
wfolder=$(winpath "$folder")
today=$(date +%m-%d-%Y)
device=$(wine_device_c)
# Wine's HKEY_USERS holds two keys that can be saved as hives; keys made below it by a test cannot
# be opened again, so the user hives are these two.
users="$WINE_USER_SID .Default"

e2e_log "a SOFTWARE of several MB and the user hives in the loaded-hive list"
{
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrovinkE2E]\r\n'
  payload=$(head -c 3000 /dev/zero | tr '\0' 'x')
  for i in $(seq 1 1500); do printf '"Wert%d"="%s"\r\n' "$i" "$payload"; done
} >"$E2E_TMP/big.reg"
wine regedit /s "$(winpath "$E2E_TMP/big.reg")" >/dev/null 2>&1 || e2e_fail "regedit import"
[ "$(client_value 'regget HKLM\SOFTWARE\BrovinkE2E Wert1500')" = "$payload" ] || e2e_fail "SOFTWARE was not filled"
{
  for user in $users; do
    echo "regset HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist \\REGISTRY\\USER\\$user \"$device\\users\\$user\\NTUSER.DAT\""
  done
} | client - >/dev/null

# The set in DIR is whole and each file holds its own hive: the machine hives and every user hive,
# nothing else but the script and the fingerprint, which matches every file.
expect_whole_set() {
  local dir=$1 hive user name
  for hive in SOFTWARE SYSTEM SECURITY SAM; do expect_wine_hive "$dir/$hive" "Machine\\$hive"; done
  for user in $users; do
    name=${user,,}
    expect_wine_hive "$dir/$name" "User\\$name"
  done
  expect_file "$dir/ConsoleBackup.bat"
  expect_file "$dir/SHA256SUMS"
  (cd "$dir" && sha256sum -c --quiet SHA256SUMS >/dev/null) || e2e_fail "$dir does not match its SHA256SUMS"
  local count
  count=$(find "$dir" -mindepth 1 | wc -l)
  [ "$count" = 8 ] || e2e_fail "$dir holds $count entries: $(ls -A "$dir" | tr '\n' ' ')"
}

# Every hive file in DIR holds its own hive, whatever else is there.
expect_no_swapped_hive() {
  local dir=$1 file
  for file in "$dir"/*; do
    local name=${file##*/}
    case "$name" in
      SOFTWARE | SYSTEM | SECURITY | SAM) expect_wine_hive "$file" "Machine\\$name" ;;
      ConsoleBackup.bat | SHA256SUMS) ;;
      *) expect_wine_hive "$file" "User\\$name" ;;
    esac
  done
}

e2e_log "two backups started together into one folder, $ROUNDS rounds"
zeros=0
refusals=0
for round in $(seq 1 "$ROUNDS"); do
  (WINEDEBUG=-all exec wine "$BROVINK_EXE" /backup "$wfolder") >"$E2E_TMP/a.txt" 2>"$E2E_TMP/a.err" &
  first=$!
  sleep "0.0$((RANDOM % 5))"
  (WINEDEBUG=-all exec wine "$BROVINK_EXE" /backup "$wfolder") >"$E2E_TMP/b.txt" 2>"$E2E_TMP/b.err" &
  second=$!
  a=0 b=0
  wait "$first" || a=$?
  wait "$second" || b=$?
  for status in $a $b; do
    case "$status" in
      0) zeros=$((zeros + 1)) ;;
      2) refusals=$((refusals + 1)) ;;
      *) e2e_fail "round $round: exit codes $a and $b: $(cat "$E2E_TMP/a.txt" "$E2E_TMP/b.txt")
--- what Wine said: $(cat "$E2E_TMP/a.err" "$E2E_TMP/b.err")" ;;
    esac
  done
  [ "$a" = 0 ] || [ "$b" = 0 ] || e2e_fail "round $round: neither run made the set ($a, $b)"
  expect_whole_set "$folder"
  for out in a b; do
    if grep -q "anderen Sicherung" "$E2E_TMP/$out.txt"; then
      grep -qF "Sicherung abgebrochen: Der Ordner $wfolder wird gerade" "$E2E_TMP/$out.txt" ||
        e2e_fail "round $round: $(cat "$E2E_TMP/$out.txt")"
    fi
  done
done
e2e_log "$zeros runs made the set, $refusals found the folder in use"

e2e_log "a window run while another run holds the folder: its box, nothing changed"
before=$(cd "$folder" && md5sum ./* | sort)
: >"$folder/~brovink.lock"
start_program "$folder"
client - <<SCRIPT
hold $wfolder\\~brovink.lock
window 60000
click 1005
box "Ordner wird verwendet" "Der Ordner $wfolder wird gerade von einer anderen Sicherung, Wiederherstellung oder Prüfung verwendet. Es wurde nichts geändert." ok* ok
stays 1000
expect 1005 enabled=1
click 1008
exit 0
SCRIPT
program_ended
rm -f "$folder/~brovink.lock"
[ "$(cd "$folder" && md5sum ./* | sort)" = "$before" ] || e2e_fail "the refused window run changed the folder"

e2e_log "a window backup and an unattended one started together"
start_program "$folder"
client "window 60000" >/dev/null
(WINEDEBUG=-all exec wine "$BROVINK_EXE" /backup "$wfolder") >"$E2E_TMP/a.txt" 2>/dev/null &
unattended=$!
# Not through client(): a box instead of the status text ends this script early, which is no failure.
wine "$CLIENT_EXE" - <<SCRIPT >"$E2E_TMP/window.txt" 2>&1 || true
window 60000
click 1005
wait 1002 "Sicherung fertig" 120000
click 1008
exit 0
SCRIPT
status=0
wait "$unattended" || status=$?
if ! grep -q '^ok   wait 1002' "$E2E_TMP/window.txt"; then
  # The window found the folder in use: its box, then Quit.
  client - <<SCRIPT >/dev/null
window 60000
box "Ordner wird verwendet" "Der Ordner $wfolder wird gerade von einer anderen Sicherung, Wiederherstellung oder Prüfung verwendet. Es wurde nichts geändert." ok* ok
stays 1000
click 1008
exit 0
SCRIPT
  [ "$status" = 0 ] || e2e_fail "the window was refused and the unattended run gave $status"
fi
program_ended
[ "$status" = 0 ] || [ "$status" = 2 ] || e2e_fail "the unattended run gave $status"
expect_whole_set "$folder"

e2e_log "a hive-list entry of 300 characters: exit code 1, a warning naming it, no retention"
sets="$E2E_TMP/sets"
mkdir -p "$sets/01-01-2020"
cp -a "$folder/." "$sets/01-01-2020/"
long=$(head -c 280 /dev/zero | tr '\0' 'p')
entry="\\REGISTRY\\USER\\$WINE_USER_SID"
client "regset HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist $entry $device\\$long" >/dev/null
run_unattended /backup "$(winpath "$sets")" /date /keep 1
expect_status 1
expect_output "in Eintrag $entry der Liste geladener Hives"
expect_event "$WINE_USER_SID der Liste"
expect_wine_hive "$sets/$today/.default" "User\\.default"
[ ! -e "$sets/$today/${WINE_USER_SID,,}" ] || e2e_fail "a hive file for the unreadable entry"
[ -d "$sets/01-01-2020" ] || e2e_fail "retention ran after an incomplete backup"
client "regset HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist $entry $device\\users\\$WINE_USER_SID\\NTUSER.DAT" >/dev/null

e2e_log "a read-only file in an old set with /keep 1: renamed, warned, exit code 0"
mkdir -p "$sets/01-02-2020"
cp -a "$sets/$today/." "$sets/01-02-2020/"
rm -rf "$sets/01-01-2020"
chmod a-w "$sets/01-02-2020/SECURITY"
run_unattended /backup "$(winpath "$sets")" /date /keep 1
expect_status 0
expect_output "Alte Sicherung nicht vollständig entfernt"
expect_event "01-02-2020.wird-entfernt"
[ "$(ls "$sets/01-02-2020.wird-entfernt")" = SECURITY ] || e2e_fail "left: $(ls -A "$sets/01-02-2020.wird-entfernt")"
chmod u+w "$sets/01-02-2020.wird-entfernt/SECURITY"
run_unattended /backup "$(winpath "$sets")" /date /keep 1
expect_status 0
[ ! -e "$sets/01-02-2020.wird-entfernt" ] || e2e_fail "the next run left the renamed folder"
expect_no_swapped_hive "$sets/$today"
e2e_log "passed"
