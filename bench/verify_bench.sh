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

# The set: Brovink.exe's own backup of the prefix with a SOFTWARE of the megabytes asked for.
source "$(dirname "$0")/bench_set.sh"
set="$E2E_TMP/set"
folder=$(winpath "$set")
bench_make_set "$set" "$megabytes"
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

# shellcheck disable=SC2086
{
  vm=$(bench_median $verify_ms); hm=$(bench_median $hash_ms)
  echo
  echo "Wine /verify of a set with a $((size / 1000000)) MB SOFTWARE, $runs rounds, alternating"
  printf '%-52s %12s\n' "" "median ms"
  printf '%-52s %12s\n' "Brovink.exe /verify" "$vm"
  printf '%-52s %12s\n' "read once and hash with CNG (brovink_savetime)" "$hm"
  printf '%-52s %12s\n' "/verify / read and hash" "$(awk -v a="$vm" -v b="$hm" 'BEGIN { printf "%.2f", a / b }')"
}
