#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The widget on a real X desktop (Xvfb + openbox + trayer): its size, its
# place below other windows, a tmpfs mounted while it runs, dragging, the
# hand-over to a second start (through the session bus), SIGTERM, and the
# fatal fourth failed refresh with its error box (closed with the keyboard)
# and exit code 99.
#
#   e2e_widget.sh <path of velmora>
# Exit 77 (skipped) when Xvfb or xdotool is missing.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup e2e

# --- start ---------------------------------------------------------------
start_widget "$VELMORA" "$WORK/first.log" || e2e_finish
FIRST=$VPID
# A first start asks about starting with the session; the box is modal, so it
# is answered (Escape: No) before the widget is handled.
if BOX=$(question_box); then
  answer_box "$BOX" Escape
  wait_for_line "$WORK/first.log" "start with the session: false" 5 && pass "first-run question answered No" || fail "the first-run question was not answered"
else
  fail "no first-run question on a first start"
fi
sleep 0.5
WID=$(widget_window $FIRST) || { fail "no widget window"; exit 1; }
read -r X Y W H <<<"$(geom "$WID")"
echo "widget window $WID at $X,$Y size ${W}x$H"
[ "$W" = 339 ] && pass "339 wide" || fail "width $W, not 339"
if [ "$H" -gt 0 ] && [ $((H % 58)) -eq 0 ]; then pass "as tall as its $((H / 58)) panels"; else fail "height $H is not a whole number of 58-pixel panels"; fi

# --- below the other windows ----------------------------------------------
if xprop -id "$WID" _NET_WM_STATE | grep -q _NET_WM_STATE_BELOW; then
  pass "stays below (_NET_WM_STATE_BELOW)"
else
  fail "not below: $(xprop -id "$WID" _NET_WM_STATE)"
fi
xprop -id "$WID" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR && pass "no taskbar entry" || fail "taskbar entry"
# libcurl is opened only for a Prometheus server; this machine's drives need none of it.
grep -q libcurl "/proc/$FIRST/maps" && fail "libcurl mapped without a Prometheus host" || pass "no libcurl mapped for this machine"

# --- a tmpfs mounted while it runs -----------------------------------------
if [ "$(id -u)" = 0 ]; then
  mkdir -p "$WORK/ram"
  if mount -t tmpfs -o size=8m velmora-e2e "$WORK/ram" 2>/dev/null; then
    MOUNTS+=("$WORK/ram")
    grown=no
    for i in $(seq 1 20); do
      read -r _ _ _ H2 <<<"$(geom "$WID")"
      [ "$H2" = $((H + 58)) ] && { grown=yes; break; }
      sleep 0.1
    done
    [ $grown = yes ] && pass "tmpfs shown as a panel within $((i * 100)) ms" || fail "height $H2 after the mount, expected $((H + 58))"
    umount "$WORK/ram" && MOUNTS=()
    sleep 1
    read -r _ _ _ H3 <<<"$(geom "$WID")"
    [ "$H3" = "$H" ] && pass "its panel went with the unmount" || fail "height $H3 after the unmount, expected $H"
  else
    echo "SKIP (mount): tmpfs cannot be mounted here" >&2
  fi
else
  echo "SKIP (mount): needs root to mount a tmpfs" >&2
fi

# --- dragging ----------------------------------------------------------------
read -r X Y W H <<<"$(geom "$WID")"
drag_widget "$WID" 120 72
sleep 0.5
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
if [ "$X2" -ne "$X" ] || [ "$Y2" -ne "$Y" ]; then
  pass "left drag moved it from $X,$Y to $X2,$Y2"
else
  fail "left drag did not move it ($X,$Y)"
fi

# --- second start -----------------------------------------------------------
# Another window over the widget, holding the focus, so that coming to the
# front means something.
COVER=
if command -v xmessage >/dev/null; then
  read -r X Y _ _ <<<"$(geom "$WID")"
  xmessage -geometry "+$X+$Y" "a window on top" >/dev/null 2>&1 &
  COVER=$!
  PIDS+=($COVER)
  for i in $(seq 1 30); do
    A=$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')
    [ -n "$A" ] && [ $((A)) != 0 ] && [ $((A)) != "$WID" ] && break
    sleep 0.1
  done
  [ $((A)) != "$WID" ] && echo "before the second start the active window is $A" || fail "could not move the focus away"
fi
# On a desktop with a session bus the first one holds the application's name
# there, and a second start calls its Activate.
if command -v dbus-send >/dev/null; then
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:com.brindlewick.Velmora 2>/dev/null | grep -q 'boolean true' \
    && pass "the first instance holds com.brindlewick.Velmora on the session bus" \
    || fail "com.brindlewick.Velmora is not taken on the session bus"
fi
timeout 10 "$VELMORA" >"$WORK/second.log" 2>&1
rc=$?
[ $rc = 0 ] && pass "second start exits 0" || fail "second start exit code $rc: $(cat "$WORK/second.log")"
wait_for_line "$WORK/first.log" "raise requested by a second start" 5 && pass "first instance asked to come to the front" || fail "no raise request reached the first instance"
sleep 0.5
ACTIVE=$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')
[ $((ACTIVE)) = "$WID" ] && pass "the first widget is the active window" || fail "active window $ACTIVE, not the widget $WID"
[ -n "$COVER" ] && kill $COVER 2>/dev/null
[ "$(xdotool search --pid $FIRST 2>/dev/null | wc -l)" -ge 1 ] && kill -0 $FIRST 2>/dev/null && pass "first instance still running" || fail "first instance gone"

# --- SIGTERM ----------------------------------------------------------------
kill -TERM $FIRST
expect_exit $FIRST 0 "SIGTERM"
grep -qF "window destroyed" "$WORK/first.log" && pass "the window was destroyed on the way out" || fail "no orderly end"

# --- the fourth failed refresh ----------------------------------------------
echo '!connect-error e2e: no service' >"$WORK/broken.wbem"
launch_widget "$VELMORA" "$WORK/fatal.log" VELMORA_FAKE_WBEM="$WORK/broken.wbem"
FATAL=$VPID
wait_for_line "$WORK/fatal.log" "refresh failed" 15 || fail "the first refresh did not fail"
sleep 0.5
if [ "$(id -u)" = 0 ]; then
  # Every mount change refreshes at once: three more failures without
  # waiting for the timer.
  mkdir -p "$WORK/tick"
  for n in 1 2 3; do
    mount -t tmpfs -o size=1m velmora-tick "$WORK/tick" 2>/dev/null && umount "$WORK/tick"
    sleep 0.6
  done
fi
# The timer alone needs three ticks of 15 s.
if BOX=$(wait_dialog $FATAL 700); then
  pass "error box shown after $(grep -c 'refresh failed' "$WORK/fatal.log") failed refreshes"
  answer_box "$BOX" Return
  expect_exit $FATAL 99 "after the error box"
  grep -qF "window destroyed" "$WORK/fatal.log" && pass "the window was destroyed on the way out" || fail "no orderly end after the fatal error"
else
  fail "no error box appeared"
  cat "$WORK/fatal.log" >&2
fi

e2e_finish
