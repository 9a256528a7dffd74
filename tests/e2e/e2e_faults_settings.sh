#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The settings file cannot be saved at close, with the widget on a real X
# desktop: the file system that holds it is full (a tiny tmpfs filled with
# dd), or its folder is read-only. "Cerrar" from the menu shows the error in
# a box, the program then ends with 0, and the previous config.ini is left
# byte for byte as it was. (A folder that cannot be created at all is
# covered by e2e_traymenu.sh.)
#
#   e2e_faults_settings.sh <path of velmora>
# Exit 77 (skipped) without Xvfb or xdotool; the full file system needs root
# and is skipped loudly without it.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup faults-settings

# One case: the settings are in CONFIG_HOME, already made unwritable by the
# caller; the old file's bytes are in OLD.
close_and_check() { # case-name
  local name=$1 box
  start_widget "$VELMORA" "$WORK/$name.log" || return
  sleep 0.5
  # "Cerrar" from the menu opened on the widget's first panel: the ninth item
  # of pmTray after the panel's drive section ("Abrir", "Ocultar esta
  # unidad" and "Analizar…" for the root file system, a local disk).
  E2E_MENU_ON=panel choose $VPID 12 || return
  if box=$(wait_dialog $VPID 50); then
    pass "$name: an error box at close: $(xprop -id "$box" WM_NAME | cut -d= -f2)"
    kill -0 $VPID 2>/dev/null && pass "$name: the program waits for the box" || fail "$name: ended before the box was closed"
    answer_box "$box" Return
  else
    fail "$name: no error box at close"
  fi
  expect_exit $VPID 0 "$name: after the box"
  grep -F "Unable to write to $INI" "$WORK/$name.log" | head -1 | sed "s/^/  stderr: /"
  grep -qF "Unable to write to $INI" "$WORK/$name.log" && pass "$name: the error names the file" ||
    fail "$name: no error naming the file: $(tail -3 "$WORK/$name.log")"
  cmp -s "$INI" "$WORK/old.ini" && pass "$name: the previous config.ini is intact" ||
    fail "$name: config.ini changed: $(cat -A "$INI" 2>&1 | head -10)"
  local stray
  stray=$(find "$(dirname "$INI")" -mindepth 1 ! -name config.ini ! -name filler 2>/dev/null)
  [ -z "$stray" ] && pass "$name: no temporary file left behind" || fail "$name: left behind: $stray"
}

# --- a full file system ------------------------------------------------------
if [ "$(id -u)" = 0 ]; then
  mkdir -p "$XDG_CONFIG_HOME"
  if mount -t tmpfs -o size=64k velmora-full "$XDG_CONFIG_HOME"; then
    MOUNTS+=("$XDG_CONFIG_HOME")
    write_ini 5 False
    cp "$INI" "$WORK/old.ini"
    dd if=/dev/zero of="$(dirname "$INI")/filler" bs=4k 2>/dev/null
    echo "tmpfs: $(df -B1 --output=avail "$XDG_CONFIG_HOME" | tail -1) bytes free"
    close_and_check "full file system"
    umount "$XDG_CONFIG_HOME" && MOUNTS=()
  else
    echo "SKIP (full file system): tmpfs cannot be mounted here" >&2
  fi
else
  echo "SKIP (full file system): needs root to mount a tmpfs" >&2
fi

# --- a read-only folder ------------------------------------------------------
rm -rf "$XDG_CONFIG_HOME"
if [ "$(id -u)" = 0 ]; then
  # Root writes through permission bits: a read-only mount instead.
  mkdir -p "$XDG_CONFIG_HOME"
  if mount -t tmpfs -o size=1m velmora-ro "$XDG_CONFIG_HOME"; then
    MOUNTS+=("$XDG_CONFIG_HOME")
    write_ini 5 False
    cp "$INI" "$WORK/old.ini"
    mount -o remount,ro "$XDG_CONFIG_HOME" || fail "could not make the tmpfs read-only"
    close_and_check "read-only folder"
    umount "$XDG_CONFIG_HOME" && MOUNTS=()
  else
    echo "SKIP (read-only folder): tmpfs cannot be mounted here" >&2
  fi
else
  write_ini 5 False
  cp "$INI" "$WORK/old.ini"
  chmod 555 "$(dirname "$INI")"
  close_and_check "read-only folder"
  chmod 755 "$(dirname "$INI")"
fi
e2e_finish
