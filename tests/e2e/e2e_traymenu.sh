#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The tray menu on a real X desktop (Xvfb + openbox + trayer), driven through
# the notification-area icon with xdotool: the first-run question answered
# Yes creates the autostart entry; "10 sg.", "40%" and the network drives
# chosen from the menu and "Cerrar" leave them in the settings file; a second
# start comes up with them (window opacity, menu marks) and asks nothing; a
# choice followed by SIGTERM is written too. SIGTERM while the question waits
# ends the program without an answer; a settings file that cannot be written
# is reported in a box after "Cerrar" and on stderr after SIGTERM.
#
#   e2e_traymenu.sh <path of velmora>
# Exit 77 (skipped) when Xvfb, xdotool, xwininfo or xprop is missing.
# With VELMORA_TRAYMENU_SHOT=<file.png> (and ImageMagick's convert and xwd)
# it also saves a picture of the desktop with the menu open.
set -u
VELMORA=${1:?path of the velmora program}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/scripts/e2e/desktop.sh"

for tool in xdotool xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

WORK=$(mktemp -d /tmp/velmora-e2e-menu.XXXXXX)
failures=0
PIDS=()

cleanup() {
  local p
  for p in "${PIDS[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  velmora_desktop_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

velmora_desktop_start
rc=$?
[ $rc -eq 0 ] || exit $rc
echo "desktop on $DISPLAY"

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/rt"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="velmora.shell.debug=true"
unset QT_QPA_PLATFORM VELMORA_FAKE_WBEM
INI="$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
ENTRY="$XDG_CONFIG_HOME/autostart/$(basename "$VELMORA" | sed 's/\.[^.]*$//').desktop"

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
# The program's icon as trayer embedded it: a window of class velmora inside
# trayer's panel. Prints "x y" of its centre.
tray_icon_centre() {
  local t line
  for t in $(xdotool search --class trayer 2>/dev/null); do
    line=$(xwininfo -id "$t" -tree 2>/dev/null | grep -F '("velmora" "velmora")' | head -1)
    [ -n "$line" ] || continue
    # ...  22x26+0+0  +1257+1
    echo "$line" | awk '{n = split($(NF-1), s, /[x+]/); split($NF, a, /\+/); print a[2] + int(s[1] / 2), a[3] + int(s[2] / 2)}'
    return 0
  done
  return 1
}
# The open popup menu of a process, if any: a visible window that the window
# manager does not manage (override-redirect), wider than the tray icon.
open_menu() { # pid
  local w info
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    info=$(xwininfo -id "$w" 2>/dev/null)
    echo "$info" | grep -q 'Override Redirect State: yes' || continue
    [ "$(echo "$info" | awk '/Width:/ {print $2}')" -gt 60 ] && { echo "$w"; return 0; }
  done
  return 1
}

MENU_FROM=
# Opens pmTray with the right button on the tray icon (on the widget's panel
# when no icon can be found) and waits for it.
open_tray_menu() { # pid
  local pid=$1 xy i
  if xy=$(tray_icon_centre); then
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
  for i in $(seq 1 30); do
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
# Top level of pmTray, separators skipped: 1 version line, 2 Ejecutar al
# inicio, 3 Idioma, 4 opacity, 5 interval, 6 network drives, 7 Refrescar,
# 8 Cerrar. The menu opens with no item active; each Down moves one item.
keys_down() { local i; for i in $(seq 1 "$1"); do xdotool key Down; sleep 0.05; done; }
choose() { # pid, top-level position, [position in its submenu]
  open_tray_menu "$1" || { fail "the tray menu did not open"; return 1; }
  keys_down "$2"
  if [ $# -ge 3 ]; then
    xdotool key Right
    sleep 0.3
    keys_down $(($3 - 1))
    sleep 0.2
    [ -n "${SHOT_NOW:-}" ] && take_shot
  fi
  xdotool key Return
  menu_closed "$1" || fail "the menu stayed open"
}
take_shot() {
  SHOT_NOW=
  [ -n "${VELMORA_TRAYMENU_SHOT:-}" ] || return 0
  if command -v xwd >/dev/null && command -v convert >/dev/null; then
    xwd -root -silent | convert xwd:- -crop 560x240+720+0 +repage "$VELMORA_TRAYMENU_SHOT" &&
      echo "picture of the open menu in $VELMORA_TRAYMENU_SHOT"
  else
    echo "no picture: xwd or convert missing" >&2
  fi
}
ini_value() { sed -n "s/^$1=\(.*\)\r\{0,1\}$/\1/p" "$INI" | tr -d '\r'; }

# --- first start: the question ---------------------------------------------
"$VELMORA" >"$WORK/first.log" 2>&1 &
FIRST=$!
PIDS+=($FIRST)
wait_for_line "$WORK/first.log" "first panel painted" 15 || { cat "$WORK/first.log" >&2; fail "no panel painted"; exit 1; }
BOX=
for i in $(seq 1 50); do
  BOX=$(xdotool search --onlyvisible --name '^Ejecutar al inicio$' 2>/dev/null | head -1)
  [ -n "$BOX" ] && break
  sleep 0.1
done
if [ -n "$BOX" ]; then
  pass "first start asks \"Ejecutar al inicio\""
  # No owner: Qt makes a dialog without a parent transient for its hidden
  # group leader, never for the widget (whose place below all windows the
  # question would share).
  OWNER=$(xprop -id "$BOX" WM_TRANSIENT_FOR 2>/dev/null | awk '/window id/ {print $NF}')
  WID=$(widget_window $FIRST)
  [ -n "$WID" ] && [ -n "$OWNER" ] && [ $((OWNER)) = $((WID)) ] && fail "the question belongs to the widget" || pass "the question has no owner window"
  xdotool windowactivate --sync "$BOX" 2>/dev/null
  sleep 0.2
  xdotool key Return # Yes is the default button
  wait_for_line "$WORK/first.log" "start with the session: true" 5 && pass "Return answers Yes" || fail "no answer seen"
  for i in $(seq 1 30); do [ -f "$ENTRY" ] && break; sleep 0.1; done
  [ -f "$ENTRY" ] && pass "autostart entry $(basename "$ENTRY") created" || fail "no autostart entry at $ENTRY"
else
  fail "no question box on the first start"
fi
[ -f "$INI" ] && fail "a settings file exists before the widget was closed" || pass "no settings file while running"

# --- choices through the tray menu -------------------------------------------
SHOT_NOW=1
choose $FIRST 5 2 # Intervalo de actualización > 10 sg.
echo "menu opened from the $MENU_FROM"
[ "$MENU_FROM" = "tray icon" ] && pass "the tray icon opens pmTray" || fail "no tray icon found; used the panel"
choose $FIRST 4 3 # Nivel de opacidad > 40%
choose $FIRST 6   # Ver discos de red
WID=$(widget_window $FIRST)
# Level 102 ("40%") is alpha 255 - 102 = 153: the property holds 153/255 of
# 0xffffffff.
EXPECTED=$(awk 'BEGIN {printf "%.0f", 153 / 255 * 4294967295}')
near() { [ -n "$1" ] && [ $(($1 - $2)) -le 1 ] && [ $(($2 - $1)) -le 1 ]; }
OPACITY=$(xprop -id "$WID" _NET_WM_WINDOW_OPACITY 2>/dev/null | awk '{print $NF}')
near "$OPACITY" "$EXPECTED" && pass "\"40%\" applied at once: opacity $OPACITY" || fail "opacity '$OPACITY' after \"40%\", expected $EXPECTED"
choose $FIRST 8   # Cerrar
for i in $(seq 1 50); do kill -0 $FIRST 2>/dev/null || break; sleep 0.1; done
kill -0 $FIRST 2>/dev/null && { fail "still running after Cerrar"; kill -9 $FIRST; }
wait $FIRST
rc=$?
PIDS=()
[ $rc = 0 ] && pass "Cerrar ends it with exit code 0" || fail "exit code $rc after Cerrar"

if [ -f "$INI" ]; then
  echo "--- $INI"; cat "$INI"; echo "---"
  [ "$(ini_value Intervalo)" = 10 ] && pass "Intervalo=10" || fail "Intervalo=$(ini_value Intervalo)"
  [ "$(ini_value Opacidad)" = 102 ] && pass "Opacidad=102" || fail "Opacidad=$(ini_value Opacidad)"
  [ "$(ini_value VerDiscosRed)" = True ] && pass "VerDiscosRed=True" || fail "VerDiscosRed=$(ini_value VerDiscosRed)"
  [ "$(ini_value EjecutarInicio)" = True ] && pass "EjecutarInicio=True" || fail "EjecutarInicio=$(ini_value EjecutarInicio)"
  [ "$(ini_value Idioma)" = 0 ] && pass "Idioma=0" || fail "Idioma=$(ini_value Idioma)"
  head -1 "$INI" | tr -d '\r' | grep -qx '\[CONFIG\]' && pass "section CONFIG" || fail "first line $(head -1 "$INI")"
else
  fail "no settings file after Cerrar"
  cat "$WORK/first.log" >&2
fi

# --- second start: the options come back ------------------------------------
"$VELMORA" >"$WORK/second.log" 2>&1 &
SECOND=$!
PIDS+=($SECOND)
wait_for_line "$WORK/second.log" "first panel painted" 15 || { cat "$WORK/second.log" >&2; fail "no panel painted"; exit 1; }
sleep 1
grep -qF "first start" "$WORK/second.log" && fail "asked again although settings exist" || pass "no question on the second start"
[ -z "$(xdotool search --onlyvisible --name '^Ejecutar al inicio$' 2>/dev/null)" ] || fail "a question box is open"
MARKS=$(grep -F "menu marks:" "$WORK/second.log" | tail -1)
echo "$MARKS"
for item in Ejecutaralinicio1 NOpa40 N10sg2 Verdiscosdered1 Espaol1; do
  echo "$MARKS" | grep -qw "$item" && pass "$item checked" || fail "$item not checked"
done
for item in NOpa60 N15sg1; do
  echo "$MARKS" | grep -qw "$item" && fail "$item still checked"
done
WID=$(widget_window $SECOND) || fail "no widget window"
OPACITY=$(xprop -id "$WID" _NET_WM_WINDOW_OPACITY 2>/dev/null | awk '{print $NF}')
near "$OPACITY" "$EXPECTED" && pass "_NET_WM_WINDOW_OPACITY $OPACITY (alpha 153)" || fail "_NET_WM_WINDOW_OPACITY '$OPACITY', expected $EXPECTED"

# --- a choice, then SIGTERM -------------------------------------------------
BEFORE=$(cat "$INI")
choose $SECOND 5 4 # 30 sg.
[ "$(cat "$INI")" = "$BEFORE" ] && pass "nothing written while running" || fail "the file changed before the end"
kill -TERM $SECOND
wait $SECOND
rc=$?
PIDS=()
[ $rc = 0 ] && pass "SIGTERM ends it with exit code 0" || fail "SIGTERM exit code $rc"
[ "$(ini_value Intervalo)" = 30 ] && pass "SIGTERM wrote Intervalo=30" || fail "after SIGTERM Intervalo=$(ini_value Intervalo)"
[ "$(ini_value Opacidad)" = 102 ] && pass "and kept Opacidad=102" || fail "after SIGTERM Opacidad=$(ini_value Opacidad)"

# --- SIGTERM while the first-run question waits --------------------------------
export HOME="$WORK/home2" XDG_CONFIG_HOME="$WORK/home2/.config"
mkdir -p "$HOME"
INI="$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
ENTRY2="$XDG_CONFIG_HOME/autostart/$(basename "$ENTRY")"
"$VELMORA" >"$WORK/third.log" 2>&1 &
THIRD=$!
PIDS+=($THIRD)
wait_for_line "$WORK/third.log" "first start: asking" 15 || fail "no question on a first start"
sleep 0.5
kill -TERM $THIRD
for i in $(seq 1 50); do kill -0 $THIRD 2>/dev/null || break; sleep 0.1; done
kill -0 $THIRD 2>/dev/null && { fail "SIGTERM did not end it while the question waited"; kill -9 $THIRD; }
wait $THIRD
rc=$?
PIDS=()
[ $rc = 0 ] && pass "SIGTERM during the question: exit code 0" || fail "SIGTERM during the question: exit code $rc"
[ -f "$ENTRY2" ] && fail "an unanswered question created the autostart entry" || pass "unanswered: no autostart entry"
[ "$(ini_value EjecutarInicio 2>/dev/null)" = False ] && pass "settings written with EjecutarInicio=False" || fail "settings after SIGTERM: $(cat "$INI" 2>/dev/null)"

# --- a settings file that cannot be written -----------------------------------
export HOME="$WORK/home3" XDG_CONFIG_HOME="$WORK/home3/.config"
mkdir -p "$XDG_CONFIG_HOME"
: >"$XDG_CONFIG_HOME/Brindlewick" # a file where the folder must go
answer_question_no() { # log
  local box i
  wait_for_line "$1" "first start: asking" 15 || return 1
  for i in $(seq 1 50); do
    box=$(xdotool search --onlyvisible --name '^Ejecutar al inicio$' 2>/dev/null | head -1)
    [ -n "$box" ] && break
    sleep 0.1
  done
  xdotool windowactivate --sync "$box" 2>/dev/null
  sleep 0.2
  xdotool key Escape
  wait_for_line "$1" "start with the session: false" 5
}
# Closed from the menu: an error box before the program ends.
"$VELMORA" >"$WORK/nowrite.log" 2>&1 &
NOWRITE=$!
PIDS+=($NOWRITE)
answer_question_no "$WORK/nowrite.log" || fail "question not answered"
choose $NOWRITE 8 # Cerrar
ERRBOX=
for i in $(seq 1 50); do
  for w in $(xdotool search --onlyvisible --pid $NOWRITE 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && ERRBOX=$w
  done
  [ -n "$ERRBOX" ] && break
  sleep 0.1
done
if [ -n "$ERRBOX" ]; then
  pass "a failed write shows an error box at close"
  kill -0 $NOWRITE 2>/dev/null && pass "the program waits for the box" || fail "ended without waiting"
  xdotool windowactivate --sync "$ERRBOX" 2>/dev/null
  xdotool key Return
else
  fail "no error box for the failed write"
fi
for i in $(seq 1 50); do kill -0 $NOWRITE 2>/dev/null || break; sleep 0.1; done
kill -0 $NOWRITE 2>/dev/null && { fail "still running after the error box"; kill -9 $NOWRITE; }
wait $NOWRITE
PIDS=()
grep -qF "Unable to write to $XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini" "$WORK/nowrite.log" && pass "and on stderr" || fail "no message on stderr"
# Ended by SIGTERM: stderr only, and no waiting for a click.
"$VELMORA" >"$WORK/nowrite2.log" 2>&1 &
NOWRITE=$!
PIDS+=($NOWRITE)
answer_question_no "$WORK/nowrite2.log" || fail "question not answered"
kill -TERM $NOWRITE
for i in $(seq 1 50); do kill -0 $NOWRITE 2>/dev/null || break; sleep 0.1; done
kill -0 $NOWRITE 2>/dev/null && { fail "a failed write after SIGTERM waits for something"; kill -9 $NOWRITE; }
wait $NOWRITE
PIDS=()
grep -qF "Unable to write to" "$WORK/nowrite2.log" && pass "after SIGTERM the failed write is on stderr" || fail "no message on stderr after SIGTERM"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all tray-menu checks passed"
