#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One refresh tick of the window (bench_refresh, BM_RefreshTick) next to its
# floor (BM_Floor) in the same run, for three mixes of drives:
#   plain  this machine's own drives
#   many   the same and 200 small tmpfs drives
#   loop   the same and a tmpfs, an ext4, a btrfs and a squashfs image (shown
#          with x-gvfs-show), the last three on loop devices
# Each mix runs in a mount namespace of its own; with several bench_refresh
# programs (e.g. before and after a change) they take turns in every round.
# Prints the medians over the rounds (real time per tick) and the ratio.
#
#   scripts/bench/tick_mixes.sh <bench_refresh> [<bench_refresh> ...]
# Environment: ROUNDS (default 5), MIXES (default "plain many loop").
# Needs root for the "many" and "loop" mixes (skipped otherwise).
set -u
[ -n "${TICK_TRACE:-}" ] && set -x
[ $# -ge 1 ] || { echo "usage: $0 <bench_refresh> [<bench_refresh> ...]" >&2; exit 2; }
ROUNDS=${ROUNDS:-5}
MIXES=${MIXES:-plain many loop}
if [ "$(id -u)" = 0 ] && [ -z "${VELMORA_TICK_IN_NAMESPACE:-}" ]; then
  VELMORA_TICK_IN_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@"
fi
WORK=$(mktemp -d /tmp/velmora-tick.XXXXXX)
LOOPS=()
cleanup() {
  for m in "$WORK"/mnt/*; do umount -l "$m" 2>/dev/null; done
  for l in "${LOOPS[@]}"; do losetup -d "$l" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT

# One line per run: mix program floor_us tick_us floor_cpu_us tick_cpu_us
run() { # mix program
  local mix=$1 program=$2 out
  local env=()
  [ "$mix" = many ] && env=(VELMORA_BENCH_MOUNTS=200)
  out=$(env "${env[@]}" nice -n -15 "$program" --benchmark_filter='BM_Floor|BM_RefreshTick' \
    --benchmark_min_time=0.5 --benchmark_format=csv 2>/dev/null) || return 1
  awk -F, -v mix="$mix" -v p="$program" '
    $1 ~ /BM_Floor"?$/ { floor = $3; floorCpu = $4 } $1 ~ /BM_RefreshTick"?$/ { tick = $3; tickCpu = $4 }
    END { print mix, p, floor, tick, floorCpu, tickCpu }' <<<"$out"
}

loop_mix() {
  mkdir -p "$WORK/mnt/ram" "$WORK/mnt/ext4" "$WORK/mnt/btrfs" "$WORK/mnt/squash" "$WORK/content"
  echo content >"$WORK/content/file"
  truncate -s 64M "$WORK/ext4.img"
  truncate -s 128M "$WORK/btrfs.img"
  mkfs.ext4 -q -F -L velmora-ext4 "$WORK/ext4.img" && mkfs.btrfs -q -L velmora-btrfs "$WORK/btrfs.img" >/dev/null &&
    mksquashfs "$WORK/content" "$WORK/image.squashfs" -quiet -no-progress >/dev/null || return 1
  mount -t tmpfs -o size=8m ram "$WORK/mnt/ram" &&
    mount -o loop "$WORK/ext4.img" "$WORK/mnt/ext4" &&
    mount -o loop "$WORK/btrfs.img" "$WORK/mnt/btrfs" &&
    mount -t squashfs -o loop,ro,x-gvfs-show "$WORK/image.squashfs" "$WORK/mnt/squash" || return 1
  for m in "$WORK"/mnt/*; do
    l=$(findmnt -n -o SOURCE "$m")
    case $l in /dev/loop*) LOOPS+=("$l") ;; esac
  done
}

results="$WORK/results"
for mix in $MIXES; do
  if [ "$mix" != plain ] && [ "$(id -u)" != 0 ]; then
    echo "$mix: skipped (needs root)" >&2
    continue
  fi
  if [ "$mix" = loop ]; then
    loop_mix || { echo "loop: cannot set up the loop-device file systems" >&2; continue; }
  fi
  for round in $(seq 1 "$ROUNDS"); do
    for program in "$@"; do run "$mix" "$program" >>"$results" || echo "$mix: $program failed" >&2; done
  done
done
uptime
printf '%-6s %-40s %11s %11s %7s   %s\n' mix program "floor (µs)" "tick (µs)" ratio \
  "CPU time of the calling thread: floor, tick, ratio"
for mix in $MIXES; do
  for program in "$@"; do
    awk -v mix="$mix" -v p="$program" 'BEGIN { n = 0 } $1 == mix && $2 == p { f[n] = $3; t[n] = $4; fc[n] = $5; tc[n] = $6; n++ }
      function median(a, n,   i, j, x) {
        for (i = 1; i < n; i++) { x = a[i]; for (j = i - 1; j >= 0 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
        return n % 2 ? a[int(n / 2)] : (a[n / 2 - 1] + a[n / 2]) / 2
      }
      END {
        if (n == 0) exit
        # the ratio of each run, then its median: floor and tick of one run share its machine state
        for (i = 0; i < n; i++) { r[i] = t[i] / f[i]; rc[i] = tc[i] / fc[i] }
        printf "%-6s %-40s %11.1f %11.1f %6.2fx   %.1f, %.1f, %.2fx  (%d runs)\n", mix, p, median(f, n), median(t, n),
          median(r, n), median(fc, n), median(tc, n), median(rc, n), n
      }' "$results"
  done
done
