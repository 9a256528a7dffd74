#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# 200 drives, served by the fake drive service, with the widget on a real X
# desktop (1280 x 800): all 200 panels are built, the window stops at the
# usable height of the screen instead of running off it, the mouse wheel
# scrolls the panels (the picture changes, and scrolling back restores it),
# the panel shown at the bottom after scrolling to the end is the last
# drive's own (its title painted there, its menu hides that drive), and the
# window can still be dragged.
#
#   e2e_faults_many.sh <path of velmora>
# Exit 77 (skipped) without Xvfb or xdotool.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
command -v xwd >/dev/null || skip_loudly "xwd is not installed (apt-get install x11-apps)"
e2e_setup faults-many

FAKE="$WORK/drives.fake"
for i in $(seq 1 200); do
  printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "%s";\n\tName = "/srv/vol%03d";\n\tSize = "107374182400";\n};\n----\n' \
    $((i * 500000000)) "$i"
done >"$FAKE"
write_ini 5 False
start_widget "$VELMORA" "$WORK/widget.log" VELMORA_FAKE_WBEM="$FAKE" || e2e_finish
sleep 1
panels=$(grep -o 'panel /srv/vol[0-9]* reads: [0-9]' "$WORK/widget.log" | cut -d' ' -f2 | sort -u | wc -l)
[ "$panels" = 200 ] && pass "200 panels built with their figures" || fail "$panels panels with figures"
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
read -r X Y W H <<<"$(geom "$WID")"
# The work area the window manager publishes; a manager that has not (yet)
# published one leaves the whole screen usable.
AVAIL=$(xprop -root _NET_WORKAREA 2>/dev/null | awk -F'[=,]' '/=/ {print $5 + 0}')
[ "${AVAIL:-0}" -gt 0 ] || AVAIL=$(xwininfo -root | awk '/Height:/ {print $2}')
echo "window ${W}x$H at $X,$Y; usable height of the screen $AVAIL"
[ "$H" -gt 0 ] && [ "$H" -le "$AVAIL" ] && [ "$H" -ge $((AVAIL - 58)) ] &&
  pass "height $H: stops at the usable height $AVAIL" || fail "height $H with 200 panels (usable $AVAIL)"

shot() { xwd -silent -id "$WID" | md5sum | cut -d' ' -f1; }
TOP=$(shot)
xdotool mousemove $((X + 150)) $((Y + 100))
sleep 0.2
for i in 1 2 3 4 5; do xdotool click 5; sleep 0.05; done
sleep 0.5
DOWN=$(shot)
[ "$DOWN" != "$TOP" ] && pass "the wheel scrolls the panels" || fail "the wheel changed nothing"
xdotool click --repeat 300 --delay 2 5   # far past the end
sleep 0.5
read -r _ _ _ H2 <<<"$(geom "$WID")"
[ "$H2" = "$H" ] && pass "scrolling to the end keeps the height" || fail "height $H2 after scrolling"
# The last drive's panel is at the bottom: its own title painted there, and
# its menu acts on that drive.
wait_for_line "$WORK/widget.log" "title painted: Disco local (/srv/vol200) - ext4" 5 &&
  pass "the last drive's title is painted at the end" || fail "no title painted for /srv/vol200"
read -r X Y _ _ <<<"$(geom "$WID")"
xdotool mousemove $((X + 150)) $((Y + H - 20))
sleep 0.2
xdotool click 3
for i in $(seq 1 40); do open_menu $VPID >/dev/null && break; sleep 0.1; done
sleep 0.3
SECTION=$(grep -F "menu section /srv/vol200 reads:" "$WORK/widget.log" | tail -1 | sed 's/^.*reads: //')
[ "$SECTION" = "Abrir | Ocultar esta unidad | Analizar…" ] && pass "its menu is the last drive's: $SECTION" ||
  fail "menu at the bottom: $(grep -F 'menu section' "$WORK/widget.log" | tail -1)"
keys_down 2
xdotool key Return
menu_closed $VPID || fail "the menu stayed open"
wait_for_line "$WORK/widget.log" "drive hidden: /srv/vol200" 5 && pass "the last drive is hidden from its panel" ||
  fail "nothing hidden"
tr -d '\r' <"$INI" | grep -qxF "/srv/vol200=True" && pass "the settings file holds it" || fail "settings: $(cat "$INI")"
xdotool click --repeat 320 --delay 2 4   # back past the start
sleep 0.5
[ "$(shot)" = "$TOP" ] && pass "scrolling back restores the first panels" || fail "back at the top the picture differs"

read -r X Y _ _ <<<"$(geom "$WID")"
drag_widget "$WID" 150 0
sleep 0.8
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
[ "$X2" -ne "$X" ] && pass "dragged from $X,$Y to $X2,$Y2" || fail "a drag did not move it"
kill -0 $VPID && pass "still running" || fail "it ended"
kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM"
e2e_finish
