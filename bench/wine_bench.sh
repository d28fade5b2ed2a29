#!/usr/bin/env bash
# Wine part of scripts/bench, on the end-to-end tests' harness (throw-away prefix, own display,
# automation client): the whole program's backup of the prefix's registry, timed from the click on
# "Sichern" to the end of the run, against brovink_savetime making only the save calls of the same
# hives into a folder. Each of BENCH_RUNS rounds gets fresh folders and a freshly started program;
# the two measurements alternate which goes first, so that a slower moment of the machine hits
# both alike. It is done twice: with one user hive, and with BENCH_USER_HIVES user hives, whose
# difference gives the cost of one more user hive.
#
# Environment: E2E_WIN, E2E_TEMPLATE, E2E_OUT as for the end-to-end tests; BENCH_TIMER (the cross
# built brovink_savetime.exe); BENCH_RUNS (default 5); BENCH_USER_HIVES (default 100).
source "$(dirname "$0")/../tests/e2e/lib.sh"
: "${BENCH_TIMER:?}"
runs=${BENCH_RUNS:-5}
many=${BENCH_USER_HIVES:-100}
e2e_begin

# Wine's loaded-hive list is empty: the current user's hive is added, as Windows would list it, so
# that the backup saves one user hive besides the four machine hives. For the larger rounds, more
# user hives are made under HKEY_USERS, each with one value, and listed the same way.
sid=S-1-5-21-0-0-0-1000
device=$(client_value "device c:")
hivelist='HKLM\SYSTEM\CurrentControlSet\Control\hivelist'
client "regset $hivelist \\REGISTRY\\USER\\$sid \"$device\\users\\Benutzer\\NTUSER.DAT\"" >/dev/null
extra_sids=()
for i in $(seq 2 "$many"); do extra_sids+=("S-1-5-21-0-0-1-$i"); done

timer() { wine "$BENCH_TIMER" "$@" | tr -d '\r'; }

# One round: the program's backup and the bare saves of the same hives, in the given order; sets
# ms_program and ms_save (no subshell, so that a failure ends the whole benchmark).
round() {
  local name=$1 first=$2 sids=("${@:3}") folder saves hive
  folder="$E2E_TMP/program-$name"
  saves="$E2E_TMP/saves-$name"
  mkdir -p "$folder" "$saves"
  local hives=(SOFTWARE SYSTEM SECURITY SAM) targets=()
  for hive in SOFTWARE SYSTEM SECURITY SAM; do targets+=("HKEY_LOCAL_MACHINE\\$hive=$hive"); done
  for hive in "${sids[@]}"; do
    hives+=("${hive,,}")
    targets+=("HKEY_USERS\\$hive=${hive,,}")
  done
  program() {
    start_program "$folder"
    ms_program=$(timer backup) || e2e_fail "timing the program's backup"
    client window "click 1008" "exit 0" >/dev/null
    program_ended
  }
  bare() { ms_save=$(timer save "$(winpath "$saves")" "${targets[@]}") || e2e_fail "timing the save calls"; }
  if [ "$first" = program ]; then program; bare; else bare; program; fi
  for hive in "${hives[@]}"; do
    expect_file "$folder/$hive"
    expect_file "$saves/$hive"
  done
}

fastest() { printf '%s\n' "$@" | sort -g | head -n1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# Rounds with one user hive, then with many; odd rounds start with the program, even ones with the
# bare saves.
declare -A program_ms save_ms
for size in one many; do
  if [ "$size" = many ]; then
    steps=()
    for extra in "${extra_sids[@]}"; do
      steps+=("regset HKU\\$extra Bench \"$extra\"")
      steps+=("regset $hivelist \\REGISTRY\\USER\\$extra \"$device\\users\\$extra\\NTUSER.DAT\"")
    done
    printf '%s\n' "${steps[@]}" | client - >/dev/null
  fi
  sids=("$sid")
  [ "$size" = one ] || sids+=("${extra_sids[@]}")
  for r in $(seq "$runs"); do
    first=program
    [ $((r % 2)) -eq 1 ] || first=saves
    round "$size$r" "$first" "${sids[@]}"
    program_ms[$size]+="$ms_program "
    save_ms[$size]+="$ms_save "
    e2e_log "$size user hive(s), round $r ($first first): Brovink.exe $ms_program ms, save calls $ms_save ms"
  done
done

# shellcheck disable=SC2086
{
  p1=$(median ${program_ms[one]}); s1=$(median ${save_ms[one]})
  pn=$(median ${program_ms[many]}); sn=$(median ${save_ms[many]})
  echo
  echo "Wine backup of the prefix's registry, $runs rounds each, the two measurements alternating"
  printf '%-52s %12s %12s\n' "" "fastest ms" "median ms"
  printf '%-52s %12s %12s\n' "Brovink.exe, 4 machine + 1 user hive" "$(fastest ${program_ms[one]})" "$p1"
  printf '%-52s %12s %12s\n' "save calls only, 4 machine + 1 user hive" "$(fastest ${save_ms[one]})" "$s1"
  printf '%-52s %12s %12s\n' "Brovink.exe, 4 machine + $many user hives" "$(fastest ${program_ms[many]})" "$pn"
  printf '%-52s %12s %12s\n' "save calls only, 4 machine + $many user hives" "$(fastest ${save_ms[many]})" "$sn"
  per_program=$(awk -v a="$pn" -v b="$p1" -v n="$many" 'BEGIN { printf "%.3f", (a - b) / (n - 1) }')
  per_save=$(awk -v a="$sn" -v b="$s1" -v n="$many" 'BEGIN { printf "%.3f", (a - b) / (n - 1) }')
  echo
  printf '%-52s %12s\n' "Brovink.exe / save calls, 1 user hive (medians)" "$(ratio "$p1" "$s1")"
  printf '%-52s %12s\n' "Brovink.exe / save calls, $many user hives (medians)" "$(ratio "$pn" "$sn")"
  printf '%-52s %12s\n' "ms per further user hive, Brovink.exe" "$per_program"
  printf '%-52s %12s\n' "ms per further user hive, save calls only" "$per_save"
  printf '%-52s %12s\n' "per further user hive, Brovink.exe / save calls" "$(ratio "$per_program" "$per_save")"
}
