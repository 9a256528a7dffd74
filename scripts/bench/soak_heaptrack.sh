#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Soak: the widget under heaptrack on a throw-away desktop (Xvfb, openbox,
# trayer) at the 5-second interval for a given time (default 30 minutes),
# with a tmpfs mounted and unmounted every minute when run as root so that
# rebuilds happen too. Prints heaptrack's summary (peak heap, leaked bytes)
# and the heap in use sampled at the start and at the end.
#
#   scripts/bench/soak_heaptrack.sh <velmora> [seconds] [output folder]
set -u
VELMORA=${1:?path of the velmora program}
SECS=${2:-1800}
OUT=${3:-$(mktemp -d /tmp/velmora-soak.XXXXXX)}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/scripts/e2e/desktop.sh"
command -v heaptrack >/dev/null || { echo "heaptrack is not installed (apt-get install heaptrack)" >&2; exit 77; }
mkdir -p "$OUT/home/.config/Brindlewick/Velmora" "$OUT/rt" "$OUT/mnt"
chmod 700 "$OUT/rt"
printf '[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=5\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=False\r\nIdioma=0\r\n' \
  >"$OUT/home/.config/Brindlewick/Velmora/config.ini"
velmora_desktop_start || exit $?
trap 'umount -l "$OUT/mnt" 2>/dev/null; velmora_desktop_stop' EXIT
export HOME="$OUT/home" XDG_CONFIG_HOME="$OUT/home/.config" XDG_RUNTIME_DIR="$OUT/rt"
unset QT_QPA_PLATFORM QT_LOGGING_RULES VELMORA_FAKE_WBEM
heaptrack -o "$OUT/velmora.heaptrack" "$VELMORA" >"$OUT/velmora.log" 2>&1 &
HT=$!
sleep 5
VPID=$(pgrep -P $HT -x velmora | head -1)
echo "soak of $SECS s; widget pid ${VPID:-?}; output in $OUT"
end=$(( $(date +%s) + SECS ))
next_mount=$(( $(date +%s) + 60 ))
: >"$OUT/rss.txt"
while [ "$(date +%s)" -lt $end ]; do
  [ -n "$VPID" ] && echo "$(date +%s) $(awk '/^VmRSS:/ {print $2}' /proc/$VPID/status 2>/dev/null)" >>"$OUT/rss.txt"
  if [ "$(id -u)" = 0 ] && [ "$(date +%s)" -ge $next_mount ]; then
    mount -t tmpfs -o size=1m velmora-soak "$OUT/mnt" && sleep 1 && umount "$OUT/mnt"
    next_mount=$(( next_mount + 60 ))
  fi
  sleep 10
done
[ -n "$VPID" ] && kill -TERM "$VPID"
wait $HT
echo "VmRSS first and last samples (kB): $(head -1 "$OUT/rss.txt") / $(tail -1 "$OUT/rss.txt")"
heaptrack_print -f "$OUT"/velmora.heaptrack.*  2>/dev/null | grep -E "^(total runtime|calls to allocation|temporary memory|peak heap memory consumption|peak RSS|total memory leaked|suppressed leaks)" 
