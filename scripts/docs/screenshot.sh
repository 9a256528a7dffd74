#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes docs/screenshot.png: the widget on a real X desktop (Xvfb, openbox,
# trayer) showing real drives: this machine's / and, in a private mount
# namespace (nothing outside it sees them), two ext4 images on loop devices
# and a tmpfs under /media/ana, one of them nearly full. The machine's other
# drives are unmounted inside the namespace only, so that the picture shows
# the drives set up here.
#
#   sudo scripts/docs/screenshot.sh [build folder]     (default: build)
set -eu
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
[ "$(id -u)" = 0 ] || { echo "screenshot.sh: needs root (loop mounts)" >&2; exit 1; }
if [ -z "${VELMORA_SHOT_NAMESPACE:-}" ]; then
  exec env VELMORA_SHOT_NAMESPACE=1 unshare --mount --propagation private "$0" "$@"
fi
WORK=$(mktemp -d /tmp/velmora-shot.XXXXXX)
source "$ROOT/scripts/e2e/desktop.sh"
cleanup() {
  [ -n "${VPID:-}" ] && kill "$VPID" 2>/dev/null
  velmora_desktop_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

"$BUILD/tools/velmora-wql/velmora-wql" --properties "SELECT Name FROM Win32_LogicalDisk" |
  sed -n 's/^Name="\(.*\)"$/\1/p' | grep -vx / | while read -r mount; do umount -l "$mount"; done
# /media from a folder of the root file system: a second mount of its
# device, which is no drive of its own.
mkdir -p "$WORK/media"
mount --bind "$WORK/media" /media
mkdir -p /media/ana/Fotos /media/ana/Copias /media/ana/Temporal
truncate -s 8G "$WORK/fotos.img"
mkfs.ext4 -q -L Fotos "$WORK/fotos.img"
mount -o loop "$WORK/fotos.img" /media/ana/Fotos
fallocate -l 3G /media/ana/Fotos/2026
truncate -s 2G "$WORK/copias.img"
mkfs.ext4 -q -m 0 -L Copias "$WORK/copias.img"
mount -o loop "$WORK/copias.img" /media/ana/Copias
fallocate -l 1900M /media/ana/Copias/semana
mount -t tmpfs -o size=512m velmora-shot /media/ana/Temporal
head -c 150M /dev/zero >/media/ana/Temporal/descarga

velmora_desktop_start
xsetroot -solid '#4d7394'
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/rt"
mkdir -p "$XDG_CONFIG_HOME/Brindlewick/Velmora" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf '[CONFIG]\r\nTop=44\r\nLeft=900\r\nIntervalo=5\r\nOpacidad=153\r\nEjecutarInicio=False\r\nVerDiscosRed=False\r\nIdioma=0\r\n' \
  >"$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
"$BUILD/src/shell/velmora" >"$WORK/widget.log" 2>&1 &
VPID=$!
# The first refresh after start shows the figures that came in later.
sleep 12
xwd -root -silent | "$ROOT/scripts/docs/xwd2png.py" "$ROOT/docs/screenshot.png" 820 0 460 300
echo "docs/screenshot.png written"
