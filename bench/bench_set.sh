#!/usr/bin/env bash
# The set and the timer of the Wine benchmarks of a check (verify_bench.sh, offline_bench.sh), sourced after
# tests/e2e/lib.sh and e2e_begin: Brovink.exe's own backup of the prefix into the Unix folder $1,
# whose SOFTWARE (Wine's text form) then gets keys of 1,000-character values appended until it
# holds $2 megabytes; SHA256SUMS made anew.
# brovink_savetime.exe under this test's Wine; `timed` runs a program under it: the child's output
# passes through the timer's, whose last line is the time and the exit code.
timer() { wine "$BENCH_TIMER" "$@" | tr -d '\r'; }
timed() { timer run "$@" | tail -n1; }

bench_make_set() {
  local set=$1 megabytes=$2
  wine "$BROVINK_EXE" /backup "$(winpath "$set")" >/dev/null 2>&1 || e2e_fail "the backup for the set failed"
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
}

# The median of the numbers given.
bench_median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
