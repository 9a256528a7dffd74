#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Spanish and English at run time, on a real X desktop (Xvfb + openbox +
# trayer): "Inglés" chosen through the tray icon's menu turns the menu into
# English at once and the panels' "disponibles de" into "available from" at
# the next refresh; "Close" writes Idioma=1, and the next start comes up in
# English with its item marked. "Spanish" turns it back.
#
#   e2e_language.sh <path of velmora>
# Exit 77 (skipped) when Xvfb, xdotool, xwininfo or xprop is missing.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup e2e-language

# Every "panel ... reads:" line of a log from line FROM on.
panel_lines_after() { # log from
  tail -n +"$2" "$1" | grep -F "reads:"
}
# Waits for a refresh after line FROM whose panels all read TEXT.
wait_for_panels() { # log from text seconds
  local i lines
  for i in $(seq 1 $(($4 * 10))); do
    lines=$(panel_lines_after "$1" "$2")
    [ -n "$lines" ] && echo "$lines" | grep -qF -- "$3" && return 0
    sleep 0.1
  done
  return 1
}
# Checks that the last menu read of a log holds each of the texts.
menu_reads() { # log what text...
  local log=$1 what=$2 menu text missing=
  shift 2
  menu=$(menu_text "$log")
  for text in "$@"; do
    case "$menu" in *"$text"*) ;; *) missing+=" \"$text\"" ;; esac
  done
  [ -z "$missing" ] && pass "$what: the menu reads $*" || fail "$what: the menu lacks$missing: $menu"
}

write_ini 5 False "$INI" 0

# --- Spanish, then "Inglés" from the tray menu -----------------------------------
start_widget "$VELMORA" "$WORK/first.log" || e2e_finish
menu_reads "$WORK/first.log" "Spanish start" "Idioma [Español | Inglés]" "Nivel de &opacidad" "Ver discos de &red" "&Cerrar"
wait_for_panels "$WORK/first.log" 1 " GB disponibles de " 10 && pass "panels read \"... GB disponibles de ... GB\"" ||
  fail "panels: $(panel_lines_after "$WORK/first.log" 1 | tail -2)"

FROM=$(($(wc -l <"$WORK/first.log") + 1))
choose $VPID 3 2 # Idioma > Inglés
[ "$MENU_FROM" = "tray icon" ] || fail "no tray icon found; the menu was opened on the $MENU_FROM"
menu_reads "$WORK/first.log" "after \"Inglés\"" "Language [Spanish | English]" "Level of &opacity" "&Refresh interval [5 sec." \
  "Show &network drives" "&Refresh" "&Close" "Version "
case "$(menu_text "$WORK/first.log")" in *Idioma*|*Cerrar*) fail "Spanish left in the menu: $(menu_text "$WORK/first.log")" ;; esac
if wait_for_panels "$WORK/first.log" "$FROM" " GB available from " 12; then
  pass "after the next refresh the panels read \"... GB available from ... GB\""
  panel_lines_after "$WORK/first.log" "$FROM" | tail -1 | sed 's/^.*panel /  panel /'
else
  fail "panels after the switch: $(panel_lines_after "$WORK/first.log" "$FROM" | tail -2)"
fi

close_from_menu_leaving_language $VPID 1 # "Close"

# --- the next start comes up in English ---------------------------------------
start_widget "$VELMORA" "$WORK/second.log" || e2e_finish
menu_reads "$WORK/second.log" "English start" "Language [Spanish | English]" "Level of &opacity" "Show &network drives" "&Close"
grep -F "menu marks:" "$WORK/second.log" | tail -1 | grep -qw Ingls1 && pass "English is the marked language" ||
  fail "marks: $(grep -F "menu marks:" "$WORK/second.log" | tail -1)"
wait_for_panels "$WORK/second.log" 1 " GB available from " 10 && pass "its panels read \"available from\" from the start" ||
  fail "panels: $(panel_lines_after "$WORK/second.log" 1 | tail -2)"
panel_lines_after "$WORK/second.log" 1 | grep -qF "disponibles" && fail "a panel showed Spanish on an English start"

# --- and back to Spanish, written at SIGTERM ------------------------------------
FROM=$(($(wc -l <"$WORK/second.log") + 1))
choose $VPID 3 1 # Language > Spanish
menu_reads "$WORK/second.log" "after \"Spanish\"" "Idioma [Español | Inglés]" "Nivel de &opacidad" "&Cerrar"
wait_for_panels "$WORK/second.log" "$FROM" " GB disponibles de " 12 && pass "the panels read Spanish again" ||
  fail "panels after going back: $(panel_lines_after "$WORK/second.log" "$FROM" | tail -2)"
kill -TERM $VPID
wait_exit $VPID "after SIGTERM"
PIDS=()
[ "$(ini_value Idioma)" = 0 ] && pass "SIGTERM wrote Idioma=0" || fail "after SIGTERM Idioma=$(ini_value Idioma)"

e2e_finish
