#!/usr/bin/env bash
# Runs the cross-built conformance suite under Wine, in a copy of the end-to-end tests' template
# prefix and on a display of its own (tests/e2e/lib.sh), with a fresh folder as current directory.
# The suite's exit code is the test's.
source "$(dirname "$0")/../e2e/lib.sh"
SUITE_EXE="$E2E_WIN/brovink_conformance.exe"
[ -f "$SUITE_EXE" ] || e2e_fail "missing $SUITE_EXE"
e2e_begin
# Windows-1252 letters in file names need a Unix locale that can spell them; the ANSI code page
# stays 1252.
export LC_ALL=C.UTF-8
mkdir -p "$E2E_TMP/work"
cd "$E2E_TMP/work"
status=0
wine "$SUITE_EXE" >"$E2E_TMP/suite.log" 2>&1 || status=$?
# Wine's console output ends lines with CR LF.
tr -d '\r' <"$E2E_TMP/suite.log"
exit "$status"
