#!/usr/bin/env bash
# Wine part of scripts/bench, on the end-to-end tests' harness (throw-away prefix, own display,
# automation client): the whole program's backup of the prefix's registry, timed from the click on
# "Sichern" to the end of the run, against brovink_savetime making only the save calls of the same
# hives into a folder. Each of BENCH_RUNS rounds gets fresh folders and a freshly started program;
# the two measurements alternate so that a slower moment of the machine hits both alike.
#
# Environment: E2E_WIN, E2E_TEMPLATE, E2E_OUT as for the end-to-end tests; BENCH_TIMER (the cross
# built brovink_savetime.exe); BENCH_RUNS (default 5).
source "$(dirname "$0")/../tests/e2e/lib.sh"
: "${BENCH_TIMER:?}"
runs=${BENCH_RUNS:-5}
e2e_begin

# Wine's loaded-hive list is empty: the current user's hive is added, as Windows would list it, so
# that the backup saves one user hive besides the four machine hives.
sid=S-1-5-21-0-0-0-1000
device=$(client_value "device c:")
client "regset HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist \\REGISTRY\\USER\\$sid \"$device\\users\\Benutzer\\NTUSER.DAT\"" >/dev/null
hives=(SOFTWARE SYSTEM SECURITY SAM "${sid,,}")
targets=()
for hive in SOFTWARE SYSTEM SECURITY SAM; do targets+=("HKEY_LOCAL_MACHINE\\$hive=$hive"); done
targets+=("HKEY_USERS\\$sid=${sid,,}")

timer() { wine "$BENCH_TIMER" "$@" | tr -d '\r'; }

program_ms=()
save_ms=()
for round in $(seq "$runs"); do
  folder="$E2E_TMP/program$round"
  mkdir -p "$folder"
  start_program "$folder"
  ms=$(timer backup) || e2e_fail "timing the program's backup"
  program_ms+=("$ms")
  client window "click 1008" "exit 0" >/dev/null
  program_ended

  saves="$E2E_TMP/saves$round"
  mkdir -p "$saves"
  ms=$(timer save "$(winpath "$saves")" "${targets[@]}") || e2e_fail "timing the save calls"
  save_ms+=("$ms")

  for hive in "${hives[@]}"; do
    expect_file "$folder/$hive"
    expect_file "$saves/$hive"
  done
  e2e_log "round $round: Brovink.exe ${program_ms[-1]} ms, save calls ${save_ms[-1]} ms"
done

fastest() { printf '%s\n' "$@" | sort -g | head -n1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
kilobytes=$(du -ck "${hives[@]/#/$E2E_TMP/saves1/}" | tail -n1 | cut -f1)
program_median=$(median "${program_ms[@]}")
save_median=$(median "${save_ms[@]}")

echo
echo "Wine backup of the prefix's registry: ${hives[*]} (${kilobytes} KB of hive files), $runs rounds"
printf '%-44s %12s %12s\n' "" "fastest ms" "median ms"
printf '%-44s %12s %12s\n' "Brovink.exe, click to \"Sicherung fertig\"" "$(fastest "${program_ms[@]}")" "$program_median"
printf '%-44s %12s %12s\n' "save calls only (brovink_savetime)" "$(fastest "${save_ms[@]}")" "$save_median"
printf '%-44s %25s\n' "Brovink.exe / save calls (medians)" "$(awk -v a="$program_median" -v b="$save_median" 'BEGIN { printf "%.2f", a / b }')"
