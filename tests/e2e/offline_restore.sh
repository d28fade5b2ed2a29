#!/usr/bin/env bash
# The offline restore as from the recovery environment: a fake installation that no longer starts
# (E:, with machine hives, a user profile and transaction logs) and a set made on the prefix's C:
# and kept on F:, so the drive changes between backup and restore. Rows: the prefix's own Windows
# refused; two Windows folders found and listed; a set that fails its check; a user hive that the
# last run did not write (named by the script, not by SHA256SUMS), refused by /verify too; a copy that fails
# while staging; a sound set, every hive replaced and its logs moved aside, then Rueckgaengig.bat
# run by Wine's cmd puts the tree back byte for byte; a missing profile folder skips that hive; a
# profile "Jörg" with a log named with "%OS%": replaced, and the undo script, which cmd reads in the
# OEM code page (437), puts it back byte for byte (its set file read-only, its new hive not); a profile "Jørgen" (no "ø" in 437) refused; a set
# whose lock file another program holds refused; a file "SYSTEM.LŌG", which Wine's ANSI listing
# best-fits to a log's name, refused.
source "$(dirname "$0")/lib.sh"
e2e_begin

tree="$E2E_TMP/offline"
sets="$E2E_TMP/sets"
config="$tree/Windows/System32/config"
profile="$tree/Users/u1"
mkdir -p "$config" "$profile" "$sets"
ln -s "$tree" "$WINEPREFIX/dosdevices/e:"
ln -s "$sets" "$WINEPREFIX/dosdevices/f:"
for hive in SOFTWARE SYSTEM SECURITY SAM; do printf 'old %s' "$hive" >"$config/$hive"; done
printf 'log1' >"$config/SYSTEM.LOG1"
printf 'log2' >"$config/SYSTEM.LOG2"
printf 'log' >"$config/SOFTWARE.LOG"
printf 'blf' >"$config/SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TM.blf"
printf 'tm' >"$config/SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TMContainer00000000000000000001.regtrans-ms"
printf 'other' >"$config/netlogon.ftl"
printf 'old user' >"$profile/NTUSER.DAT"
printf 'user log' >"$profile/ntuser.dat.LOG1"

# Every file and folder of the installation with its bytes, the run's Brovink-* folders left out.
tree_state() { (cd "$tree" && find . -path '*/Brovink-*' -prune -o -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum; find . -path '*/Brovink-*' -prune -o -type d -print | LC_ALL=C sort); }
expect_tree() { [ "$(tree_state)" = "$1" ] || e2e_fail "the installation changed: $(diff <(echo "$1") <(tree_state))"; }

e2e_log "a set made on C: and kept on F:"
run_unattended /backup 'F:\set'
expect_status 0
sid=s-1-5-21-0-0-0-1000
cp "$sets/set/SOFTWARE" "$sets/set/$sid"
printf 'copy "F:\\set\\%s" "c:\\users\\u1\\NTUSER.DAT"\r\n' "$sid" >>"$sets/set/ConsoleBackup.bat"
grep -q 'C:\\windows\\System32\\config' "$sets/set/ConsoleBackup.bat" || e2e_fail "the set was not made on C:"
# The set's fingerprint, made anew for the user hive added by hand (Wine lists no user hives).
refresh_sums() {
  (cd "$1" && for f in *; do
    [ "$f" = SHA256SUMS ] || printf '%s  %s\r\n' "$(sha256sum "$f" | cut -c1-64)" "$f"
  done) >"$E2E_TMP/sums" && mv "$E2E_TMP/sums" "$1/SHA256SUMS"
}
refresh_sums "$sets/set"
before=$(tree_state)

e2e_log "the prefix's own Windows is refused"
run_unattended /restore 'F:\set' /offline 'C:\windows'
expect_status 2
expect_output "ist das laufende Windows"
expect_tree "$before"

e2e_log "two Windows folders found: listed, refused"
mkdir -p "$sets/Windows/System32/config" && printf 'x' >"$sets/Windows/System32/config/SYSTEM"
run_unattended /restore 'F:\set' /offline
expect_status 2
expect_output "Mehrere Windows-Ordner gefunden"
expect_output "  E:\\Windows"
expect_output "  F:\\Windows"
rm -r "$sets/Windows"
expect_tree "$before"

e2e_log "a set that fails its check changes nothing"
cp -a "$sets/set" "$sets/bad"
sed -i 's/F:\\set/F:\\bad/' "$sets/bad/ConsoleBackup.bat"
: >"$sets/bad/SYSTEM"
run_unattended /restore 'F:\bad' /offline
expect_status 1
expect_output "F:\\bad\\SYSTEM ist leer"
expect_output "nichts geändert"
expect_tree "$before"

