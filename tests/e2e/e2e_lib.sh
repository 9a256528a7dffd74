#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Shared pieces of the end-to-end tests (sourced, not run): a throw-away
# desktop, a private home, pass/fail bookkeeping, the X helpers that find the
# widget, its dialogs and its menu, and the tray menu driven with the keyboard.
#
#   source e2e_lib.sh
#   e2e_setup <name>            # WORK, HOME, XDG_*, INI; desktop started
#   write_ini <Intervalo> [VerDiscosRed] [file]
#   start_widget "$VELMORA" "$WORK/widget.log" || e2e_finish   # VPID
#   ...
#   kill -TERM $VPID; expect_exit $VPID 0 "SIGTERM"
#   e2e_finish                  # exit code from the checks
# As root each test runs in a mount namespace of its own, private from the
# start: the mounts it makes are seen by its widget only, and mounts made and
# removed by tests running beside it do not come and go under its panels. The
# namespace ends with the test, and every mount made in it with it.
if [ "$(id -u)" = 0 ] && [ -z "${VELMORA_E2E_OWN_MOUNTS:-}" ] && command -v unshare >/dev/null \
  && unshare --mount --propagation private true 2>/dev/null; then
  export VELMORA_E2E_OWN_MOUNTS=1
  exec unshare --mount --propagation private -- bash "${BASH_SOURCE[1]}" "$@"
fi
E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_ROOT=$(cd "$E2E_HERE/../.." && pwd)
source "$E2E_ROOT/scripts/e2e/desktop.sh"

failures=0
PIDS=()
MOUNTS=()
CLEANUP_EXTRA=()

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
skip_loudly() { echo "SKIP: $*" >&2; exit 77; }

e2e_cleanup() {
  local p m c
  for p in "${PIDS[@]}"; do kill -0 "$p" 2>/dev/null || continue; kill -9 "$p"; wait "$p" 2>/dev/null; done
  for c in "${CLEANUP_EXTRA[@]}"; do eval "$c"; done
  for m in $(printf '%s\n' "${MOUNTS[@]}" | tac); do umount -l "$m" 2>/dev/null; done
  velmora_desktop_stop
  rm -rf "$WORK"
}

e2e_setup() { # name
  local tool rc
  for tool in xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || skip_loudly "$tool is not installed"
  done
  WORK=$(mktemp -d "/tmp/velmora-$1.XXXXXX")
  trap e2e_cleanup EXIT
  velmora_desktop_start
  rc=$?
  [ $rc -eq 0 ] || exit $rc
  echo "desktop on $DISPLAY"
  export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share" \
    XDG_STATE_HOME="$WORK/home/.local/state" XDG_RUNTIME_DIR="$WORK/rt"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  export QT_LOGGING_RULES="velmora.shell.debug=true
velmora.panels.debug=true
velmora.desktop.debug=true"
  unset QT_QPA_PLATFORM VELMORA_FAKE_WBEM VELMORA_STATFS_DEADLINE_MS LANG LANGUAGE LC_ALL LC_MESSAGES
  # A session bus of the test's own, as a desktop session has one (the
  # widget's single instance and Qt's tray look there). Without it libdbus
  # would start one through the X server and leave it running; a developer's
  # own session bus would join the tests to each other and to a widget that
  # runs there. Tests that need more of the bus start their own after this.
  local bus
  if command -v dbus-daemon >/dev/null \
    && bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 --address="unix:path=$WORK/session-bus"); then
    export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
    CLEANUP_EXTRA+=("kill $(echo "$bus" | sed -n 2p) 2>/dev/null")
  else
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-session-bus"
  fi
  INI="$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
}

