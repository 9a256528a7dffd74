#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The widget in a Wayland session (Debian's weston, headless, with its
# XWayland module): with XWayland there it runs on X11, where it can stay
# below the other windows and keep its place; a platform the user chose
# (QT_QPA_PLATFORM) wins; without XWayland it runs on Wayland and says once
# on stderr what it cannot do there.
#
#   e2e_wayland.sh <path of velmora>
# Exit 77 (skipped) without weston, Xwayland or Qt's Wayland platform.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
command -v weston >/dev/null || skip_loudly "weston is not installed (apt-get install weston)"
command -v Xwayland >/dev/null || skip_loudly "Xwayland is not installed (apt-get install xwayland)"
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 \
  || skip_loudly "Qt's Wayland platform is not installed (apt-get install qt6-wayland)"

WORK=$(mktemp -d /tmp/velmora-wayland.XXXXXX)
WESTON=
cleanup() {
  local p
  # weston removes its sockets and XWayland's lock when it ends by a signal
  # it handles.
  if [ -n "$WESTON" ]; then kill -TERM "$WESTON" 2>/dev/null; wait "$WESTON" 2>/dev/null; fi
  for p in "${PIDS[@]}"; do kill -0 "$p" 2>/dev/null || continue; kill -9 "$p"; wait "$p" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share" \
  XDG_RUNTIME_DIR="$WORK/rt"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="velmora.shell.debug=true"
unset QT_QPA_PLATFORM VELMORA_FAKE_WBEM WAYLAND_DISPLAY DISPLAY XDG_SESSION_TYPE LANG LANGUAGE LC_ALL LC_MESSAGES
INI="$XDG_CONFIG_HOME/Brindlewick/Velmora/config.ini"
write_ini 15 False
FAKE="$WORK/drives.fake"
printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "1073741824";\n\tName = "/srv/data";\n\tSize = "107374182400";\n};\n' >"$FAKE"

SOCKET=velmora-wayland
weston --backend=headless-backend.so --xwayland --socket="$SOCKET" --idle-time=0 >"$WORK/weston.log" 2>&1 &
WESTON=$!
wait_for_line "$WORK/weston.log" "xserver listening on display" 10 \
  || { cat "$WORK/weston.log" >&2; skip_loudly "weston did not start here with its XWayland module"; }
XW=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$WORK/weston.log" | tail -1)
echo "weston on $SOCKET, XWayland on $XW"

NOTICE="running on Wayland without XWayland"
# Starts the widget in the session described by the assignments, waits for
# the window system it names (in SYSTEM) and ends it with SIGTERM.
run_in_session() { # log [env assignments...]
  local log=$1
  shift
  launch_widget "$VELMORA" "$log" VELMORA_FAKE_WBEM="$FAKE" "$@"
  wait_for_line "$log" "window system:" 15 || { cat "$log" >&2; fail "the widget named no window system"; }
  sleep 0.3
  kill -TERM "$VPID"
  expect_exit "$VPID" 0 "SIGTERM"
  SYSTEM=$(sed -n 's/.*window system: //p' "$log" | head -1)
}
check() { # what expected-system expected-notices log [env...]
  local what=$1 expected=$2 notices=$3 log=$4 count
  shift 4
  run_in_session "$log" "$@"
  [ "$SYSTEM" = "$expected" ] && pass "$what: runs on $expected" || { cat "$log" >&2; fail "$what: runs on '$SYSTEM', expected $expected"; }
  count=$(grep -c "$NOTICE" "$log")
  [ "$count" = "$notices" ] && pass "$what: the Wayland notice $notices time(s)" || fail "$what: the Wayland notice $count time(s), expected $notices"
}
check "Wayland with XWayland" xcb 0 "$WORK/both.log" WAYLAND_DISPLAY="$SOCKET" DISPLAY="$XW"
check "Wayland with XWayland, QT_QPA_PLATFORM=wayland" wayland 0 "$WORK/chosen.log" \
  WAYLAND_DISPLAY="$SOCKET" DISPLAY="$XW" QT_QPA_PLATFORM=wayland
check "Wayland without XWayland" wayland 1 "$WORK/wayland.log" WAYLAND_DISPLAY="$SOCKET"
e2e_finish
