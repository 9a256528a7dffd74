#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The drive commands on a real X desktop (Xvfb + openbox + trayer) with a
# private session bus and a private system bus, both started and stopped
# here:
# - a double click on a tmpfs panel (and Enter on it) hands its folder to the
#   desktop's handler for folders (a stand-in .desktop entry that records its
#   argument, made the default for inode/directory through mimeapps.list);
# - the panel's drive section: "Ocultar esta unidad" takes the panel away and
#   into [OCULTAS] of the settings file; the tray menu's "Unidades ocultas"
#   brings it back and out of the file;
# - filling the tmpfs past 90 % sends one notification to the notification
#   server on the session bus (python3-dbusmock's notification_daemon), none at
#   the next refreshes, a second after it dropped below and filled again; a
#   drive already full at start gets none;
# - "Expulsar" on a removable drive against a UDisks2 stand-in on the system
#   bus: a refusal (busy) reaches the user in a box with its reason, the panel
#   stays; then the file system is unmounted and the drive powered off, and
#   with no notification server left the tray icon says so;
# - a squashfs image mounted away from /snap has no panel.
#
#   e2e_drives.sh <path of velmora>
# Exit 77 (skipped) without Xvfb, xdotool, root, dbus-daemon, python3-dbusmock
# or xdg-open.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
[ "$(id -u)" = 0 ] || skip_loudly "needs root for tmpfs mounts"
command -v dbus-daemon >/dev/null || skip_loudly "dbus-daemon is not installed"
command -v xdg-open >/dev/null || skip_loudly "xdg-open is not installed (xdg-utils)"
/usr/bin/python3 -c 'import dbusmock, dbus, gi' 2>/dev/null || skip_loudly "python3-dbusmock is not installed"
e2e_setup drives

# --- private buses ------------------------------------------------------------
start_bus() { # variable
  local out
  out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || return 1
  local address pid
  address=$(echo "$out" | sed -n 1p)
  pid=$(echo "$out" | sed -n 2p)
  CLEANUP_EXTRA+=("kill $pid 2>/dev/null")
  export "$1=$address"
}
start_bus DBUS_SESSION_BUS_ADDRESS || { fail "no session bus"; e2e_finish; }
start_bus DBUS_SYSTEM_BUS_ADDRESS || { fail "no system bus"; e2e_finish; }
echo "session bus $DBUS_SESSION_BUS_ADDRESS, system bus $DBUS_SYSTEM_BUS_ADDRESS"
NOTES="$WORK/notifications.log"
/usr/bin/python3 -m dbusmock --session --template notification_daemon -l "$NOTES" >"$WORK/dbusmock.out" 2>&1 &
NOTIFY_PID=$!
PIDS+=($NOTIFY_PID)
for i in $(seq 1 50); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true' && break
  sleep 0.1
done
# Notices about one drive (other programs' tests on this machine may mount
# and fill drives of their own meanwhile).
notices() { grep ' Notify ' "$NOTES" 2>/dev/null | grep -cF "en $1:"; }

# --- the stand-in file manager ---------------------------------------------------
OPENED="$WORK/opened"
mkdir -p "$XDG_DATA_HOME/applications" "$WORK/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$OPENED" >"$WORK/bin/recorder"
chmod +x "$WORK/bin/recorder"
printf '[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %%f\nMimeType=inode/directory;\n' \
  "$WORK/bin/recorder" >"$XDG_DATA_HOME/applications/recorder.desktop"
mkdir -p "$XDG_CONFIG_HOME"
printf '[Default Applications]\ninode/directory=recorder.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

