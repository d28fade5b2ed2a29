#!/usr/bin/env bash
# Start-up: the window with its caption and each control as the user meets it, "Wiederherstellen"
# enabled exactly in a folder that holds SOFTWARE, SYSTEM and SAM, and the ways the program ends,
# each with exit code 0.
source "$(dirname "$0")/lib.sh"
e2e_begin

empty="$E2E_TMP/empty"
mkdir -p "$empty"
start_program "$empty"
client - <<SCRIPT
window 60000
expect 0 class=#32770 text="Brovink: Registry Sicherung" style=WS_POPUP|WS_CAPTION|DS_MODALFRAME|DS_SETFONT|DS_NOFAILCREATE|DS_3DLOOK nostyle=WS_CHILD|WS_SYSMENU|WS_THICKFRAME|WS_MINIMIZEBOX|WS_MAXIMIZEBOX|DS_CENTER
# The controls of the main window's table: class, text, style bits, state.
expect 1009 class=Static style=WS_CHILD|WS_VISIBLE kind=SS_BITMAP bitmap=1
expect 1002 class=Static text="" style=WS_CHILD|WS_VISIBLE kind=SS_LEFT enabled=1
expect 1001 class=msctls_progress32 style=WS_CHILD|WS_VISIBLE nostyle=PBS_SMOOTH pos=0 enabled=1
expect 1010 class=Static text="Backup-/Wiederherstellungsordner:" style=WS_CHILD|WS_VISIBLE kind=SS_LEFT enabled=1
expect 1003 class=Edit text="$(winpath "$empty")" style=WS_CHILD|WS_VISIBLE|ES_READONLY nostyle=WS_TABSTOP|ES_AUTOHSCROLL enabled=1
expect 1004 class=Button text=">>" style=WS_CHILD|WS_VISIBLE|WS_TABSTOP kind=BS_PUSHBUTTON enabled=1
expect 1005 class=Button text="Sichern" style=WS_CHILD|WS_VISIBLE|WS_TABSTOP kind=BS_PUSHBUTTON enabled=1
expect 1006 class=Button text="Wiederherstellen" style=WS_CHILD|WS_VISIBLE|WS_TABSTOP kind=BS_PUSHBUTTON enabled=0
expect 1007 class=Button text="Ordner mit aktuellem Datum anlegen" style=WS_CHILD|WS_VISIBLE|WS_TABSTOP kind=BS_AUTOCHECKBOX checked=0 enabled=1
expect 1008 class=Button text="Quit" style=WS_CHILD|WS_VISIBLE|WS_TABSTOP kind=BS_PUSHBUTTON enabled=1
order 1009 1002 1001 1010 1003 1004 1005 1006 1007 1008
# Tab passes over the disabled "Wiederherstellen", the labels and the folder field.
tabs 1004 1005 1007 1008
# The keyboard: the focus starts on ">>" and Tab moves it; Escape, and Enter on the check box
# (on a push button Enter would press that button), end nothing: once the Tab after them has
# moved the focus, they have been handled.
focus 1004
key TAB
focus 1005
key TAB
focus 1007
key ESCAPE
key RETURN
key TAB
focus 1008
expect 1007 checked=0
expect 0 text="Brovink: Registry Sicherung"
nobox
SCRIPT
e2e_screenshot startup
client window "click 1008" "exit 0"
program_ended

# Which folders make a restore available: name | what the folder holds (a trailing / makes a
# folder) | "Wiederherstellen" enabled | how the program is ended | command-line arguments.
rows=(
  "backup set without SECURITY|SOFTWARE SYSTEM SAM|1|click 1008|"
  "SAM missing|SOFTWARE SYSTEM SECURITY|0|click 1008|"
  "folders named like the hives|SOFTWARE/ SYSTEM/ SAM/|1|sysclose|"
  "arguments are ignored|SOFTWARE SYSTEM SAM SECURITY|1|click 1008|/restore C:\\ --help"
)
for row in "${rows[@]}"; do
  IFS='|' read -r name entries enabled ending arguments <<<"$row"
  e2e_log "$name"
  folder="$E2E_TMP/${name// /_}"
  mkdir -p "$folder"
  for entry in $entries; do
    case "$entry" in
      */) mkdir "$folder/$entry" ;;
      *) printf 'hive %s\n' "$entry" >"$folder/$entry" ;;
    esac
  done
  # shellcheck disable=SC2086  # the arguments are words
  start_program "$folder" $arguments
  client - <<SCRIPT
window 60000
expect 1003 text="$(winpath "$folder")"
expect 1006 enabled=$enabled
expect 1005 enabled=1
$ending
exit 0
SCRIPT
  program_ended
done
e2e_log "passed"
