#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The low-space notice against a notification server on a private session bus
# (python3-dbusmock's notification_daemon), with the drives of another
# machine served by the fake drive service:
# - the server is down when the widget starts and comes up with 200 drives
#   that are full already: they were full when first seen, and no notice
#   goes out;
# - the 200 drives then all fill up at once: three notices, not 200, the last
#   naming one drive and counting the other 197;
# - a notice gives the free space as the drive's panel shows it ("4 MB").
#
#   e2e_faults_notices.sh <path of velmora>
# Exit 77 (skipped) without Xvfb, xdotool, dbus-daemon or python3-dbusmock.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
command -v dbus-daemon >/dev/null || skip_loudly "dbus-daemon is not installed"
/usr/bin/python3 -c 'import dbusmock, dbus, gi' 2>/dev/null || skip_loudly "python3-dbusmock is not installed"
e2e_setup faults-notices
case "$DBUS_SESSION_BUS_ADDRESS" in *no-session-bus*) skip_loudly "no private session bus" ;; esac

NOTES="$WORK/notifications.log"
/usr/bin/python3 -m dbusmock --session --template notification_daemon -l "$NOTES" >"$WORK/dbusmock.out" 2>&1 &
PIDS+=($!)
for i in $(seq 1 50); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true' && break
  sleep 0.1
done
notices() { grep -c ' Notify ' "$NOTES" 2>/dev/null; }

FAKE="$WORK/drives.fake"
# 200 drives of 100 MB with the given free bytes each.
drives() { # free
  local i
  for i in $(seq 1 200); do
    printf 'instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = "ext4";\n\tFreeSpace = "%s";\n\tName = "/srv/vol%03d";\n\tSize = "104857600";\n};\n----\n' \
      "$1" "$i"
  done >"$FAKE.new"
  mv "$FAKE.new" "$FAKE"
}
echo '!connect-error the server is not up yet' >"$FAKE"
write_ini 5 False
printf 'Host=http://127.0.0.1:9/\r\n' >>"$INI"
LOG="$WORK/widget.log"
launch_widget "$VELMORA" "$LOG" VELMORA_FAKE_WBEM="$FAKE"
wait_for_line "$LOG" "failed" 15 && pass "the server is down at start" || fail "no failed refresh: $(tail -5 "$LOG")"

# --- the server comes up with 200 full drives ----------------------------------
drives 4194304
shown_count() { grep -F "panels shown:" "$LOG" | tail -1 | tr ' ' '\n' | grep -c '^/srv/vol'; }
for i in $(seq 1 200); do [ "$(shown_count)" = 200 ] && break; sleep 0.1; done
[ "$(shown_count)" = 200 ] && pass "200 panels once the server answers" || fail "$(shown_count) panels shown"
[ "$(panel_text "$LOG" /srv/vol200)" = "4 MB disponibles de 100 MB" ] && pass "each reads 4 MB free" ||
  fail "the last panel reads '$(panel_text "$LOG" /srv/vol200)'"
sleep 11 # two more refreshes
[ "$(notices)" = 0 ] && pass "drives full when first seen: no notice" ||
  fail "$(notices) notice(s) for drives that were full when the server came up"

# --- all 200 fill up at once -----------------------------------------------------
drives 62914560
for i in $(seq 1 150); do [ "$(panel_text "$LOG" /srv/vol200)" = "60 MB disponibles de 100 MB" ] && break; sleep 0.1; done
[ "$(panel_text "$LOG" /srv/vol200)" = "60 MB disponibles de 100 MB" ] || fail "the panels did not take 60 MB free"
drives 4194304
for i in $(seq 1 150); do [ "$(notices)" -ge 3 ] && break; sleep 0.1; done
sleep 6 # one more refresh
echo "notices: $(notices)"
grep ' Notify ' "$NOTES" | head -5
[ "$(notices)" = 3 ] && pass "200 drives filled at once: 3 notices" || fail "$(notices) notices for 200 drives filled at once"
grep ' Notify ' "$NOTES" | head -1 | grep -qF '"Queda poco espacio en /srv/vol001: 4 MB libres."' &&
  pass "the first gives the free space as the panel shows it (4 MB)" || fail "first notice: $(grep ' Notify ' "$NOTES" | head -1)"
grep ' Notify ' "$NOTES" | sed -n 3p | grep -qF '"Queda poco espacio en /srv/vol003 y 197 más."' &&
  pass "the third names one drive and counts the other 197" || fail "third notice: $(grep ' Notify ' "$NOTES" | sed -n 3p)"

kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM"
e2e_finish
