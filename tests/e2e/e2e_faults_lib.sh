#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Shared pieces of the fault tests (sourced, not run): a throw-away desktop,
# a private home with a settings file written beforehand (so no first-run
# question), pass/fail bookkeeping and the X helpers.
#
#   source e2e_faults_lib.sh
#   faults_setup <name>         # WORK, HOME, XDG_*, INI; desktop started
#   faults_write_ini <Intervalo> [VerDiscosRed]
#   ...
#   faults_finish               # exit code from the checks
FAULTS_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
FAULTS_ROOT=$(cd "$FAULTS_HERE/../.." && pwd)
source "$FAULTS_ROOT/scripts/e2e/desktop.sh"

failures=0
PIDS=()
MOUNTS=()
CLEANUP_EXTRA=()

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
skip_loudly() { echo "SKIP: $*" >&2; exit 77; }

faults_cleanup() {
  local p m c
  for p in "${PIDS[@]}"; do kill -0 "$p" 2>/dev/null || continue; kill -9 "$p"; wait "$p" 2>/dev/null; done
  for c in "${CLEANUP_EXTRA[@]}"; do eval "$c"; done
  for m in $(printf '%s\n' "${MOUNTS[@]}" | tac); do umount -l "$m" 2>/dev/null; done
  velmora_desktop_stop
  rm -rf "$WORK"
}

faults_setup() { # name
  local tool rc
  for tool in xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || skip_loudly "$tool is not installed"
  done
  WORK=$(mktemp -d "/tmp/velmora-$1.XXXXXX")
  trap faults_cleanup EXIT
  velmora_desktop_start
  rc=$?
  [ $rc -eq 0 ] || exit $rc
  echo "desktop on $DISPLAY"
  export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/rt"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  export QT_LOGGING_RULES="velmora.shell.debug=true
velmora.panels.debug=true"
  unset QT_QPA_PLATFORM VELMORA_FAKE_WBEM VELMORA_STATFS_DEADLINE_MS
  INI="$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
}

# A settings file as the widget writes it, so that it starts without the
# first-run question at the top-left corner of the screen.
faults_write_ini() { # Intervalo [VerDiscosRed] [file]
  local file=${3:-$INI}
  mkdir -p "$(dirname "$file")"
  printf '[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=%s\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=%s\r\nIdioma=0\r\n' \
    "$1" "${2:-False}" >"$file"
}

wait_for_line() { # file text seconds
  local i
  for i in $(seq 1 $(( $3 * 10 ))); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
geom() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'; }
widget_window() { # pid
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    [ "$(xwininfo -id "$w" | awk '/Width:/ {print $2}')" = 339 ] && { echo "$w"; return 0; }
  done
  return 1
}
# A visible dialog (message box) of a process, if any.
dialog_window() { # pid
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && { echo "$w"; return 0; }
  done
  return 1
}
# The open popup menu of a process: an override-redirect window wider than
# the tray icon.
open_menu() { # pid
  local w info
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    info=$(xwininfo -id "$w" 2>/dev/null)
    echo "$info" | grep -q 'Override Redirect State: yes' || continue
    [ "$(echo "$info" | awk '/Width:/ {print $2}')" -gt 60 ] && { echo "$w"; return 0; }
  done
  return 1
}
# The text the panel of a mount point showed last ("" when none was logged).
panel_text() { # log mountpoint
  grep -F "panel $2 reads:" "$1" | tail -1 | sed "s|^.*panel $2 reads: \{0,1\}||"
}
# Resident memory of a process in kB.
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null; }
# Starts the widget in the background (PID in VPID) and waits for its first
# panel.
start_widget() { # velmora log [env assignments...]
  local exe=$1 log=$2
  shift 2
  env "$@" "$exe" >"$log" 2>&1 &
  VPID=$!
  PIDS+=($VPID)
  wait_for_line "$log" "first panel painted" 20 || { cat "$log" >&2; fail "no panel painted"; return 1; }
}
# Left-button drag on the widget; prints the new "x y".
drag_widget() { # wid dx dy
  local X Y W H step
  read -r X Y W H <<<"$(geom "$1")"
  xdotool mousemove $((X + 150)) $((Y + 30))
  sleep 0.2
  xdotool mousedown 1
  sleep 0.2
  for step in 1 2 3 4 5 6; do
    xdotool mousemove $((X + 150 + step * $2 / 6)) $((Y + 30 + step * $3 / 6))
    sleep 0.05
  done
  sleep 0.2
  xdotool mouseup 1
}

faults_finish() {
  if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
