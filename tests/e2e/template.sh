#!/usr/bin/env bash
# Makes the Wine prefix that every end-to-end test of this run copies: `wineboot -i` once, and a
# virtual desktop, inside which Wine draws the windows' captions and frames itself (Xvfb has no
# window manager to do it). Run by CTest as the fixture set-up; template.sh --remove is the clean-up.
set -euo pipefail
: "${E2E_TEMPLATE:?}"
export WINEPREFIX="$E2E_TEMPLATE" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C
unset DISPLAY

remove() {
  if [ -d "$E2E_TEMPLATE" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$E2E_TEMPLATE"
  fi
}

remove
[ "${1:-}" = "--remove" ] && exit 0

mkdir -p "$(dirname "$E2E_TEMPLATE")"
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The registry reaches system.reg and user.reg only when the server ends.
wineserver -w
[ -f "$E2E_TEMPLATE/system.reg" ] || { echo "wineboot made no prefix in $E2E_TEMPLATE" >&2; exit 1; }
echo "template prefix: $E2E_TEMPLATE"
