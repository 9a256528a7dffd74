#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Where the widget stands on a real desktop (Xvfb 1280 x 800 + openbox +
# trayer):
# - 31 drives from a place saved low on the screen (Top=276): the window lies
#   wholly within the screen's usable area, a strip at its bottom tells of
#   the drives below, clicks on it bring every drive into view down to the
#   last, and a strip at the top then tells of those above; 10 drives from
#   the same place: the window moves up just enough and shows them all;
# - a place saved by a run at QT_SCALE_FACTOR=2 is the screen's own pixels:
#   that run shows the window there and writes it back unchanged, a drag
#   there is saved as the place the window reached, and a run at the normal
#   scale shows the window at that same place.
#
#   e2e_faults_place.sh <path of velmora>
# Exit 77 (skipped) without Xvfb or xdotool.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup faults-place

drives() { # count file
  local i
  for i in $(seq 1 "$1"); do
    printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "%s";\n\tName = "/srv/vol%03d";\n\tSize = "107374182400";\n};\n----\n' \
      $((i * 1000000000)) "$i"
  done >"$2"
}
place_ini() { # Top Left
  mkdir -p "$(dirname "$INI")"
  printf '[CONFIG]\r\nTop=%s\r\nLeft=%s\r\nIntervalo=5\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=False\r\nIdioma=0\r\n' \
    "$1" "$2" >"$INI"
}
# The usable area's top and bottom, as the window manager publishes it.
read -r AREA_TOP AREA_H <<<"$(xprop -root _NET_WORKAREA 2>/dev/null | awk -F'[=,]' '/=/ {print $3 + 0, $5 + 0}')"
if [ "${AREA_H:-0}" -le 0 ]; then AREA_TOP=0; AREA_H=$(xwininfo -root | awk '/Height:/ {print $2}'); fi
AREA_BOTTOM=$((AREA_TOP + AREA_H))
echo "usable rows $AREA_TOP to $AREA_BOTTOM"
inside() { # what
  local X Y W H
  read -r X Y W H <<<"$(geom "$WID")"
  if [ "$Y" -ge "$AREA_TOP" ] && [ $((Y + H)) -le "$AREA_BOTTOM" ]; then
    pass "$1: the window (${W}x$H at $X,$Y) lies within rows $AREA_TOP to $AREA_BOTTOM"
  else
    fail "$1: the window (${W}x$H at $X,$Y) reaches out of rows $AREA_TOP to $AREA_BOTTOM"
  fi
}
out_of_view() { grep -F "drives out of view:" "$LOG" | tail -1 | sed 's/^.*out of view: //'; }
stop_widget() { # what
  kill -TERM "$VPID"
  expect_exit "$VPID" 0 "$1: SIGTERM"
}

# --- 31 drives from a place low on the screen ---------------------------------
drives 31 "$WORK/31.fake"
place_ini 276 300
LOG="$WORK/31.log"
start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$WORK/31.fake" || e2e_finish
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
sleep 1
inside "31 drives saved at Top=276"
read -r X Y W H <<<"$(geom "$WID")"
case "$(out_of_view)" in
  "above 0 below "[1-9]*) pass "a sign tells of the drives below: $(out_of_view)" ;;
  *) fail "drives out of view: '$(out_of_view)'" ;;
esac
xdotool mousemove $((X + 150)) $((Y + H - 5))
sleep 0.3
for i in $(seq 1 40); do xdotool click 1; sleep 0.05; done
sleep 0.5
wait_for_line "$LOG" "title painted: Disco local (/srv/vol031) - ext4" 5 &&
  pass "clicks on the strip bring the last drive into view" || fail "the last drive's title was never painted"
case "$(out_of_view)" in
  "above "[1-9]*" below 0") pass "at the end the sign is at the top: $(out_of_view)" ;;
  *) fail "at the end: '$(out_of_view)'" ;;
esac
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
[ "$X2,$Y2" = "$X,$Y" ] && pass "clicking the strip does not move the window" || fail "the window moved to $X2,$Y2"
inside "31 drives scrolled to the end"
stop_widget "31 drives"

drives 10 "$WORK/10.fake"
place_ini 276 300
LOG="$WORK/10.log"
start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$WORK/10.fake" || e2e_finish
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
sleep 1
inside "10 drives saved at Top=276"
read -r X Y W H <<<"$(geom "$WID")"
[ "$H" = 580 ] && [ $((Y + H)) = "$AREA_BOTTOM" ] && pass "moved up just enough: all 10 panels at $X,$Y" ||
  fail "10 drives: ${W}x$H at $X,$Y"
[ -z "$(out_of_view)" ] || [ "$(out_of_view)" = "above 0 below 0" ] && pass "no sign when every drive is in view" ||
  fail "out of view: $(out_of_view)"
stop_widget "10 drives"

# --- a place saved at another scale factor ------------------------------------
drives 2 "$WORK/2.fake"
place_ini 100 300
LOG="$WORK/scaled.log"
start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$WORK/2.fake" QT_SCALE_FACTOR=2 || e2e_finish
WID=$(widget_window $VPID) || WID=$(xdotool search --onlyvisible --pid $VPID 2>/dev/null | while read -r w; do
  [ "$(xwininfo -id "$w" | awk '/Width:/ {print $2}')" = 678 ] && echo "$w" && break; done)
[ -n "$WID" ] || { fail "no widget window at scale 2"; e2e_finish; }
sleep 1
read -r X Y W H <<<"$(geom "$WID")"
[ "$X,$Y" = "300,100" ] && pass "at scale 2 the window stands on the saved pixels (${W}x$H at $X,$Y)" ||
  fail "at scale 2 the window stands at $X,$Y, saved 300,100"
stop_widget "at scale 2, not moved"
[ "$(ini_value Left),$(ini_value Top)" = "300,100" ] && pass "written back unchanged" ||
  fail "written back as Left=$(ini_value Left) Top=$(ini_value Top)"

start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$WORK/2.fake" QT_SCALE_FACTOR=2 || e2e_finish
WID=$(xdotool search --onlyvisible --pid $VPID 2>/dev/null | while read -r w; do
  [ "$(xwininfo -id "$w" | awk '/Width:/ {print $2}')" = 678 ] && echo "$w" && break; done)
sleep 1
drag_widget "$WID" 200 100
sleep 0.8
read -r X Y W H <<<"$(geom "$WID")"
echo "dragged at scale 2 to $X,$Y"
stop_widget "at scale 2, dragged"
[ "$(ini_value Left),$(ini_value Top)" = "$X,$Y" ] && pass "the place reached at scale 2 is saved as its pixels ($X,$Y)" ||
  fail "saved Left=$(ini_value Left) Top=$(ini_value Top), the window stood at $X,$Y"

LOG="$WORK/normal.log"
start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$WORK/2.fake" || e2e_finish
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
sleep 1
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
[ "$X2,$Y2" = "$X,$Y" ] && pass "the normal scale restores the same place ($X2,$Y2)" ||
  fail "the normal scale shows the window at $X2,$Y2, saved $X,$Y"
stop_widget "normal scale"
e2e_finish