# --- two tmpfs drives: one to use, one full from the start -------------------------
DRIVE="$WORK/mnt/vdrive"
FULL="$WORK/mnt/vfull"
mkdir -p "$DRIVE" "$FULL"
mount -t tmpfs -o size=10m velmora-e2e "$DRIVE" || skip_loudly "tmpfs cannot be mounted here"
MOUNTS+=("$DRIVE")
mount -t tmpfs -o size=10m velmora-e2e "$FULL" || skip_loudly "tmpfs cannot be mounted here"
MOUNTS+=("$FULL")
dd if=/dev/zero of="$FULL/fill" bs=1k count=9800 status=none
# A squashfs image mounted away from /snap: full by nature, no drive, no panel.
IMAGE="$WORK/mnt/vimage"
mkdir -p "$IMAGE" "$WORK/image-content"
echo content >"$WORK/image-content/file"
if ! command -v mksquashfs >/dev/null; then
  echo "SKIP (squashfs image): mksquashfs is not installed (squashfs-tools)" >&2
  IMAGE=
elif mksquashfs "$WORK/image-content" "$WORK/image.squashfs" -quiet -no-progress >/dev/null &&
  mount -t squashfs -o loop,ro "$WORK/image.squashfs" "$IMAGE"; then
  MOUNTS+=("$IMAGE")
else
  echo "SKIP (squashfs image): no loop device or no squashfs here" >&2
  IMAGE=
fi

write_ini 5 False
LOG="$WORK/widget.log"
start_widget "$VELMORA" "$LOG" || e2e_finish
sleep 1

# y of a drive's panel in the widget ("" when it is not shown).
panel_y() { grep -F "panels shown:" "$LOG" | tail -1 | tr ' ' '\n' | sed -n "s|^$1@||p"; }
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
if [ -n "$IMAGE" ]; then
  [ -n "$(panel_y "$DRIVE")" ] && [ -z "$(panel_y "$IMAGE")" ] && pass "no panel for the squashfs image at $IMAGE" ||
    fail "squashfs image: $(grep -F "panels shown:" "$LOG" | tail -1)"
fi
point_at() { # drive
  local X Y W H y
  read -r X Y W H <<<"$(geom "$WID")"
  y=$(panel_y "$1")
  [ -n "$y" ] || return 1
  xdotool mousemove $((X + 200)) $((Y + y + 40))
  sleep 0.3
}

# --- open ----------------------------------------------------------------------
# A click as a hand makes it: the button stays down for a moment (taps, the
# button up at once, are e2e_faults_pointer.sh's).
human_click() { xdotool mousedown 1; sleep 0.08; xdotool mouseup 1; }
# Both clicks from one xdotool, so that starting a program on a busy machine
# cannot stretch the pause between them past the double-click interval.
human_double_click() { xdotool mousedown 1 sleep 0.08 mouseup 1 sleep 0.1 mousedown 1 sleep 0.08 mouseup 1; }
if point_at "$DRIVE"; then
  human_double_click
  wait_for_line "$OPENED" "$DRIVE" 10 && pass "double click: the folder handler got $(head -1 "$OPENED")" ||
    { fail "double click: the handler got '$(cat "$OPENED" 2>/dev/null)'"; grep -v "reads:" "$LOG" | tail -5; }
  : >"$OPENED"
  sleep 0.5
  human_click # the panel takes the focus
  # The keyboard goes to the window the window manager gave the focus to;
  # whether a click on a window kept below the others gives it is the window
  # manager's choice, so the test gives it outright.
  xdotool windowfocus --sync "$WID" 2>/dev/null
  sleep 0.3
  xdotool key Return
  wait_for_line "$OPENED" "$DRIVE" 10 && pass "Enter on the focused panel opens it too" || fail "Enter opened nothing"
else
  fail "no panel for $DRIVE: $(grep -F 'panels shown:' "$LOG" | tail -1)"
fi

