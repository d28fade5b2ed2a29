#!/usr/bin/env bash
# Restore from a folder that holds a backup set (made by the program itself, with a user hive in
# the loaded-hive list): the restore question answered Yes, the restart question No; the staged
# copies lie in the prefix's configuration folder, "dellog.bat" in the Startup folder that the
# registry names, byte for byte; "Wiederherstellung fertig", and the window stays open.
source "$(dirname "$0")/lib.sh"
e2e_begin

e2e_work
systemroot=$(wine_systemroot)
device=$(wine_device_c)
sid=$WINE_USER_SID
hive=${sid,,}
client - <<SCRIPT >/dev/null
regset HKLM\SYSTEM\CurrentControlSet\Control\hivelist \REGISTRY\USER\\$sid "$device\users\u1\NTUSER.DAT"
SCRIPT
startup=$(wine_startup)

e2e_log "making the backup set"
start_program "$work"
client window "click 1005" 'wait 1002 "Sicherung fertig" 120000' "nobox" "click 1008" "exit 0"
program_ended
for file in SOFTWARE SYSTEM SECURITY SAM "$hive"; do expect_file "$work/$file"; done

e2e_log "restoring it"
start_program "$work"
client - <<SCRIPT
window 60000
expect 1006 enabled=1
click 1006
box "Registry wiederherstellen" "Möchten Sie die Registry wirklich wiederherstellen?" yes*,no yes
box "Fertig" "Die Wiederherstellung ist abgeschlossen, soll der Rechner jetzt neu gestartet werden?" yes,no* no
expect 1002 text="Wiederherstellung fertig"
nobox
expect 0 text="Brovink: Registry Sicherung"
expect 1001 pos=0
expect 1004 enabled=1
expect 1005 enabled=1
expect 1006 enabled=1
expect 1008 enabled=1
SCRIPT
e2e_screenshot restore

config=$(unixpath "$systemroot\\System32\\config")
expect_same "$work/SOFTWARE" "$config/SOFTWARE.TMP"
for file in SYSTEM SECURITY SAM "$hive"; do expect_same "$work/$file" "$config/$file.tmp"; done

cr=$'\r'
expected=""
for file in SOFTWARE SYSTEM SECURITY SAM "$hive"; do
  expected+="attrib -r -s -h \"$systemroot\\System32\\config\\$file.tmp.log\"$cr
del \"$systemroot\\System32\\config\\$file.tmp.log\"$cr
"
done
# The "cd /d" line holds the Startup folder in lower case (with "ü" as the console's byte 0x81).
lower=$(printf '%s' "$startup" | tr 'A-Z' 'a-z' | sed $'s/\xfc/\x81/g')
expected+="cd /d \"$lower\"$cr
del /f dellog.bat$cr
"
expect_bytes "$(unixpath "$startup")/dellog.bat" "$expected"

# The window is still usable after the restart was declined.
client window "click 1008" "exit 0"
program_ended
e2e_log "passed"
