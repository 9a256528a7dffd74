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
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup e2e-menu
ENTRY="$XDG_CONFIG_HOME/autostart/$(basename "$VELMORA" | sed 's/\.[^.]*$//').desktop"

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
E2E_BEFORE_RETURN='[ -n "${SHOT_NOW:-}" ] && take_shot'

# --- first start: the question ---------------------------------------------
start_widget "$VELMORA" "$WORK/first.log" || e2e_finish
FIRST=$VPID
if BOX=$(question_box); then
  pass "first start asks \"Ejecutar al inicio\""
  # No owner: Qt makes a dialog without a parent transient for its hidden
  # group leader, never for the widget (whose place below all windows the
  # question would share).
  OWNER=$(xprop -id "$BOX" WM_TRANSIENT_FOR 2>/dev/null | awk '/window id/ {print $NF}')
  WID=$(widget_window $FIRST)
  [ -n "$WID" ] && [ -n "$OWNER" ] && [ $((OWNER)) = $((WID)) ] && fail "the question belongs to the widget" || pass "the question has no owner window"
  answer_box "$BOX" Return # Yes is the default button
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
choose $FIRST 9   # Cerrar
expect_exit $FIRST 0 "Cerrar"

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
start_widget "$VELMORA" "$WORK/second.log" || e2e_finish
SECOND=$VPID
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
expect_exit $SECOND 0 "SIGTERM"
[ "$(ini_value Intervalo)" = 30 ] && pass "SIGTERM wrote Intervalo=30" || fail "after SIGTERM Intervalo=$(ini_value Intervalo)"
[ "$(ini_value Opacidad)" = 102 ] && pass "and kept Opacidad=102" || fail "after SIGTERM Opacidad=$(ini_value Opacidad)"

# --- SIGTERM while the first-run question waits --------------------------------
export HOME="$WORK/home2" XDG_CONFIG_HOME="$WORK/home2/.config"
mkdir -p "$HOME"
INI="$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
ENTRY2="$XDG_CONFIG_HOME/autostart/$(basename "$ENTRY")"
launch_widget "$VELMORA" "$WORK/third.log"
THIRD=$VPID
wait_for_line "$WORK/third.log" "first start: asking" 15 || fail "no question on a first start"
sleep 0.5
kill -TERM $THIRD
expect_exit $THIRD 0 "SIGTERM during the question"
[ -f "$ENTRY2" ] && fail "an unanswered question created the autostart entry" || pass "unanswered: no autostart entry"
[ "$(ini_value EjecutarInicio 2>/dev/null)" = False ] && pass "settings written with EjecutarInicio=False" || fail "settings after SIGTERM: $(cat "$INI" 2>/dev/null)"

# --- a settings file that cannot be written -----------------------------------
export HOME="$WORK/home3" XDG_CONFIG_HOME="$WORK/home3/.config"
mkdir -p "$XDG_CONFIG_HOME"
: >"$XDG_CONFIG_HOME/Brindlewick" # a file where the folder must go
# Closed from the menu: an error box before the program ends.
launch_widget "$VELMORA" "$WORK/nowrite.log"
NOWRITE=$VPID
answer_question "$WORK/nowrite.log" Escape "start with the session: false" || fail "question not answered"
choose $NOWRITE 9 # Cerrar
if ERRBOX=$(wait_dialog $NOWRITE 50); then
  pass "a failed write shows an error box at close"
  kill -0 $NOWRITE 2>/dev/null && pass "the program waits for the box" || fail "ended without waiting"
  answer_box "$ERRBOX" Return
else
  fail "no error box for the failed write"
fi
wait_exit $NOWRITE "after the error box"
PIDS=()
grep -qF "Unable to write to $XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini" "$WORK/nowrite.log" && pass "and on stderr" || fail "no message on stderr"
# Ended by SIGTERM: stderr only, and no waiting for a click.
launch_widget "$VELMORA" "$WORK/nowrite2.log"
NOWRITE=$VPID
answer_question "$WORK/nowrite2.log" Escape "start with the session: false" || fail "question not answered"
kill -TERM $NOWRITE
wait_exit $NOWRITE "a failed write after SIGTERM waits for something"
PIDS=()
grep -qF "Unable to write to" "$WORK/nowrite2.log" && pass "after SIGTERM the failed write is on stderr" || fail "no message on stderr after SIGTERM"

e2e_finish
