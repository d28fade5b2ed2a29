#!/usr/bin/env bash
# Wine part of scripts/bench for the offline restore: "Brovink.exe /restore <set> /offline <Windows>"
# of a set whose SOFTWARE is at least 100 MB into a fake installation on another drive letter,
# against "/verify" of the same set plus copying its files once (brovink_savetime copy): the check
# the restore must make and the copies it cannot do without. Each is timed by brovink_savetime run,
# from the start of its process to its end, in BENCH_RUNS rounds that alternate which goes first;
# the installation is put back between the rounds, outside the timing.
#
# Environment: E2E_WIN, E2E_TEMPLATE, E2E_OUT as for the end-to-end tests; BENCH_TIMER (the cross
# built brovink_savetime.exe); BENCH_RUNS (default 5); BENCH_SOFTWARE_MB (default 100).
source "$(dirname "$0")/../tests/e2e/lib.sh"
source "$(dirname "$0")/bench_set.sh"
: "${BENCH_TIMER:?}"
runs=${BENCH_RUNS:-5}
megabytes=${BENCH_SOFTWARE_MB:-100}
e2e_begin

set="$E2E_TMP/set"
folder=$(winpath "$set")
bench_make_set "$set" "$megabytes"
size=$(stat -c %s "$set/SOFTWARE")
e2e_log "SOFTWARE holds $size bytes"

# The installation that no longer starts, on E:, with its hives and their logs; a scratch folder on
# the same drive receives the plain copies.
tree="$E2E_TMP/offline"
config="$tree/Windows/System32/config"
scratch="$tree/copy"
mkdir -p "$config" "$scratch"
ln -s "$tree" "$WINEPREFIX/dosdevices/e:"
reset_tree() {
  rm -rf "$config" "$scratch"/*
  mkdir -p "$config"
  for hive in SOFTWARE SYSTEM SECURITY SAM; do printf 'old %s' "$hive" >"$config/$hive"; done
  for log in SOFTWARE.LOG1 SOFTWARE.LOG2 SYSTEM.LOG1 SYSTEM.LOG2; do printf 'log' >"$config/$log"; done
}
reset_tree
result=$(timed "$BROVINK_EXE" /restore "$folder" /offline 'E:\Windows')
[ "${result#* }" = 0 ] || e2e_fail "the offline restore does not take the set: $result"

files=()
for name in SOFTWARE SYSTEM SECURITY SAM ConsoleBackup.bat SHA256SUMS; do files+=("$folder\\$name"); done
offline_ms="" verify_ms="" copy_ms=""
for r in $(seq "$runs"); do
  reset_tree
  sync
  if [ $((r % 2)) -eq 1 ]; then
    o=$(timed "$BROVINK_EXE" /restore "$folder" /offline 'E:\Windows')
    v=$(timed "$BROVINK_EXE" /verify "$folder"); c=$(timed "$BENCH_TIMER" copy 'E:\copy' "${files[@]}")
  else
    v=$(timed "$BROVINK_EXE" /verify "$folder"); c=$(timed "$BENCH_TIMER" copy 'E:\copy' "${files[@]}")
    o=$(timed "$BROVINK_EXE" /restore "$folder" /offline 'E:\Windows')
  fi
  [ "${o#* }" = 0 ] && [ "${v#* }" = 0 ] && [ "${c#* }" = 0 ] || e2e_fail "round $r: offline $o, /verify $v, copy $c"
  offline_ms+="${o% *} " verify_ms+="${v% *} " copy_ms+="${c% *} "
  e2e_log "round $r: offline restore ${o% *} ms, /verify ${v% *} ms, copy ${c% *} ms"
done

# shellcheck disable=SC2086
{
  om=$(bench_median $offline_ms); vm=$(bench_median $verify_ms); cm=$(bench_median $copy_ms)
  echo
  echo "Wine offline restore of a set with a $((size / 1000000)) MB SOFTWARE, $runs rounds, alternating"
  printf '%-52s %12s\n' "" "median ms"
  printf '%-52s %12s\n' "Brovink.exe /restore ... /offline" "$om"
  printf '%-52s %12s\n' "Brovink.exe /verify" "$vm"
  printf '%-52s %12s\n' "copy the set's files once (brovink_savetime)" "$cm"
  printf '%-52s %12s\n' "offline / (verify + copy)" "$(awk -v o="$om" -v v="$vm" -v c="$cm" 'BEGIN { printf "%.2f", o / (v + c) }')"
}
