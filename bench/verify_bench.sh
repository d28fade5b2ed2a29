#!/usr/bin/env bash
# Wine part of scripts/bench for the fingerprint: "Brovink.exe /verify" of a set whose SOFTWARE is at
# least 100 MB, against brovink_savetime reading the same files once and hashing them with CNG (the
# physical limit of a fingerprint check). Both are timed alike by brovink_savetime run, from the
# start of their process to its end, in BENCH_RUNS rounds that alternate which goes first.
#
# Environment: E2E_WIN, E2E_TEMPLATE, E2E_OUT as for the end-to-end tests; BENCH_TIMER (the cross
# built brovink_savetime.exe); BENCH_RUNS (default 5); BENCH_SOFTWARE_MB (default 100).
source "$(dirname "$0")/../tests/e2e/lib.sh"
: "${BENCH_TIMER:?}"
runs=${BENCH_RUNS:-5}
megabytes=${BENCH_SOFTWARE_MB:-100}
e2e_begin

timer() { wine "$BENCH_TIMER" "$@" | tr -d '\r'; }
# The child's output passes through the timer's; its last line is the time and the exit code.
timed() { timer run "$@" | tail -n1; }

# The set: Brovink.exe's own backup of the prefix, whose SOFTWARE (Wine's text form) then gets keys
# of 1,000-character values appended until it holds the megabytes asked for; SHA256SUMS anew.
set="$E2E_TMP/set"
folder=$(winpath "$set")
wine "$BROVINK_EXE" /backup "$folder" >/dev/null 2>&1 || e2e_fail "the backup for the set failed"
python3 - "$set/SOFTWARE" "$megabytes" <<'PY'
import sys
path, megabytes = sys.argv[1], int(sys.argv[2])
value = "x" * 1000
with open(path, "ab") as out:
    key = 0
    while out.tell() < megabytes * 1000 * 1000:
        block = "".join(f'\n[Bench\\\\Key{key + i:07d}] 1700000000\n#time=1d9000000000000\n"Wert"="{value}"\n'
                        for i in range(1000))
        out.write(block.encode("ascii"))
        key += 1000
PY
(cd "$set" && sha256sum SOFTWARE SYSTEM SECURITY SAM ConsoleBackup.bat | sed 's/$/\r/' >SHA256SUMS)
size=$(stat -c %s "$set/SOFTWARE")
e2e_log "SOFTWARE holds $size bytes"
result=$(timed "$BROVINK_EXE" /verify "$folder")
[ "${result#* }" = 0 ] || e2e_fail "/verify does not accept the set: $result"

files=()
for name in SOFTWARE SYSTEM SECURITY SAM ConsoleBackup.bat; do files+=("$folder\\$name"); done
verify_ms=""
hash_ms=""
for r in $(seq "$runs"); do
  if [ $((r % 2)) -eq 1 ]; then
    v=$(timed "$BROVINK_EXE" /verify "$folder"); h=$(timed "$BENCH_TIMER" hash "${files[@]}")
  else
    h=$(timed "$BENCH_TIMER" hash "${files[@]}"); v=$(timed "$BROVINK_EXE" /verify "$folder")
  fi
  [ "${v#* }" = 0 ] && [ "${h#* }" = 0 ] || e2e_fail "round $r: /verify $v, hash $h"
  verify_ms+="${v% *} "
  hash_ms+="${h% *} "
  e2e_log "round $r: /verify ${v% *} ms, read and hash ${h% *} ms"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# shellcheck disable=SC2086
{
  vm=$(median $verify_ms); hm=$(median $hash_ms)
  echo
  echo "Wine /verify of a set with a $((size / 1000000)) MB SOFTWARE, $runs rounds, alternating"
  printf '%-52s %12s\n' "" "median ms"
  printf '%-52s %12s\n' "Brovink.exe /verify" "$vm"
  printf '%-52s %12s\n' "read once and hash with CNG (brovink_savetime)" "$hm"
  printf '%-52s %12s\n' "/verify / read and hash" "$(awk -v a="$vm" -v b="$hm" 'BEGIN { printf "%.2f", a / b }')"
}
