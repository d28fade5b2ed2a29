#!/usr/bin/env bash
# Restore from a damaged set: an empty SOFTWARE, a SYSTEM of random bytes and a SAM that holds only
# Wine's header line. One box names all three with their reasons, nothing is staged, no
# dellog.bat is written, and no restart is offered.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
: >"$work/SOFTWARE"
head -c 8192 /dev/urandom >"$work/SYSTEM"
printf 'WINE REGISTRY Version 2\n' >"$work/SAM"
folder=$(winpath "$work")
systemroot=$(wine_systemroot)
startup=$(wine_startup)
config=$(unixpath "$systemroot\\System32\\config")
listing() { if [ -d "$config" ]; then ls -1 "$config" | tr '\n' ' '; else echo "no folder"; fi; }
before=$(listing)

expect_restore_refused "$work" "Die Sicherung ist unbrauchbar, es wurde nichts wiederhergestellt:{CRLF}{CRLF}$folder\SOFTWARE ist leer{CRLF}$folder\SYSTEM ist keine Registry-Datei{CRLF}$folder\SAM ist abgeschnitten"

[ "$(listing)" = "$before" ] || e2e_fail "the configuration folder changed: $(listing)"
expect_no_file "$(unixpath "$startup")/dellog.bat"
e2e_log "passed"
