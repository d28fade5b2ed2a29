#!/usr/bin/env bash
# The fingerprint of a set: "/backup" writes SHA256SUMS, which coreutils' sha256sum -c accepts;
# "/verify" and the window's restore accept the sound set and refuse a copy with one byte of a hive
# changed, one with one byte of the script changed, one with a hive the last run did not write, and
# one whose list names a file outside the set, one whose SYSTEM has a second line shorter than
# Wine's header (nothing is staged for a refused one); a set without
# SHA256SUMS is checked by structure alone. Backups into folders of 235 to 245 characters either write
# the whole set with its script and fingerprint or are refused before anything is written.
source "$(dirname "$0")/lib.sh"
e2e_begin

sets="$E2E_TMP/sets"
mkdir -p "$sets"

# The set in FOLDER passes coreutils' check and lists exactly the four hives and the script.
expect_fingerprint() {
  local folder=$1
  expect_file "$folder/SHA256SUMS"
  (cd "$folder" && sha256sum -c --strict SHA256SUMS >/dev/null) || e2e_fail "sha256sum -c refuses $folder/SHA256SUMS"
  grep -qvE $'^[0-9a-f]{64}  [^ ]+\r$' "$folder/SHA256SUMS" && e2e_fail "a line of $folder/SHA256SUMS is not hash, two blanks, name, CR LF"
  local names
  names=$(cut -c67- "$folder/SHA256SUMS" | tr -d '\r' | LC_ALL=C sort | tr '\n' ' ')
  [ "$names" = "ConsoleBackup.bat SAM SECURITY SOFTWARE SYSTEM " ] || e2e_fail "SHA256SUMS lists: $names"
}

e2e_log "a backup writes SHA256SUMS, which sha256sum -c and /verify accept"
good="$sets/good"
run_unattended /backup "$(winpath "$good")"
expect_status 0
expect_fingerprint "$good"
run_unattended /verify "$(winpath "$good")"
expect_status 0
expect_output "Jede Datei wurde mit SHA256SUMS verglichen."
expect_output "$(winpath "$good")\\ConsoleBackup.bat ist in Ordnung"

e2e_log "copies of it: one byte of a hive, one byte of the script, a hive the last run did not write"
for damage in hive script unwritten hostile shortline; do cp -a "$good" "$sets/$damage"; done
# One letter of a value name in SOFTWARE's text form changes case: the file keeps its form.
python3 - "$sets/hive/SOFTWARE" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
at = data.index(b'\n"', 200) + 2
while not chr(data[at]).isalpha():
    at += 1
data[at] ^= 0x20
open(path, 'wb').write(data)
PY
sed -i '1s/^Set/set/' "$sets/script/ConsoleBackup.bat"
# SHA256SUMS as a run whose save of SYSTEM failed writes it: the SYSTEM in the folder is older.
sed -i '/  SYSTEM\r$/d' "$sets/unwritten/SHA256SUMS"
grep -q SYSTEM "$sets/unwritten/SHA256SUMS" && e2e_fail "the SYSTEM line is still there"
# A line that names a file outside the set, with that file's true hash: the list is refused as a
# whole, never followed out of the folder.
printf 'outside the set' >"$sets/victim.txt"
printf '%s  ..\\victim.txt\r\n' "$(sha256sum "$sets/victim.txt" | cut -c1-64)" >>"$sets/hostile/SHA256SUMS"
# Wine's header line, then a line shorter than the second header line: a fault, never a crash of
# the check.
printf 'WINE REGISTRY Version 2\nx\n[] 1\n' >"$sets/shortline/SYSTEM"

declare -A file reason
file[hive]=SOFTWARE; reason[hive]="wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"
file[script]=ConsoleBackup.bat; reason[script]="wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)"
file[unwritten]=SYSTEM; reason[unwritten]="wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)"
file[hostile]=SHA256SUMS; reason[hostile]="ist beschädigt"
file[shortline]=SYSTEM; reason[shortline]="ist beschädigt"

systemroot=$(wine_systemroot)
startup=$(wine_startup)
config=$(unixpath "$systemroot\\System32\\config")
listing() { if [ -d "$config" ]; then ls -1 "$config" | tr '\n' ' '; else echo "no folder"; fi; }
for damage in hive script unwritten hostile shortline; do
  folder=$(winpath "$sets/$damage")
  e2e_log "$damage: /verify and the window's restore refuse it"
  run_unattended /verify "$folder"
  expect_status 1
  expect_output "$folder\\${file[$damage]} ${reason[$damage]}"
  expect_output "Die Sicherung in $folder ist unbrauchbar."

  before=$(listing)
  expect_restore_refused "$sets/$damage" "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:{CRLF}{CRLF}$folder\\${file[$damage]} ${reason[$damage]}"
  [ "$(listing)" = "$before" ] || e2e_fail "$damage: the configuration folder changed: $(listing)"
  expect_no_file "$(unixpath "$startup")/dellog.bat"
done

e2e_log "a set of an earlier version, without SHA256SUMS: checked by structure alone"
cp -a "$good" "$sets/older"
rm "$sets/older/SHA256SUMS"
run_unattended /verify "$(winpath "$sets/older")"
expect_status 0
expect_output "Keine SHA256SUMS (Sicherung einer älteren Version): nur der Aufbau der Dateien wurde geprüft."

e2e_log "folders of 235 to 245 characters: the whole set, or refused before anything is written"
base="$E2E_TMP/l"
mkdir -p "$base"
winbase=$(winpath "$base")
for length in $(seq 235 245); do
  name=$(printf '%*s' $((length - ${#winbase} - 1)) '' | tr ' ' 'x')
  folder="$winbase\\$name"
  [ ${#folder} = "$length" ] || e2e_fail "folder of ${#folder} characters, meant $length"
  run_unattended /backup "$folder"
  # ConsoleBackup.bat is the set's longest name: its path has length + 18 characters, and the
  # text file's open takes at most 255.
  if [ "$length" -le 237 ]; then
    expect_status 0
    for hive in SOFTWARE SYSTEM SECURITY SAM; do expect_wine_hive "$base/$name/$hive" "Machine\\$hive"; done
    expect_bytes "$base/$name/ConsoleBackup.bat" "$(console_script_head "$folder" "$systemroot")
"
    expect_fingerprint "$base/$name"
    expect_output "Sicherung fertig: $folder"
  else
    expect_status 2
    [ ! -e "$base/$name" ] || e2e_fail "a refused backup of $length characters wrote $(ls -A "$base/$name")"
    expect_output "Sicherung abgebrochen: Der Ordner $folder ist nicht verwendbar."
  fi
done
[ "$(ls -1 "$base" | wc -l)" = 3 ] || e2e_fail "expected three sets in $base: $(ls -1 "$base")"
e2e_log "passed"
