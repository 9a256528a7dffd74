#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What a running widget costs while nothing happens: CPU time (utime +
# stime from /proc/<pid>/stat) and wake-ups (voluntary and involuntary
# context switches from /proc/<pid>/status, all threads) over a window of
# time (default 300 s) at the 5-second interval, next to the least Qt tray
# program (bench_tray_floor) running beside it on the same desktop. Counting
# starts after a settling time, so start-up is not in the figures.
#
#   scripts/bench/idle_cost.sh <velmora> <bench_tray_floor> [seconds]
set -u
VELMORA=${1:?path of the velmora program}
FLOOR=${2:?path of bench_tray_floor}
SECS=${3:-300}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/scripts/e2e/desktop.sh"
WORK=$(mktemp -d /tmp/velmora-idle.XXXXXX)
mkdir -p "$WORK/home/.config/Brindlewick/Velmora" "$WORK/rt"
chmod 700 "$WORK/rt"
printf '[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=5\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=False\r\nIdioma=0\r\n' \
  >"$WORK/home/.config/Brindlewick/Velmora/config.ini"
velmora_desktop_start || exit $?
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done; velmora_desktop_stop; rm -rf "$WORK"' EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/rt"
unset QT_QPA_PLATFORM QT_LOGGING_RULES VELMORA_FAKE_WBEM
"$VELMORA" >"$WORK/velmora.log" 2>&1 &
V=$!; PIDS+=($V)
"$FLOOR" >"$WORK/floor.log" 2>&1 &
F=$!; PIDS+=($F)
sleep 10
TICK=$(getconf CLK_TCK)
# utime+stime ticks, voluntary, involuntary switches summed over threads, threads
sample() {
  local t u=0 v=0 n=0 c=0
  u=$(awk '{print $14 + $15}' /proc/$1/stat)
  for t in /proc/$1/task/*; do
    v=$((v + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status")))
    n=$((n + $(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$t/status")))
    c=$((c + 1))
  done
  echo "$u $v $n $c"
}
read -r vu0 vv0 vn0 _ <<<"$(sample $V)"
read -r fu0 fv0 fn0 _ <<<"$(sample $F)"
sleep "$SECS"
read -r vu1 vv1 vn1 vt <<<"$(sample $V)"
read -r fu1 fv1 fn1 ft <<<"$(sample $F)"
kill -0 $V || { echo "the widget ended" >&2; exit 1; }
report() { # name du dv dn threads
  awk -v name="$1" -v du="$2" -v dv="$3" -v dn="$4" -v t="$5" -v tick="$TICK" -v s="$SECS" \
    'BEGIN {printf "%-8s cpu %7.2f s (%.3f %%)  wake-ups %6d (%.2f/s; %d voluntary, %d involuntary)  threads %d\n",
            name, du / tick, du / tick / s * 100, dv + dn, (dv + dn) / s, dv, dn, t}'
}
echo "over $SECS s at the 5-second interval:"
report velmora $((vu1 - vu0)) $((vv1 - vv0)) $((vn1 - vn0)) "$vt"
report floor $((fu1 - fu0)) $((fv1 - fv0)) $((fn1 - fn0)) "$ft"
