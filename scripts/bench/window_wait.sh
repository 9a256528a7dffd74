#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The longest wait of the widget window's thread while a network mount hangs:
# the widget runs on a private Xvfb desktop (5-second interval, network
# drives shown) beside a FUSE mount whose server never answers
# (velmora_hangfs, with a tmpfs mounted inside it before it stops answering),
# and a tmpfs is mounted and unmounted every second, so that the window
# queries the drives at least once a second (each mount change refreshes).
# strace times every system call of the window's thread (the process's main
# thread only, not the workers); the calls in which the event loop waits for
# events (poll, ppoll) are idle time, every other call is the thread waiting
# on something. Everything runs in a mount namespace of its own, so no other
# program on the machine sees the hung mount.
#
#   scripts/bench/window_wait.sh <velmora> <velmora_hangfs> [seconds, default 60]
# Needs root, /dev/fuse, strace and Xvfb.
set -u
VELMORA=$(realpath "${1:?path of the velmora program}")
HANGFS=$(realpath "${2:?path of velmora_hangfs}")
SECS=${3:-60}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
[ "$(id -u)" = 0 ] || { echo "needs root (mounts)" >&2; exit 77; }
[ -c /dev/fuse ] || { echo "needs /dev/fuse" >&2; exit 77; }
command -v strace >/dev/null || { echo "needs strace" >&2; exit 77; }
if [ -z "${VELMORA_WAIT_IN_NAMESPACE:-}" ]; then
  VELMORA_WAIT_IN_NAMESPACE=1 exec unshare -m --propagation private "$0" "$VELMORA" "$HANGFS" "$SECS"
fi
source "$ROOT/scripts/e2e/desktop.sh"
WORK=$(mktemp -d /tmp/velmora-wait.XXXXXX)
NET="$WORK/net"
TOGGLE="$WORK/toggle"
mkdir -p "$WORK/home/.config/Brindlewick/Velmora" "$WORK/rt" "$NET" "$TOGGLE"
chmod 700 "$WORK/rt"
printf '[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=5\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=True\r\nIdioma=0\r\n' \
  >"$WORK/home/.config/Brindlewick/Velmora/config.ini"
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  touch "$WORK/release"
  umount -l "$TOGGLE" "$NET/stick" 2>/dev/null
  [ -n "${HANGPID:-}" ] && kill "$HANGPID" 2>/dev/null
  umount -l "$NET" 2>/dev/null
  velmora_desktop_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

touch "$WORK/release"
VELMORA_HANGFS_RELEASE="$WORK/release" VELMORA_HANGFS_DIR=stick \
  "$HANGFS" -f -o fsname=deadserver:/export "$NET" >"$WORK/hangfs.log" 2>&1 &
HANGPID=$!
for i in $(seq 1 50); do grep -qF " $NET " /proc/self/mountinfo && break; sleep 0.1; done
mount -t tmpfs -o size=16m stick "$NET/stick" || exit 1
rm -f "$WORK/release"
sleep 1.2 # the tmpfs's folder entry expires: from now on its path waits on the server

velmora_desktop_start || exit $?
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/rt"
export QT_LOGGING_RULES="velmora.shell.debug=true"
unset QT_QPA_PLATFORM VELMORA_FAKE_WBEM VELMORA_STATFS_DEADLINE_MS
"$VELMORA" >"$WORK/velmora.log" 2>&1 &
V=$!
PIDS+=($V)
sleep 3
strace -p "$V" -ttt -T -qq -o "$WORK/strace.log" &
S=$!
PIDS+=($S)
sleep 0.5
end=$(($(date +%s) + SECS))
while [ "$(date +%s)" -lt "$end" ]; do
  mount -t tmpfs -o size=1m toggle "$TOGGLE"
  sleep 0.5
  umount "$TOGGLE"
  sleep 0.5
done
kill "$S"
wait "$S" 2>/dev/null
kill -0 "$V" 2>/dev/null || { echo "the widget ended" >&2; exit 1; }
threads=$(ls /proc/$V/task | wc -l)
refreshes=$(grep -c "mount table changed" "$WORK/velmora.log")
echo "over $SECS s with a hung network mount (and a tmpfs inside it), a mount change every 0.5 s:"
echo "  mount-change refreshes: $refreshes, plus the 5-second ticks; widget threads at the end: $threads"
# strace -ttt -T: "start name(args) = result <seconds>". The first line is
# the call strace interrupted when it attached (restart_syscall): skipped.
# The calls are told apart by what they wait for: the query's wait for its
# workers (futex), the file system (path and file calls), anything else
# (the X connection, the event loop's wake-ups: there a long call is the
# thread not being scheduled on a busy machine). Away from the event loop:
# from the return of one poll to the next poll, waits and work together.
awk '
  NR > 1 && /<[0-9.]+>$/ {
    at = $1; name = $2; sub(/\(.*/, "", name)
    t = $NF; gsub(/[<>]/, "", t)
    if (name == "poll" || name == "ppoll") {
      if (back > 0 && at - back > away) { away = at - back }
      back = at + t
      next
    }
    if (name == "futex") kind = "workers"
    else if (name ~ /^(statfs|fstatfs|statx|newfstatat|openat|readlink|access|ioctl|getdents64|lseek|read)$/) kind = "files"
    else kind = "other"
    if (t > max[kind]) { max[kind] = t; what[kind] = name }
    n[kind]++
    if (t > 0.010) slow[kind]++
  }
  END {
    printf "  longest wait for the workers (the drive query, futex): %.1f ms; %d of %d such calls over 10 ms\n",
      max["workers"] * 1000, slow["workers"], n["workers"]
    printf "  longest file-system call: %.1f ms (%s); %d of %d over 10 ms\n",
      max["files"] * 1000, what["files"], slow["files"], n["files"]
    printf "  longest other call: %.1f ms (%s); %d of %d over 10 ms\n",
      max["other"] * 1000, what["other"], slow["other"], n["other"]
    printf "  longest time away from the event loop (waits and work): %.1f ms\n", away * 1000
  }' "$WORK/strace.log"
