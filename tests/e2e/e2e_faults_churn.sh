#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Mount churn with the widget running on a real X desktop at the 5-second
# interval: for a minute a tmpfs appears and vanishes every 100 ms (each
# change makes the widget rebuild its panels at once). Afterwards it still
# runs, it has exactly the panels it had before (window height), and its
# resident memory stayed flat: the last third of the samples is no more than
# 5 MB above the first third. A leak check, not a speed figure.
#
#   e2e_faults_churn.sh <path of velmora> [seconds, default 60]
# Exit 77 (skipped) without root, Xvfb or xdotool.
set -u
VELMORA=${1:?path of the velmora program}
SECONDS_OF_CHURN=${2:-60}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
[ "$(id -u)" = 0 ] || skip_loudly "needs root to mount tmpfs file systems"
e2e_setup faults-churn
# The churn's own debug lines would be a few megabytes; shell lines suffice.
export QT_LOGGING_RULES="velmora.shell.debug=true"

write_ini 5 False
start_widget "$VELMORA" "$WORK/widget.log" || e2e_finish
sleep 1
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
read -r _ _ _ H0 <<<"$(geom "$WID")"
echo "before: height $H0 ($((H0 / 58)) panels), VmRSS $(rss_kb $VPID) kB"

mkdir -p "$WORK/churn1" "$WORK/churn2"
(
  end=$(( $(date +%s) + SECONDS_OF_CHURN ))
  n=0
  while [ "$(date +%s)" -lt $end ]; do
    d="$WORK/churn$((n % 2 + 1))"
    mount -t tmpfs -o size=1m "velmora-churn$n" "$d" 2>/dev/null
    sleep 0.05
    umount "$d" 2>/dev/null
    sleep 0.05
    n=$((n + 1))
  done
  echo "$n" >"$WORK/cycles"
) &
CHURN=$!
PIDS+=($CHURN)
CLEANUP_EXTRA+=("umount -l '$WORK/churn1' '$WORK/churn2' 2>/dev/null")

SAMPLES=()
while kill -0 $CHURN 2>/dev/null; do
  kill -0 $VPID 2>/dev/null || break
  SAMPLES+=("$(rss_kb $VPID)")
  sleep 3
done
wait $CHURN
echo "churn: $(cat "$WORK/cycles" 2>/dev/null) mount/unmount cycles; $(grep -c 'mount table changed' "$WORK/widget.log") refreshes on a change"
echo "VmRSS samples (kB): ${SAMPLES[*]}"
# The mount watcher lets at most one refresh through per 150 ms; under churn
# it must still let them through, not wait for a quiet moment.
changes=$(grep -c 'mount table changed' "$WORK/widget.log")
[ "$changes" -ge "$SECONDS_OF_CHURN" ] && pass "$changes refreshes on a change during the churn" ||
  fail "only $changes refreshes on a change in $SECONDS_OF_CHURN s of churn"

if kill -0 $VPID 2>/dev/null; then
  pass "still running after the churn"
else
  wait $VPID; fail "the widget ended during the churn (exit code $?)"; tail -20 "$WORK/widget.log" >&2; e2e_finish
fi
sleep 2
read -r _ _ _ H1 <<<"$(geom "$WID")"
[ "$H1" = "$H0" ] && pass "height $H1: the same $((H1 / 58)) panels as before" || fail "height $H1 after the churn, $H0 before"

n=${#SAMPLES[@]}
if [ "$n" -ge 6 ]; then
  third=$((n / 3))
  first=0; last=0
  for i in $(seq 0 $((third - 1))); do first=$((first + SAMPLES[i])); last=$((last + SAMPLES[n - 1 - i])); done
  first=$((first / third)); last=$((last / third))
  growth=$((last - first))
  echo "mean VmRSS: first third $first kB, last third $last kB, growth $growth kB"
  [ $growth -lt 5120 ] && pass "resident memory flat (growth $growth kB)" || fail "resident memory grew $growth kB"
else
  fail "only $n memory samples"
fi
kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM"
e2e_finish
