#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SIGKILL while the settings file is being saved: the file left behind is
# always a whole one, the old or the new, never a mix or a piece.
#  1. velmora_configwriter saves two different sets of values in turn without
#     end and is killed at a random moment, 200 times: the file is then
#     byte for byte one of the two.
#  2. The widget itself on a real X desktop, 25 rounds: SIGTERM (which saves
#     the settings on the way out) and SIGKILL a random few milliseconds
#     later: the file is then the one written before the round or the one
#     the widget writes, byte for byte.
#
#   e2e_faults_kill.sh <path of velmora> <path of velmora_configwriter>
# Exit 77 (skipped) without Xvfb or xdotool.
set -u
VELMORA=${1:?path of the velmora program}
WRITER=${2:?path of velmora_configwriter}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup faults-kill

# --- 1. the save loop ------------------------------------------------------------
mkdir -p "$WORK/loop"
"$WRITER" once A "$WORK/A.ini" && "$WRITER" once B "$WORK/B.ini" || { fail "the writer does not run"; e2e_finish; }
cmp -s "$WORK/A.ini" "$WORK/B.ini" && fail "A and B are the same file"
bad=0; seenA=0; seenB=0
for round in $(seq 1 200); do
  F="$WORK/loop/config.ini"
  "$WRITER" loop "$F" &
  W=$!
  sleep "0.0$(printf '%02d' $((RANDOM % 30 + 1)))"
  kill -9 $W
  wait $W 2>/dev/null
  if [ ! -e "$F" ]; then
    :   # killed before its first save
  elif cmp -s "$F" "$WORK/A.ini"; then
    seenA=$((seenA + 1))
  elif cmp -s "$F" "$WORK/B.ini"; then
    seenB=$((seenB + 1))
  else
    bad=$((bad + 1))
    [ $bad = 1 ] && { echo "round $round left:"; cat -A "$F"; }
  fi
done
echo "200 kills: A $seenA times, B $seenB times, neither $bad times"
[ $bad = 0 ] && pass "every kill left A or B whole" || fail "$bad kills left a file that is neither A nor B"
[ $seenA -gt 0 ] && [ $seenB -gt 0 ] && pass "kills fell on both saves" || fail "the kills never fell between saves"
stray=$(find "$WORK/loop" -mindepth 1 ! -name config.ini | wc -l)
[ "$stray" = 0 ] && pass "no temporary files left by the kills" || echo "note: $stray temporary files left by the kills"

# --- 2. the widget -----------------------------------------------------------------
# The old file holds values that the widget reads but writes back in its own
# spelling (0 becomes False), so the new file differs from it and is
# known byte for byte.
write_old() { printf '[CONFIG]\nIntervalo=%s\nTop=47\nLeft=33\nOpacidad=200\nEjecutarInicio=0\nVerDiscosRed=0\nIdioma=0\n' "$1" >"$INI"; }
bad=0; old=0; new=0
for round in $(seq 1 25); do
  interval=$(( (round % 2) ? 10 : 30 ))
  mkdir -p "$(dirname "$INI")"
  write_old $interval
  cp "$INI" "$WORK/old.ini"
  sed 's/=0$/=False/; s/^Idioma=False$/Idioma=0/' "$WORK/old.ini" >"$WORK/new.ini"
  start_widget "$VELMORA" "$WORK/widget.log" || break
  kill -TERM $VPID
  # SIGTERM to the end of the save takes about 10 ms here.
  sleep "0.0$(printf '%02d' $((RANDOM % 16)))"
  kill -9 $VPID 2>/dev/null
  wait $VPID 2>/dev/null
  PIDS=()
  if cmp -s "$INI" "$WORK/old.ini"; then
    old=$((old + 1))
  elif cmp -s <(grep -v '^Top=\|^Left=' "$INI") <(grep -v '^Top=\|^Left=' "$WORK/new.ini") &&
       [ "$(grep -c '^Top=-\{0,1\}[0-9][0-9]*$\|^Left=-\{0,1\}[0-9][0-9]*$' "$INI")" = 2 ]; then
    # The window's place is the one thing that may differ: a widget ended
    # right after it appeared can save it before the window manager placed it.
    new=$((new + 1))
  else
    bad=$((bad + 1))
    echo "round $round left:"; cat -A "$INI" 2>&1
  fi
done
echo "25 rounds: old file $old times, new file $new times, neither $bad times"
[ $bad = 0 ] && pass "SIGKILL during the widget's save never left a partial file" || fail "$bad rounds left a partial or mixed file"
[ $((old + new + bad)) = 25 ] || fail "only $((old + new + bad)) rounds ran"
[ $new -gt 0 ] || fail "no round got as far as the new file: the widget never saved"
e2e_finish