# --- hide from the drive section, show from the tray menu ---------------------------
if point_at "$DRIVE"; then
  xdotool click 3
  for i in $(seq 1 40); do open_menu $VPID >/dev/null && break; sleep 0.1; done
  sleep 0.3
  SECTION=$(grep -F "menu section $DRIVE reads:" "$LOG" | tail -1 | sed 's/^.*reads: //')
  [ "$SECTION" = "Abrir | Ocultar esta unidad | Analizar…" ] && pass "drive section: $SECTION" || fail "drive section '$SECTION'"
  keys_down 2
  xdotool key Return
  menu_closed $VPID || fail "the menu stayed open"
  wait_for_line "$LOG" "drive hidden: $DRIVE" 5 || fail "nothing hidden"
  sleep 0.5
  [ -z "$(panel_y "$DRIVE")" ] && pass "the panel is gone" || fail "the panel is still shown"
  tr -d '\r' <"$INI" | grep -qx '\[OCULTAS\]' && tr -d '\r' <"$INI" | grep -qxF "$DRIVE=True" &&
    pass "the settings file holds it under [OCULTAS]" || fail "settings: $(cat "$INI")"
  [ "$(ini_value Intervalo)" = 5 ] && [ "$(sed -n 2p "$INI" | tr -d '\r')" = "Top=40" ] && pass "[CONFIG] as it was" || fail "[CONFIG] changed"

  open_tray_menu $VPID || fail "the tray menu did not open"
  TRAY=$(grep -F "menu section (tray) reads:" "$LOG" | tail -1 | sed 's/^.*reads: //')
  [ "$TRAY" = "Unidades ocultas [$DRIVE]" ] && pass "tray menu: $TRAY" || fail "tray section '$TRAY'"
  keys_down 1
  xdotool key Right
  sleep 0.3
  xdotool key Return
  menu_closed $VPID || fail "the menu stayed open"
  wait_for_line "$LOG" "drive shown again: $DRIVE" 5 || fail "not shown again"
  sleep 0.5
  [ -n "$(panel_y "$DRIVE")" ] && pass "the panel is back" || fail "the panel did not come back"
  grep -qF "$DRIVE" "$INI" && fail "the file still holds it" || pass "and the file no longer holds it"
  # Opened from the tray with nothing hidden, the menu has no section.
  open_tray_menu $VPID && xdotool key Escape
  menu_closed $VPID
  [ "$(grep -c 'menu section (tray)' "$LOG")" = 1 ] && pass "no hidden drives: no section" || fail "a section with nothing hidden"
fi

# --- the low-space notice ------------------------------------------------------
[ "$(notices "$FULL")" = 0 ] && [ "$(notices "$DRIVE")" = 0 ] && pass "no notice at start for $FULL, full already" ||
  fail "notices at start: $(cat "$NOTES")"
dd if=/dev/zero of="$DRIVE/fill" bs=1k count=9700 status=none
for i in $(seq 1 120); do [ "$(notices "$DRIVE")" -ge 1 ] && break; sleep 0.1; done
[ "$(notices "$DRIVE")" = 1 ] && pass "filled past 90 %: one notification" || fail "$(notices "$DRIVE") notification(s) after filling"
grep ' Notify ' "$NOTES" | grep -F "$DRIVE" | tail -1
grep ' Notify ' "$NOTES" | grep -F "$DRIVE" | tail -1 | grep -qF '"Poco espacio en disco" "Queda poco espacio en '"$DRIVE"': ' &&
  pass "it names the drive and its free space" || fail "notice text"
sleep 11 # two more refreshes
[ "$(notices "$DRIVE")" = 1 ] && pass "none at the next refreshes" || fail "$(notices "$DRIVE") notifications while it stays full"
rm "$DRIVE/fill"
sleep 6
dd if=/dev/zero of="$DRIVE/fill" bs=1k count=9700 status=none
for i in $(seq 1 120); do [ "$(notices "$DRIVE")" -ge 2 ] && break; sleep 0.1; done
[ "$(notices "$DRIVE")" = 2 ] && pass "emptied and filled again: a second notification" || fail "$(notices "$DRIVE") notification(s) after filling again"
rm "$DRIVE/fill"
kill -TERM $VPID
wait_exit $VPID "after SIGTERM"
PIDS=("${PIDS[@]/$VPID}")

