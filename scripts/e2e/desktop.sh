#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A throw-away X desktop for the end-to-end tests: Xvfb, openbox (a window
# manager that honours "below" and offers the move loop) and trayer (a
# notification area).
#
#   source scripts/e2e/desktop.sh
#   velmora_desktop_start || exit 77   # sets DISPLAY, VELMORA_DESKTOP_PIDS
#   ...
#   velmora_desktop_stop
#
# velmora_desktop_start returns 77 (and says why on stderr) when Xvfb is
# missing, so that a caller can skip loudly.
#
# VELMORA_DESKTOP_RESIZABLE=1 puts the desktop on a screen whose size can
# change while programs run: Xvfb's own screen cannot (its RandR knows one
# fixed mode), so a resizable Xephyr runs inside a larger Xvfb and the desktop
# is Xephyr's; `xrandr -s 1024x768` then shrinks it as a lower resolution or
# a smaller monitor would. Without Xephyr the start returns 77.

velmora_desktop_free_display() {
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

# The pid written in the lock file of display n (nothing while there is none).
velmora_desktop_lock_pid() {
  { tr -d ' \n' <"/tmp/.X$1-lock"; } 2>/dev/null
}

velmora_desktop_start() {
  VELMORA_DESKTOP_PIDS=()
  if ! command -v Xvfb >/dev/null; then
    echo "SKIP: Xvfb is not installed (apt-get install xvfb)" >&2
    return 77
  fi
  local size=1280x800
  if [ "${VELMORA_DESKTOP_RESIZABLE:-}" = 1 ]; then
    if ! command -v Xephyr >/dev/null; then
      echo "SKIP: Xephyr is not installed (apt-get install xserver-xephyr)" >&2
      return 77
    fi
    size=1600x1200
  fi
  # Xvfb takes a display by creating its lock file exclusively and writing
  # its pid there: the display is ours once the lock names our server and the
  # server answers. Programs started at the same moment race for the same
  # number; the loser's server ends, and the next number is tried.
  local n i pid attempt
  for attempt in 1 2 3 4 5; do
    n=$(velmora_desktop_free_display) || { echo "no free X display number" >&2; return 1; }
    Xvfb ":$n" -screen 0 ${size}x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for i in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      if [ "$(velmora_desktop_lock_pid "$n")" = "$pid" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        break
      fi
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && [ "$(velmora_desktop_lock_pid "$n")" = "$pid" ]; then
      VELMORA_DESKTOP_PIDS+=($pid)
      export DISPLAY=":$n"
      break
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [ ${#VELMORA_DESKTOP_PIDS[@]} -eq 0 ] || ! xdpyinfo >/dev/null 2>&1; then
    echo "Xvfb did not come up" >&2
    velmora_desktop_stop
    return 1
  fi
  if [ "${VELMORA_DESKTOP_RESIZABLE:-}" = 1 ]; then
    # The nested server takes its display number the way Xvfb does above.
    local host=$DISPLAY nested=
    for attempt in 1 2 3 4 5; do
      n=$(velmora_desktop_free_display) || break
      DISPLAY=$host Xephyr ":$n" -screen 1280x800 -resizeable -nolisten tcp >/dev/null 2>&1 &
      pid=$!
      for i in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        if [ "$(velmora_desktop_lock_pid "$n")" = "$pid" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
          nested=":$n"
          break
        fi
        sleep 0.1
      done
      [ -n "$nested" ] && { VELMORA_DESKTOP_PIDS+=($pid); break; }
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
    done
    if [ -z "$nested" ]; then
      echo "Xephyr did not come up" >&2
      velmora_desktop_stop
      return 1
    fi
    export DISPLAY=$nested
  fi
  if command -v openbox >/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 &
    VELMORA_DESKTOP_PIDS+=($!)
    # Up once it names itself and has published the work area.
    for i in $(seq 1 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
        xprop -root _NET_WORKAREA 2>/dev/null | grep -q '=' && break
      sleep 0.1
    done
    [ "$i" -lt 100 ] || echo "warning: openbox had not published its work area after 10 s" >&2
  else
    echo "warning: openbox missing, running without a window manager" >&2
  fi
  velmora_desktop_tray_start
  return 0
}

# The notification area alone, started (again) and stopped, so that a test
# can show a program a tray host that comes late or restarts. Its pid is
# VELMORA_DESKTOP_TRAY_PID (and among VELMORA_DESKTOP_PIDS, stopped with the
# desktop).
velmora_desktop_tray_start() {
  local i
  VELMORA_DESKTOP_TRAY_PID=
  command -v trayer >/dev/null || return 0
  trayer --edge top --align right --widthtype pixel --width 120 --height 28 >/dev/null 2>&1 &
  VELMORA_DESKTOP_TRAY_PID=$!
  VELMORA_DESKTOP_PIDS+=($VELMORA_DESKTOP_TRAY_PID)
  # A program started before the notification area owns its selection
  # may never show its icon there: wait for trayer's window, then a little
  # for the selection it takes right after.
  if command -v xdotool >/dev/null; then
    for i in $(seq 1 50); do
      [ -n "$(xdotool search --class trayer 2>/dev/null)" ] && break
      sleep 0.1
    done
  fi
  sleep 0.3
}
velmora_desktop_tray_stop() {
  [ -n "${VELMORA_DESKTOP_TRAY_PID:-}" ] || return 0
  kill "$VELMORA_DESKTOP_TRAY_PID" 2>/dev/null
  wait "$VELMORA_DESKTOP_TRAY_PID" 2>/dev/null
  VELMORA_DESKTOP_TRAY_PID=
}

velmora_desktop_stop() {
  local pid
  for pid in $(printf '%s\n' "${VELMORA_DESKTOP_PIDS[@]}" | tac); do
    kill "$pid" 2>/dev/null
  done
  for pid in "${VELMORA_DESKTOP_PIDS[@]}"; do
    wait "$pid" 2>/dev/null
  done
  VELMORA_DESKTOP_PIDS=()
}