e2e_log "a user hive the last run did not write (the script names it, SHA256SUMS not): /verify and the restore refuse it"
cp -a "$sets/set" "$sets/stale"
sed -i 's/F:\\set/F:\\stale/' "$sets/stale/ConsoleBackup.bat"
refresh_sums "$sets/stale"
sed -i "/  $sid\r\$/d" "$sets/stale/SHA256SUMS"
grep -q "$sid" "$sets/stale/SHA256SUMS" && e2e_fail "the user hive is still listed"
run_unattended /verify 'F:\stale'
expect_status 1
expect_output "F:\\stale\\$sid wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)"
run_unattended /restore 'F:\stale' /offline
expect_status 1
expect_output "geprüft: F:\\stale\\$sid wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)"
expect_output "nichts geändert"
expect_tree "$before"

e2e_log "a copy that fails while staging changes nothing"
# The user hive's staged name is taken by a folder for every second of the next minute and a half
# (counted from one reading of the clock: a loop that reads it anew skips the second it crosses).
now=$(date +%s)
for s in $(seq 0 90); do mkdir -p "$profile/NTUSER.DAT.Brovink-$(date -d "@$((now + s))" +%m-%d-%Y-%H%M%S).tmp"; done
run_unattended /restore 'F:\set' /offline
expect_status 1
expect_output "bereitgelegt: E:\\Windows\\System32\\config\\SAM.Brovink-"
expect_output "ließ sich nicht nach E:\\users\\u1\\NTUSER.DAT.Brovink-"
expect_output "Nichts geändert."
rmdir "$profile"/NTUSER.DAT.Brovink-*.tmp
expect_tree "$before"
[ -z "$(find "$tree" -name 'Brovink-*')" ] || e2e_fail "the failed run left: $(find "$tree" -name 'Brovink-*')"

e2e_log "a sound set: everything replaced, the old files aside, the undo script puts them back"
run_unattended /restore 'F:\set' /offline
expect_status 0
expect_output "Ziel: E:\\Windows"
expect_output "ersetzt: E:\\users\\u1\\NTUSER.DAT"
expect_output "Wiederherstellung fertig: 5 Hive(s) in E:\\Windows ersetzt."
for hive in SOFTWARE SYSTEM SECURITY SAM; do expect_same "$sets/set/$hive" "$config/$hive"; done
expect_same "$sets/set/$sid" "$profile/NTUSER.DAT"
aside=$(cd "$config" && ls -d Brovink-*)
[ "$(cd "$config/$aside" && ls | LC_ALL=C sort | tr '\n' ' ')" = "Rueckgaengig.bat SAM SECURITY SOFTWARE SOFTWARE.LOG SYSTEM SYSTEM.LOG1 SYSTEM.LOG2 SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TM.blf SYSTEM{016888bd-6c6f-11de-8d1d-001e0bcde3ec}.TMContainer00000000000000000001.regtrans-ms " ] ||
  e2e_fail "aside: $(ls "$config/$aside")"
expect_bytes "$config/$aside/SYSTEM.LOG1" "log1"
expect_bytes "$profile/$aside/NTUSER.DAT" "old user"
expect_bytes "$profile/$aside/ntuser.dat.LOG1" "user log"
expect_no_file "$profile/ntuser.dat.LOG1"
expect_no_file "$config/SYSTEM.LOG1"
# A start of the restored Windows wrote a log of the new SOFTWARE that the old one did not have.
printf 'new log' >"$config/SOFTWARE.LOG1"
wine cmd /c "E:\\Windows\\System32\\config\\$aside\\Rueckgaengig.bat" >"$E2E_TMP/undo.txt" 2>&1 || true
expect_tree "$before"

e2e_log "a missing profile folder: that hive skipped, the rest replaced"
sleep 1  # a run of its own second, so a folder of its own
cp "$sets/set/SAM" "$sets/set/s-1-5-21-0-0-0-1001"
printf 'copy "F:\\set\\s-1-5-21-0-0-0-1001" "c:\\users\\weg\\NTUSER.DAT"\r\n' >>"$sets/set/ConsoleBackup.bat"
refresh_sums "$sets/set"
run_unattended /restore 'F:\set' /offline 'E:\Windows'
expect_status 0
expect_output "übersprungen: F:\\set\\s-1-5-21-0-0-0-1001 (der Ordner E:\\users\\weg fehlt)"
expect_output "Wiederherstellung fertig: 5 Hive(s)"
expect_same "$sets/set/SAM" "$config/SAM"
[ ! -e "$tree/Users/weg" ] || e2e_fail "a profile folder was made"

