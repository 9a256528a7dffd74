#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every figure of the README's "How fast is it?" table from a build
# folder: each subject next to its anchor in the same run. With root, the
# query figures are taken a second time with 200 more tmpfs drives, mounted
# in a mount namespace of their own (they vanish with it). The idle figures
# (5 minutes alone; 3 minutes beside conky) are left out unless IDLE=1.
#
#   scripts/bench/figures.sh <build folder>
set -u
B=${1:?build folder}
HERE=$(cd "$(dirname "$0")" && pwd)
echo "== refresh tick, query and rebuild vs libmount + statvfs (this machine's drives)"
"$B/bench/bench_refresh" --benchmark_min_time=1
echo "== velmora-wql vs df -B1 (this machine's drives)"
"$B/bench/bench_wql_process"
if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null; then
  echo "== the same with 200 more tmpfs drives"
  VELMORA_BENCH_MOUNTS=200 "$B/bench/bench_refresh" --benchmark_min_time=1
  unshare -m --propagation private bash -c '
    d=$(mktemp -d /tmp/velmora-bench-mounts.XXXXXX)
    for i in $(seq 1 200); do mkdir "$d/vol$i" && mount -t tmpfs -o size=1m velmora-bench "$d/vol$i"; done
    "$0/bench/bench_wql_process"' "$B"
fi
echo "== start-up vs the least Qt tray program"
"$B/bench/bench_startup"
echo "== a fleet of 4,000 drives in the widget vs 10 drives"
"$B/bench/bench_fleet"
echo "== translation reading and language switch vs their floors"
"$B/bench/bench_translation"
"$B/bench/bench_language"
if [ "${IDLE:-0}" = 1 ]; then
  echo "== idle cost over 5 minutes"
  "$HERE/idle_cost.sh" "$B/src/shell/velmora" "$B/bench/bench_tray_floor" 300
  echo "== idle cost per hour, 10 tmpfs drives at 5 s, beside conky and the floor with one timer (root)"
  "$B/bench/bench_idle"
fi
