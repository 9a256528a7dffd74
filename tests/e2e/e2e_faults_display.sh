#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The X server goes away under the running widget (a crashed or stopped
# display, a closed remote session): the widget ends, and its settings are
# written on the way out as when the session ends with SIGTERM. The file
# before holds values the widget writes back in its own spelling (0 becomes
# False), so a rewrite is told from the old file.
#
#   e2e_faults_display.sh <path of velmora>
# Exit 77 (skipped) without Xvfb or xdotool.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup faults-display

mkdir -p "$(dirname "$INI")"
printf '[CONFIG]\nTop=47\nLeft=33\nIntervalo=30\nOpacidad=102\nEjecutarInicio=0\nVerDiscosRed=0\nIdioma=0\n' >"$INI"
start_widget "$VELMORA" "$WORK/widget.log" || e2e_finish
XPID=${VELMORA_DESKTOP_PIDS[0]}
kill -9 "$XPID"
wait_exit "$VPID" "the widget after the X server went away"
code=$?
echo "exit code $code"
grep -q "settings written" "$WORK/widget.log" && pass "the settings were written on the way out" \
  || { tail -5 "$WORK/widget.log" >&2; fail "no settings written after the display went away"; }
[ "$(ini_value EjecutarInicio)" = False ] && [ "$(ini_value VerDiscosRed)" = False ] \
  && pass "the file is the widget's own" || { cat "$INI" >&2; fail "the file was not rewritten"; }
[ "$(ini_value Intervalo)" = 30 ] && [ "$(ini_value Opacidad)" = 102 ] \
  && pass "the choices are kept" || fail "the choices changed: $(tr '\n' ' ' <"$INI")"
e2e_finish