# --- eject against the UDisks2 stand-in --------------------------------------------
# No notification server from here on: the notice of a finished eject goes
# to the tray icon instead.
kill $NOTIFY_PID
wait $NOTIFY_PID 2>/dev/null
STICK="$WORK/mnt/stick"
mkdir -p "$STICK"
mount -t tmpfs -o size=4m velmora-stick "$STICK" || fail "no stick"
MOUNTS+=("$STICK")
CALLS="$WORK/udisks.log"
BUSY="$WORK/busy"
/usr/bin/python3 "$E2E_HERE/udisks2_standin.py" "$STICK" "$CALLS" "$BUSY" >"$WORK/standin.out" 2>&1 &
PIDS+=($!)
wait_for_line "$CALLS" ready 10 || { cat "$WORK/standin.out" >&2; fail "the UDisks2 stand-in did not start"; }
# The stick as the drive query reports a removable drive.
FAKE="$WORK/drives.fake"
fake_drives() {
  printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "50000000000";\n\tName = "/";\n\tSize = "100000000000";\n};\n----\n' >"$FAKE"
  [ "$1" = with ] && printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 2;\n\tFileSystem = "vfat";\n\tFreeSpace = "2000000";\n\tName = "%s";\n\tSize = "4000000";\n};\n' "$STICK" >>"$FAKE"
  return 0
}
fake_drives with
LOG="$WORK/eject.log"
start_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$FAKE" || e2e_finish
sleep 1
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
eject_from_menu() {
  point_at "$STICK" || { fail "no panel for the stick"; return 1; }
  xdotool click 3
  for i in $(seq 1 40); do open_menu $VPID >/dev/null && break; sleep 0.1; done
  sleep 0.3
  keys_down 2
  xdotool key Return
  # The tray icon's message is a popup window too: only the refusal's turn
  # can tell the menu closed by the windows left.
  [ "${1:-}" = refused ] || return 0
  menu_closed $VPID || fail "the menu stayed open"
}
touch "$BUSY"
eject_from_menu refused
SECTION=$(grep -F "menu section $STICK reads:" "$LOG" | tail -1 | sed 's/^.*reads: //')
[ "$SECTION" = "Abrir | Expulsar | Ocultar esta unidad | Analizar…" ] && pass "removable drive section: $SECTION" || fail "section '$SECTION'"
wait_for_line "$CALLS" "Unmount refused" 10 && pass "UDisks2 was asked and refused" || fail "no unmount call: $(cat "$CALLS")"
BOX=
for i in $(seq 1 50); do BOX=$(dialog_window $VPID) && break; sleep 0.1; done
if [ -n "$BOX" ]; then
  pass "the refusal is shown in a box"
  grep -F "No se ha podido expulsar $STICK: la unidad está en uso" "$LOG" && pass "in clear words: busy" || fail "message: $(grep -F 'expulsar' "$LOG")"
  xdotool windowactivate --sync "$BOX" 2>/dev/null
  xdotool key Return
else
  fail "no box for the refusal"
fi
mountpoint -q "$STICK" && pass "still mounted" || fail "unmounted although refused"
[ -n "$(panel_y "$STICK")" ] && pass "the panel stays" || fail "the panel went"

rm "$BUSY"
eject_from_menu
wait_for_line "$CALLS" "PowerOff" 10 && pass "unmounted, then powered off: $(tr '\n' ' ' <"$CALLS")" || fail "calls: $(cat "$CALLS")"
mountpoint -q "$STICK" && fail "still mounted" || pass "the file system is unmounted"
wait_for_line "$LOG" "notice shown by the tray icon: Expulsar - Ya puede retirar $STICK." 5 &&
  pass "no notification server: the tray icon tells it" || fail "no notice of the eject: $(grep -F notice "$LOG")"
grep -F "Unmount $STICK" "$CALLS" >/dev/null || fail "no unmount of $STICK"
[ -n "$(panel_y "$STICK")" ] && pass "the panel stays until the drive is gone" || fail "the panel went before the drive"
fake_drives without
for i in $(seq 1 80); do [ -z "$(panel_y "$STICK")" ] && break; sleep 0.1; done
[ -z "$(panel_y "$STICK")" ] && pass "gone with the drive" || fail "the panel stayed after the drive went"
kill -TERM $VPID
wait_exit $VPID "after SIGTERM"
PIDS=()
e2e_finish
