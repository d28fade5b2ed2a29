# Harness of the end-to-end tests, sourced by each scenario: a throw-away Wine prefix (a copy of the
# run's template) and a virtual X display of the test's own, the real Brovink.exe and our automation
# client under that Wine, screenshots and checks of file bytes, and a clean-up that ends only what
# the test started.
#
# From CTest (tests/e2e/e2e.cmake): E2E_WIN (folder of Brovink.exe and brovink_client.exe),
# E2E_TEMPLATE (the template prefix made by template.sh), E2E_OUT (where the test leaves its
# screenshots and logs).
set -euo pipefail

: "${E2E_WIN:?}" "${E2E_TEMPLATE:?}" "${E2E_OUT:?}"
E2E_LIMIT=${E2E_LIMIT:-240}   # seconds; CTest's own timeout is a little longer

BROVINK_EXE="$E2E_WIN/Brovink.exe"
CLIENT_EXE="$E2E_WIN/brovink_client.exe"

# Wine: no Mono or Gecko installer, no debug chatter, and a C locale, which gives the ANSI code page
# 1252 that the program's texts are written in.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C

e2e_log() { printf '== %s\n' "$*"; }
e2e_fail() {
  printf 'FAILED: %s\n' "$*" >&2
  exit 1
}

# Everything this test starts, so that the clean-up ends exactly that.
E2E_XVFB_PID=""
E2E_PROGRAM_PID=""
E2E_WATCHDOG_PID=""

