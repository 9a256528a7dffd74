#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The notification-area icon on a real X desktop (Xvfb + openbox + trayer),
# the only way to the menu when the widget is transparent: at scale factors 1
# and 2 the icon shows its picture (many colours, not one flat block) on the
# tray's own background (its top and bottom rows, outside the picture, are
# the panel's colour), and a right click on it opens
# pmTray. The icon comes back, with its picture and its menu, when the tray
# host restarts, and appears when the host comes only after the widget.
#
#   e2e_trayicon.sh <path of velmora>
# Exit 77 (skipped) without Xvfb, trayer, xwd, /usr/bin/python3 or the X tools.
set -u
VELMORA=${1:?path of the velmora program}
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/e2e_lib.sh"
for tool in trayer xwd /usr/bin/python3; do
  command -v "$tool" >/dev/null || skip_loudly "$tool is not installed"
done
e2e_setup e2e-trayicon
write_ini 15

# Waits up to five seconds for the icon to be embedded.
wait_icon() {
  local i
  for i in $(seq 1 50); do
    tray_icon_geometry >/dev/null && return 0
    sleep 0.1
  done
  return 1
}
# Looks at the icon's pixels on the screen. The panel's colour is taken
# beside the icon, inside trayer's panel.
check_picture() { # what
  local x y w h stats colours top edge same attempt dumped
  read -r x y w h <<<"$(tray_icon_geometry)"
  # Qt paints the icon once it is embedded; give it a moment.
  sleep 0.5
  # The X server refuses a dump now and then while a window changes.
  dumped=
  for attempt in 1 2 3; do
    xwd -root -silent >"$WORK/screen.xwd" 2>/dev/null && { dumped=1; break; }
    sleep 0.3
  done
  [ -n "$dumped" ] || { fail "$1: no screen dump"; return 1; }
  stats=$(/usr/bin/python3 "$HERE/xwd_region.py" "$WORK/screen.xwd" "$x" "$y" "$w" "$h" --around $((x - 3)) $((y + h / 2))) ||
    { fail "$1: the screen dump could not be read"; return 1; }
  echo "$1: icon ${w}x${h} at $x,$y: $stats"
  colours=$(echo "$stats" | sed -n 's/.*colours=\([0-9]*\).*/\1/p')
  top=$(echo "$stats" | sed -n 's/.*top=\([0-9.]*\).*/\1/p')
  edge=$(echo "$stats" | sed -n 's/.*edge=\([0-9.]*\).*/\1/p')
  same=$(echo "$stats" | sed -n 's/.*same=\([0-9.]*\).*/\1/p')
  # The picture has a dark body, a light frame and bar, an orange fill and a
  # green light, each edge smoothed: dozens of colours. A block of one colour
  # (black where the background was never drawn) has one.
  [ "$colours" -ge 12 ] && awk "BEGIN {exit !($top < 0.9)}" &&
    pass "$1: the icon shows a picture ($colours colours)" ||
    fail "$1: the icon is a flat block ($colours colours, the commonest on $top of it)"
  # Above and below the picture the icon is transparent and shows the
  # panel; a background painted black or left unpainted does not.
  awk "BEGIN {exit !($edge >= 0.9 && $same >= 0.2)}" &&
    pass "$1: the icon lies on the panel's own colour" ||
    fail "$1: the icon's border is not the panel's colour (border $edge, whole $same)"
}
# A right click on the icon opens pmTray; Escape closes it again.
check_menu() { # what
  if open_tray_menu "$VPID" && [ "$MENU_FROM" = "tray icon" ]; then
    pass "$1: a right click on the icon opens the menu"
  else
    fail "$1: no menu from the icon (${MENU_FROM:-nothing opened})"
  fi
  xdotool key Escape
  menu_closed "$VPID" || fail "$1: the menu stayed open"
}
stop_widget() {
  kill -TERM "$VPID"
  expect_exit "$VPID" 0 "SIGTERM"
}

# --- scale factors 1 and 2 --------------------------------------------------
for scale in 1 2; do
  start_widget "$VELMORA" "$WORK/scale$scale.log" QT_SCALE_FACTOR=$scale || e2e_finish
  if wait_icon; then
    check_picture "scale $scale"
    check_menu "scale $scale"
  else
    fail "scale $scale: no icon in the notification area"
  fi
  stop_widget
done

# --- the tray host restarts -------------------------------------------------
start_widget "$VELMORA" "$WORK/restart.log" || e2e_finish
wait_icon || fail "no icon before the tray host restarts"
velmora_desktop_tray_stop
sleep 1
kill -0 "$VPID" 2>/dev/null && pass "the widget runs on without a tray host" || fail "the widget ended with the tray host"
velmora_desktop_tray_start
if wait_icon; then
  pass "the icon is back after the tray host restarted"
  check_picture "after a restart"
  check_menu "after a restart"
else
  fail "no icon after the tray host restarted"
fi
stop_widget

# --- the tray host comes after the widget --------------------------------------
velmora_desktop_tray_stop
start_widget "$VELMORA" "$WORK/late.log" || e2e_finish
velmora_desktop_tray_start
if wait_icon; then
  pass "the icon appears in a tray host that comes after the widget"
  check_picture "late host"
  check_menu "late host"
else
  fail "no icon in a tray host that came after the widget"
fi
stop_widget

e2e_finish