e2e_finish() {
  if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

# A settings file as the widget writes it, so that it starts without the
# first-run question at the top-left corner of the screen.
write_ini() { # Intervalo [VerDiscosRed] [file] [Idioma]
  local file=${3:-$INI}
  mkdir -p "$(dirname "$file")"
  printf '[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=%s\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=%s\r\nIdioma=%s\r\n' \
    "$1" "${2:-False}" "${4:-0}" >"$file"
}
ini_value() { sed -n "s/^$1=\(.*\)\r\{0,1\}$/\1/p" "$INI" | tr -d '\r'; }

wait_for_line() { # file text seconds
  local i
  for i in $(seq 1 $(( $3 * 10 ))); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
geom() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'; }
# The widget's own window among the windows of a process: the one that is
# the full panel width or the start text (the other is the tray icon).
widget_window() { # pid
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    case "$(xwininfo -id "$w" | awk '/Width:/ {print $2}')" in
      339|129) echo "$w"; return 0 ;;
    esac
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
# Waits for a dialog of a process and prints it; fails after the given
# number of tenths of a second.
wait_dialog() { # pid tenths
  local i
  for i in $(seq 1 "$2"); do
    dialog_window "$1" && return 0
    sleep 0.1
  done
  return 1
}
# The first-run question "Ejecutar al inicio", waited for five seconds; with a
# log, first until the widget says it asks (fifteen seconds).
question_box() { # [log]
  local box i
  if [ $# -ge 1 ]; then
    wait_for_line "$1" "first start: asking" 15 || return 1
  fi
  for i in $(seq 1 50); do
    box=$(xdotool search --onlyvisible --name '^Ejecutar al inicio$' 2>/dev/null | head -1)
    [ -n "$box" ] && { echo "$box"; return 0; }
    sleep 0.1
  done
  return 1
}
# Answers a dialog with a key (Return: its default button, Escape: No).
answer_box() { # window key
  xdotool windowactivate --sync "$1" 2>/dev/null
  sleep 0.2
  xdotool key "$2"
}
# Answers the first-run question of the widget writing the log, and waits
# until the log tells the answer arrived.
answer_question() { # log key expected-line
  local box
  box=$(question_box "$1") || return 1
  answer_box "$box" "$2"
  wait_for_line "$1" "$3" 5
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
# The program's icon as trayer embedded it: a window of class velmora inside
# trayer's panel. Prints "x y w h" of it on the screen.
tray_icon_geometry() {
  local t line
  for t in $(xdotool search --class trayer 2>/dev/null); do
    line=$(xwininfo -id "$t" -tree 2>/dev/null | grep -F '("velmora" "velmora")' | head -1)
    [ -n "$line" ] || continue
    # ...  22x26+0+0  +1257+1
    echo "$line" | awk '{split($(NF-1), s, /[x+]/); split($NF, a, /\+/); print a[2], a[3], s[1], s[2]}'
    return 0
  done
  return 1
}
# The centre of the icon: "x y".
tray_icon_centre() {
  local x y w h
  read -r x y w h <<<"$(tray_icon_geometry)" || return 1
  [ -n "$h" ] || return 1
  echo "$((x + w / 2)) $((y + h / 2))"
}

MENU_FROM=
# Opens pmTray with the right button on the tray icon (on the widget's panel
# when no icon can be found, or when asked to) and waits for it.
open_tray_menu() { # pid [panel]
  local pid=$1 xy= i
  if [ "${2:-}" != panel ]; then
    # The icon is embedded a moment after the program starts.
    for i in $(seq 1 20); do
      xy=$(tray_icon_centre) && break
      sleep 0.1
    done
  fi
  if [ -n "$xy" ]; then
    MENU_FROM="tray icon"
  else
    local wid X Y W H
    wid=$(widget_window "$pid") || return 1
    read -r X Y W H <<<"$(geom "$wid")"
    xy="$((X + 150)) $((Y + 45))"
    MENU_FROM="widget panel"
  fi
  # shellcheck disable=SC2086
  xdotool mousemove $xy
  sleep 0.2
  xdotool click 3
  for i in $(seq 1 40); do
    open_menu "$pid" >/dev/null && { sleep 0.3; return 0; }
    sleep 0.1
  done
  return 1
}
menu_closed() { # pid
  local i
  for i in $(seq 1 30); do
    open_menu "$1" >/dev/null || return 0
    sleep 0.1
  done
  return 1
}
# Top level of pmTray, separators skipped: 1 version line, 2 start with the
# session, 3 language, 4 opacity, 5 interval, 6 network drives, 7 other machines,
# 8 refresh, 9 close. The menu opens with no item active; each Down moves one item.
keys_down() { local i; for i in $(seq 1 "$1"); do xdotool key Down; sleep 0.05; done; }
# Chooses an item through the tray menu with the keyboard; a third argument
# goes into the item's submenu. E2E_BEFORE_RETURN, when set, is run with the
# menu still open; E2E_MENU_ON=panel opens the menu on the widget's panel.
choose() { # pid, top-level position, [position in its submenu]
  open_tray_menu "$1" "${E2E_MENU_ON:-}" || { fail "the tray menu did not open"; return 1; }
  keys_down "$2"
  if [ $# -ge 3 ]; then
    xdotool key Right
    sleep 0.3
    keys_down $(($3 - 1))
    sleep 0.2
    [ -n "${E2E_BEFORE_RETURN:-}" ] && eval "$E2E_BEFORE_RETURN"
  fi
  xdotool key Return
  menu_closed "$1" || fail "the menu stayed open"
}

# The text the panel of a mount point showed last ("" when none was logged).
panel_text() { # log mountpoint
  grep -F "panel $2 reads:" "$1" | tail -1 | sed "s|^.*panel $2 reads: \{0,1\}||"
}
# What the tray menu read the last time its language was applied.
menu_text() { # log
  grep -F "menu reads:" "$1" | tail -1 | sed 's/^.*menu reads: //'
}
# Resident memory of a process in kB.
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null; }
# Starts the widget in the background, its output into the log (PID in VPID).
launch_widget() { # velmora log [env assignments...]
  local exe=$1 log=$2
  shift 2
  env "$@" "$exe" >"$log" 2>&1 &
  VPID=$!
  PIDS+=($VPID)
}
# Starts the widget in the background (PID in VPID) and waits for its first
# panel.
start_widget() { # velmora log [env assignments...]
  launch_widget "$@"
  wait_for_line "$2" "first panel painted" 20 || { cat "$2" >&2; fail "no panel painted"; return 1; }
}
# Waits up to five seconds for a process to end and returns its exit code;
# kills it (and fails) when it does not.
wait_exit() { # pid what
  local i
  for i in $(seq 1 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && { fail "$2: still running"; kill -9 "$1"; }
  wait "$1"
}
# Waits for the widget to end (as wait_exit) and checks its exit code.
expect_exit() { # pid code what
  local rc
  wait_exit "$1" "$3"
  rc=$?
  PIDS=()
  [ "$rc" = "$2" ] && pass "$3: exit code $2" || fail "$3: exit code $rc, expected $2"
}
# Chooses the last item of the tray menu (close) and checks that the program
# ends with exit code 0 and leaves Idioma=<index> in the settings file.
close_from_menu_leaving_language() { # pid index
  choose "$1" 9
  expect_exit "$1" 0 "closed from the menu"
  [ "$(ini_value Idioma)" = "$2" ] && pass "the settings file holds Idioma=$2" || fail "Idioma=$(ini_value Idioma)"
}
# Left-button drag on the widget.
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

# node_exporter's file systems on the address given (its log: $WORK/node.log),
# with Debian's own exclusions and /tmp, where tests running beside this one
# mount and unmount theirs: the instance's drives stay the same.
start_node_exporter() { # host:port
  prometheus-node-exporter --web.listen-address="$1" --collector.disable-defaults --collector.filesystem \
    --collector.filesystem.mount-points-exclude='^/(dev|proc|run|sys|mnt|media|tmp|var/lib/docker/.+|var/lib/containers/storage/.+)($|/)' \
    >"$WORK/node.log" 2>&1 &
  PIDS+=($!)
}
