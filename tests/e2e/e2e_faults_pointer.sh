#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Taps on the widget under a real window manager (Xvfb + openbox), made with
# xdotool as a touchpad's tap-to-click makes them, the release a moment
# after the press:
# - a tap on a panel leaves the window where it is, and the pointer moving
#   on afterwards does not take the window along;
# - a double tap on a panel opens its drive (a stand-in folder handler
#   records what it was given);
# - a drag with the button held still moves the window, and it stays put
#   once the button is up.
#
#   e2e_faults_pointer.sh <path of velmora>
# Exit 77 (skipped) without Xvfb, xdotool or xdg-open.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
command -v xdg-open >/dev/null || skip_loudly "xdg-open is not installed (xdg-utils)"
e2e_setup faults-pointer

# The stand-in file manager.
OPENED="$WORK/opened"
mkdir -p "$XDG_DATA_HOME/applications" "$WORK/bin" "$XDG_CONFIG_HOME"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$OPENED" >"$WORK/bin/recorder"
chmod +x "$WORK/bin/recorder"
printf '[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %%f\nMimeType=inode/directory;\n' \
  "$WORK/bin/recorder" >"$XDG_DATA_HOME/applications/recorder.desktop"
printf '[Default Applications]\ninode/directory=recorder.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

FOLDER="$WORK/drive"
mkdir -p "$FOLDER"
FAKE="$WORK/drives.fake"
printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "53687091200";\n\tName = "%s";\n\tSize = "107374182400";\n};\n----\ninstance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "1073741824";\n\tName = "/srv/other";\n\tSize = "107374182400";\n};\n' \
  "$FOLDER" >"$FAKE"
write_ini 5 False
LOG="$WORK/widget.log"
start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$FAKE" || e2e_finish
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
sleep 1
read -r X Y W H <<<"$(geom "$WID")"
echo "window ${W}x$H at $X,$Y"

# --- a tap ---------------------------------------------------------------------
xdotool mousemove $((X + 150)) $((Y + 30))
sleep 0.3
xdotool click 1
sleep 0.5
xdotool mousemove $((X + 450)) $((Y + 350))
sleep 0.3
xdotool mousemove $((X + 500)) $((Y + 400))
sleep 0.5
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
[ "$X2,$Y2" = "$X,$Y" ] && pass "a tap leaves the window at $X,$Y, the pointer moves on alone" ||
  fail "after a tap the window followed the pointer to $X2,$Y2"
# A window glued to the pointer would let go at the next click.
xdotool click 1
sleep 0.3

# --- a double tap ------------------------------------------------------------------
read -r X Y _ _ <<<"$(geom "$WID")"
xdotool mousemove $((X + 150)) $((Y + 30))
sleep 0.3
xdotool click --repeat 2 --delay 80 1
wait_for_line "$OPENED" "$FOLDER" 10 && pass "a double tap opens the drive: the handler got $(head -1 "$OPENED")" ||
  fail "a double tap opened nothing: '$(cat "$OPENED" 2>/dev/null)'; $(grep -F opening "$LOG")"
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
[ "$X2,$Y2" = "$X,$Y" ] && pass "and the window stays where it was" || fail "the double tap moved the window to $X2,$Y2"

# --- a drag ------------------------------------------------------------------------
drag_widget "$WID" 150 60
sleep 0.8
read -r X3 Y3 _ _ <<<"$(geom "$WID")"
[ "$X3,$Y3" = "$((X + 150)),$((Y + 60))" ] && pass "a drag moves it with the pointer, from $X,$Y to $X3,$Y3" ||
  fail "a drag by 150,60 from $X,$Y moved it to $X3,$Y3"
xdotool mousemove 20 20
sleep 0.5
read -r X4 Y4 _ _ <<<"$(geom "$WID")"
[ "$X4,$Y4" = "$X3,$Y3" ] && pass "released, it stays at $X3,$Y3" || fail "after the drag it followed to $X4,$Y4"

kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM"
e2e_finish
