#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes a picture of the widget showing this machine's drives, on a private
# Xvfb desktop set up by the end-to-end tests' library:
#   scripts/e2e/screenshot.sh <velmora> <out.png>
# Needs xwd (x11-apps) and ImageMagick's convert.
set -uo pipefail
VELMORA=${1:?path of the velmora program}
OUT=${2:?picture to write}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/tests/e2e/e2e_lib.sh"
e2e_setup shot
export QT_LOGGING_RULES="velmora.shell.debug=true"
start_widget "$VELMORA" "$WORK/log" || exit 1
sleep 1
WID=$(widget_window "$VPID") || { echo "no widget window" >&2; exit 1; }
read -r X Y W H <<<"$(geom "$WID")"
# The widget with a margin of the desktop around it.
M=12
xwd -root -silent | convert xwd:- -crop "$((W + 2 * M))x$((H + 2 * M))+$((X - M))+$((Y - M))" +repage "$OUT" || exit 1
echo "wrote $OUT (${W}x$H widget)"