e2e_log "a set another run holds: refused, nothing changed"
: >"$sets/set/~brovink.lock"
before=$(tree_state)
# Another program holds the lock file for ten seconds (its client log of its own).
wine "$CLIENT_EXE" 'hold F:\set\~brovink.lock' 'nowindow 10000' >"$E2E_TMP/holder.log" 2>&1 &
holder=$!
sleep 4
run_unattended /restore 'F:\set' /offline 'E:\Windows'
wait "$holder" || e2e_fail "the holder: $(cat "$E2E_TMP/holder.log")"
rm -f "$sets/set/~brovink.lock"
expect_status 2
expect_output "Wiederherstellung abgebrochen: Der Ordner F:\\set wird gerade von einer anderen Sicherung, Wiederherstellung oder Prüfung verwendet."
expect_tree "$before"

# Wine reads Unix file names in the locale's character set: the C locale has no "ö", C.UTF-8 has,
# and still gives the ANSI code page 1252 and the OEM code page 437.
export LC_ALL=C.UTF-8
e2e_log "a profile the undo script cannot spell (no ø in code page 437): refused, nothing changed"
mkdir -p "$tree/Users/Jørgen" && printf 'old Jørgen' >"$tree/Users/Jørgen/NTUSER.DAT"
before=$(tree_state)
cp -a "$sets/set" "$sets/odd"
sed -i 's/F:\\set/F:\\odd/' "$sets/odd/ConsoleBackup.bat"
cp "$sets/set/SAM" "$sets/odd/s-1-5-21-0-0-0-1003"
printf 'copy "F:\\odd\\s-1-5-21-0-0-0-1003" "c:\\users\\J\xf8rgen\\NTUSER.DAT"\r\n' >>"$sets/odd/ConsoleBackup.bat"
refresh_sums "$sets/odd"
run_unattended /restore 'F:\odd' /offline 'E:\Windows'
expect_status 2
expect_output "Abgebrochen: E:\\users\\J?rgen lässt sich in der Codepage 437 der Eingabeaufforderung nicht schreiben"
expect_tree "$before"
[ -z "$(find "$tree" -name '*Brovink-*' -newer "$sets/odd/SHA256SUMS")" ] || e2e_fail "the refused run left files"

e2e_log "a file that the ANSI listing names like a log (SYSTEM.LŌG as SYSTEM.LOG): refused, nothing changed"
printf 'not a log' >"$config/SYSTEM.LŌG"
before=$(tree_state)
run_unattended /restore 'F:\set' /offline 'E:\Windows'
expect_status 2
expect_output "Abgebrochen: E:\\Windows\\System32\\config\\SYSTEM.LOG lässt sich nicht genau benennen."
expect_tree "$before"
rm "$config/SYSTEM.LŌG"

e2e_log "a profile \"Jörg\" with a log named with %OS%: replaced, the undo script puts it back"
sleep 1  # a run of its own second, so a folder of its own
jorg="$tree/Users/Jörg"
mkdir -p "$jorg"
printf 'old Jörg' >"$jorg/NTUSER.DAT"
printf 'blf' >"$jorg/NTUSER.DAT{%%OS%%}.TM.blf"
cp "$sets/set/SYSTEM" "$sets/set/s-1-5-21-0-0-0-1002"
chmod a-w "$sets/set/s-1-5-21-0-0-0-1002"  # read-only, as from a CD: the hive put in place must not be
printf 'copy "F:\\set\\s-1-5-21-0-0-0-1002" "c:\\users\\J\xf6rg\\NTUSER.DAT"\r\n' >>"$sets/set/ConsoleBackup.bat"
refresh_sums "$sets/set"
before=$(tree_state)
run_unattended /restore 'F:\set' /offline 'E:\Windows'
expect_status 0
expect_output "ersetzt: E:\\users\\Jörg\\NTUSER.DAT"
expect_same "$sets/set/s-1-5-21-0-0-0-1002" "$jorg/NTUSER.DAT"
[ "$(stat -c %A "$jorg/NTUSER.DAT" | cut -c3)" = w ] || e2e_fail "the hive put in place is read-only"
expect_no_file "$jorg/NTUSER.DAT{%OS%}.TM.blf"
undo=$(grep -o 'Rückgängig mit .*' "$E2E_TMP/out.utf8" | sed 's/^Rückgängig mit //')
[ -n "$undo" ] || e2e_fail "no undo script named: $(cat "$E2E_TMP/out.utf8")"
wine cmd /c "$undo" >"$E2E_TMP/undo.txt" 2>&1 || true
expect_tree "$before"
e2e_log "passed"