e2e_cleanup() {
  local status=$?
  set +e
  trap - EXIT
  trap '' TERM INT   # the clean-up itself runs to its end
  if [ -e "$E2E_TMP/timed-out" ]; then
    printf 'FAILED: the test ran longer than %s seconds\n' "$E2E_LIMIT" >&2
    status=124
  fi
  if [ "$status" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
    e2e_screenshot failure screen >/dev/null 2>&1 &&
      echo "screenshot at failure: $E2E_OUT/failure.png"
  fi
  if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  [ -n "$E2E_PROGRAM_PID" ] && wait "$E2E_PROGRAM_PID" 2>/dev/null
  [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
  if [ -n "$E2E_WATCHDOG_PID" ]; then
    kill "$E2E_WATCHDOG_PID" 2>/dev/null
    [ -s "$E2E_TMP/watchdog-sleep" ] && kill "$(cat "$E2E_TMP/watchdog-sleep")" 2>/dev/null
  fi
  if [ -s "$E2E_TMP/program.log" ]; then
    echo "--- program output"
    cat "$E2E_TMP/program.log"
  fi
  rm -rf "$E2E_TMP"
  exit "$status"
}

# After E2E_LIMIT seconds: ends the wine processes of this prefix, so that no step stays blocked,
# and then the test. Its sleep is a process of its own, ended by the clean-up.
e2e_start_watchdog() {
  local me=$$
  (
    sleep "$E2E_LIMIT" &
    echo $! >"$E2E_TMP/watchdog-sleep"
    wait $! || exit 0
    touch "$E2E_TMP/timed-out"
    wineserver -k
    kill -TERM "$me"
  ) >/dev/null 2>&1 &
  E2E_WATCHDOG_PID=$!
}

e2e_on_timeout() { exit 124; }

# A virtual display of our own: Xvfb picks a free number and tells it through the file descriptor,
# so tests that run side by side never meet.
e2e_start_display() {
  local number="$E2E_TMP/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  local tries=0
  while [ ! -s "$number" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "Xvfb ended: $(cat "$E2E_TMP/xvfb.log")"
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$number")"
}

# Sets up the test: its temporary folder, its copy of the template prefix, its display, its
# deadline. Call once, first.
e2e_begin() {
  [ -f "$BROVINK_EXE" ] || e2e_fail "missing $BROVINK_EXE"
  [ -f "$CLIENT_EXE" ] || e2e_fail "missing $CLIENT_EXE"
  [ -f "$E2E_TEMPLATE/system.reg" ] || e2e_fail "missing template prefix $E2E_TEMPLATE"
  mkdir -p "$E2E_OUT"
  rm -f "$E2E_OUT"/*.png
  # The real path: Wine shows the current directory without symbolic links.
  E2E_TMP=$(cd "$(mktemp -d "${TMPDIR:-/tmp}/brovink-e2e.XXXXXX")" && pwd -P)
  trap e2e_cleanup EXIT
  trap e2e_on_timeout TERM INT
  export WINEPREFIX="$E2E_TMP/prefix"
  e2e_start_watchdog
  cp -a "$E2E_TEMPLATE" "$WINEPREFIX"
  # Two wine processes started together while no wineserver runs race to start one, and the loser
  # can end with 1 before its program runs (seen on a loaded machine, with the program and the
  # client started together); a server that stays for the whole test keeps that race of Wine's out
  # of every step. The clean-up ends it.
  wineserver -p
  e2e_start_display
  e2e_log "prefix $WINEPREFIX, display $DISPLAY"
}

# Windows form of a Unix path: Wine's drive Z: is the Unix root.
winpath() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# Unix form of a Windows path on drive C: or Z:, with each name matched without regard to case as
# Windows does (C:\windows\System32 lies in drive_c/windows/system32).
unixpath() {
  local win=$1 base rest
  case "${win:0:2}" in
    [cC]:) base="$WINEPREFIX/drive_c" ;;
    [zZ]:) base="" ;;
    *) e2e_fail "no Unix form for $win" ;;
  esac
  rest="${win:3}"
  local path="$base" name match
  local IFS='\'
  for name in $rest; do
    [ -n "$name" ] || continue
    if [ -e "$path/$name" ]; then
      path="$path/$name"
    else
      match=$(find "${path:-/}" -mindepth 1 -maxdepth 1 -iname "$name" -print -quit 2>/dev/null)
      path=${match:-$path/$name}
    fi
  done
  printf '%s' "$path"
}

# The client under this test's Wine: each argument one step, or "-" and the steps on stdin.
client() {
  if ! wine "$CLIENT_EXE" "$@" >"$E2E_TMP/client.log" 2>&1; then
    cat "$E2E_TMP/client.log" >&2
    e2e_fail "automation client"
  fi
  cat "$E2E_TMP/client.log"
}

# A value that one step of the client wrote into a file: client_value 'STEP WITHOUT ITS FILE'.
client_value() {
  local file="$E2E_TMP/value"
  rm -f "$file"
  client "$1 $(winpath "$file")" >/dev/null
  cat "$file"
}

# The scenarios' common opening: their working folder, work="$E2E_TMP/work".
e2e_work() {
  work="$E2E_TMP/work"
  mkdir -p "$work"
}

# What the scenarios compare against in the prefix: Wine's current user under HKEY_USERS, the
# Recovery Console policy key, and (each asked from this test's Wine) the system root, the device
# of drive c: and the Startup folder that the registry names.
WINE_USER_SID=S-1-5-21-0-0-0-1000
POLICY_KEY='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Setup\RecoveryConsole'
wine_systemroot() { client_value "getenv systemroot"; }
wine_device_c() { client_value "device c:"; }
wine_startup() {
  client_value 'regget "HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" Startup'
}

# Starts Brovink.exe with FOLDER as its current directory and ARGS as its command line; the client
# then finds its window.
start_program() {
  local folder=$1
  shift
  [ -z "$E2E_PROGRAM_PID" ] || e2e_fail "the program of an earlier start is still running"
  (cd "$folder" && exec wine "$BROVINK_EXE" "$@") >>"$E2E_TMP/program.log" 2>&1 &
  E2E_PROGRAM_PID=$!
}

# Waits for the wine process of the program after the client saw it end.
program_ended() {
  local status=0
  wait "$E2E_PROGRAM_PID" || status=$?
  E2E_PROGRAM_PID=""
  [ "$status" -eq 0 ] || e2e_fail "wine reported exit status $status for the program"
}

# Runs Brovink.exe with ARGS while the client watches that no window appears. Its console output
# lands in out.utf8 (read back from the OEM code page that redirected output is written in, 437
# under LC_ALL=C), the event log's entries (Wine writes them to its debug channel "eventlog") in
# events.txt, its exit code in $status.
run_unattended() {
  (WINEDEBUG=-all,+eventlog exec wine "$BROVINK_EXE" "$@") >"$E2E_TMP/out.txt" 2>"$E2E_TMP/events.txt" &
  local program=$!
  client "nowindow 1500" >/dev/null
  status=0
  wait "$program" || status=$?
  read_output
}

# Runs PROGRAM with ARGS and waits for it; output and $status as with run_unattended.
run_program() {
  local program=$1
  shift
  status=0
  wine "$program" "$@" >"$E2E_TMP/out.txt" 2>"$E2E_TMP/events.txt" || status=$?
  read_output
}

read_output() { tr -d '\r' <"$E2E_TMP/out.txt" | iconv -f CP437 -t UTF-8 >"$E2E_TMP/out.utf8"; }
expect_status() {
  [ "$status" = "$1" ] ||
    e2e_fail "exit code $status, expected $1 ($(cat "$E2E_TMP/out.utf8")); Wine said: $(grep -v ':eventlog:' "$E2E_TMP/events.txt" 2>/dev/null | tail -n 5)"
}
expect_output() { grep -qF -- "$1" "$E2E_TMP/out.utf8" || e2e_fail "no line \"$1\" in: $(cat "$E2E_TMP/out.utf8")"; }
expect_event() { grep -qF -- "$1" "$E2E_TMP/events.txt" || e2e_fail "no event \"$1\" in: $(cat "$E2E_TMP/events.txt")"; }

# Starts the program in FOLDER, clicks "Wiederherstellen" and answers its question with Yes; expects
# the box "Wiederherstellung abgebrochen" with TEXT (the client's {CRLF} for a line break), then the
# window as before the click (empty status line, progress bar at 0, the buttons enabled), and
# closes it.
expect_restore_refused() {
  local folder=$1 text=$2
  start_program "$folder"
  client - <<SCRIPT
window 60000
expect 1006 enabled=1
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
box "Wiederherstellung abgebrochen" "$text" ok* ok
nobox
expect 1002 text=""
expect 1001 pos=0
expect 1005 enabled=1
expect 1006 enabled=1
expect 1008 enabled=1
click 1008
exit 0
SCRIPT
  program_ended
}

# Saves the main window as NAME.png with the test's output and prints where it is. The window's
# rectangle comes from the client; the picture is cut from the whole (virtual desktop) screen.
# With "screen" as the second argument the whole screen is kept (a box beside the window).
e2e_screenshot() {
  local name=$1 file="$E2E_OUT/$1.png" rect=""
  [ "${2:-}" = screen ] || rect=$(client_value rect 2>/dev/null) || rect=""
  if [ -n "$rect" ]; then
    import -display "$DISPLAY" -window root -crop "$rect" +repage "$file"
  else
    import -display "$DISPLAY" -window root "$file"
  fi
  echo "screenshot: $file"
}

# The first five lines of ConsoleBackup.bat for a backup folder (as the program shows it) and the
# system root, each ended by CR LF.
console_script_head() {
  local folder=$1 systemroot=$2 cr=$'\r' hive
  printf 'Set allowallpaths = true%s\n' "$cr"
  for hive in SOFTWARE SYSTEM SECURITY SAM; do
    printf 'copy "%s\\%s" %s\\System32\\config\\%s\n' "$folder" "$hive" "$systemroot" "$cr"
  done
}

# Compares a file's bytes with the expected bytes; on a difference shows both, byte for byte.
expect_bytes() {
  local file=$1 expected=$2
  [ -f "$file" ] || e2e_fail "missing file $file"
  if ! printf '%s' "$expected" | cmp -s - "$file"; then
    echo "--- expected bytes of $file" >&2
    printf '%s' "$expected" | od -c >&2
    echo "--- actual bytes" >&2
    od -c "$file" >&2
    e2e_fail "content of $file"
  fi
}

expect_file() { [ -f "$1" ] || e2e_fail "missing file $1"; }
expect_no_file() { [ ! -e "$1" ] || e2e_fail "unexpected file $1"; }
expect_same() { cmp -s "$1" "$2" || e2e_fail "$2 is not a byte-for-byte copy of $1"; }

# FILE is a hive file as Wine's RegSaveKey writes it (a text hive) of the key REGISTRY\KEY, such as
# Machine\SOFTWARE; Wine keeps its own case of the key names, hence the comparison without case.
expect_wine_hive() {
  local file=$1 key=$2
  expect_file "$file"
  local first second
  first=$(sed -n 1p "$file")
  second=$(sed -n 2p "$file")
  [ "$first" = "WINE REGISTRY Version 2" ] || e2e_fail "$file is not a hive file saved by Wine"
  local wanted=";; all keys relative to registry\\${key,,}"
  wanted=${wanted//\\/\\\\}
  [ "${second,,}" = "$wanted" ] ||
    e2e_fail "$file holds \"$second\", expected the key REGISTRY\\$key"
}
