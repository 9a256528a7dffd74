#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes a picture of the widget showing this machine's drives, on a private
# Xvfb desktop:  scripts/e2e/screenshot.sh <velmora> <out.png>
# Needs xwd (x11-apps) and ImageMagick's convert.
set -euo pipefail
VELMORA=${1:?path of the velmora program}
OUT=${2:?picture to write}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/scripts/e2e/desktop.sh"
velmora_desktop_start
WORK=$(mktemp -d /tmp/velmora-shot.XXXXXX)
trap 'kill $PID 2>/dev/null; wait $PID 2>/dev/null; velmora_desktop_stop; rm -rf "$WORK"' EXIT
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/.config" XDG_RUNTIME_DIR="$WORK/rt"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="velmora.shell.debug=true"
"$VELMORA" >"$WORK/log" 2>&1 &
PID=$!
for i in $(seq 1 100); do grep -q "first panel painted" "$WORK/log" && break; sleep 0.1; done
sleep 1
for w in $(xdotool search --onlyvisible --pid $PID); do
  [ "$(xwininfo -id "$w" | awk '/Width:/ {print $2}')" = 339 ] && WID=$w
done
read -r X Y W H <<<"$(xwininfo -id "$WID" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')"
# The widget with a margin of the desktop around it.
M=12
xwd -root -silent | convert xwd:- -crop "$((W + 2 * M))x$((H + 2 * M))+$((X - M))+$((Y - M))" +repage "$OUT"
echo "wrote $OUT (${W}x$H widget)"
