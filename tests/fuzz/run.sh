#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on a copy of its committed corpus, so that the source tree
# is never written. A crash, a sanitizer report or a broken property fails the test and leaves the
# input that caused it in ARTIFACTS (replay it: FUZZER ARTIFACTS/crash-...).
#   run.sh FUZZER CORPUS ARTIFACTS SECONDS
set -euo pipefail
fuzzer=$1 corpus=$2 artifacts=$3 seconds=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/brovink-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
[ -d "$corpus" ] && cp -R "$corpus/." "$work/"
mkdir -p "$artifacts"
# -timeout: a single input that runs this long counts as a hang; the limits keep CI's machine usable.
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work"
