#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The drive history end to end: a tmpfs that has been filling at a steady
# rate for three hours (its history seeded into the widget's own database
# with sqlite3, through the tables the README documents) and goes on filling
# while the widget runs:
# - the panel's tool tip says when it will be full ("Lleno en ~4 horas");
# - one "filling fast" notice reaches the notification server on the session
#   bus (python3-dbusmock's notification_daemon), and no second one while the
#   fill goes on;
# - velmora-wql answers Velmora_DiskTrend for it from the same history.
# The half hour a level must hold is cut to seconds for the test
# (VELMORA_FILLING_HOLD_SECONDS).
#
# Exit 77 (skipped) without Xvfb, xdotool, root, dbus-daemon, python3-dbusmock
# or sqlite3.
set -u
VELMORA=${1:?path of the velmora program}
WQL=${2:?path of velmora-wql}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
[ "$(id -u)" = 0 ] || skip_loudly "needs root for tmpfs mounts"
command -v dbus-daemon >/dev/null || skip_loudly "dbus-daemon is not installed"
command -v sqlite3 >/dev/null || skip_loudly "sqlite3 is not installed"
/usr/bin/python3 -c 'import dbusmock, dbus, gi' 2>/dev/null || skip_loudly "python3-dbusmock is not installed"
e2e_setup history

out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || { fail "no session bus"; e2e_finish; }
export DBUS_SESSION_BUS_ADDRESS=$(echo "$out" | sed -n 1p)
CLEANUP_EXTRA+=("kill $(echo "$out" | sed -n 2p) 2>/dev/null")
NOTES="$WORK/notifications.log"
/usr/bin/python3 -m dbusmock --session --template notification_daemon -l "$NOTES" >"$WORK/dbusmock.out" 2>&1 &
PIDS+=($!)
for i in $(seq 1 50); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true' && break
  sleep 0.1
done

# 100 MiB, 35 MiB of it free: under 40 %, not under 20 %.
DRIVE="$WORK/mnt/vfill"
mkdir -p "$DRIVE"
mount -t tmpfs -o size=100m velmora-e2e "$DRIVE" || skip_loudly "tmpfs cannot be mounted here"
MOUNTS+=("$DRIVE")
dd if=/dev/zero of="$DRIVE/old" bs=1M count=65 status=none
RATE=$((10 * 1024 * 1024)) # bytes an hour: full in about 3.5 hours

write_ini 5 False
LOG="$WORK/widget.log"
DB="$XDG_STATE_HOME/velmora/history.sqlite"

# A first run makes the database and the drive's row in it.
start_widget "$VELMORA" "$LOG" || e2e_finish
for i in $(seq 1 100); do
  [ -n "$(sqlite3 "$DB" "SELECT id FROM volume WHERE name = '$DRIVE'" 2>/dev/null)" ] && break
  sleep 0.1
done
kill -TERM $VPID
expect_exit $VPID 0 "the first run"
VOLUME=$(sqlite3 "$DB" "SELECT id FROM volume WHERE name = '$DRIVE'")
[ -n "$VOLUME" ] && pass "the first run keeps $DRIVE in the history (volume $VOLUME)" ||
  { fail "no volume row for $DRIVE: $(sqlite3 "$DB" 'SELECT * FROM volume' 2>&1)"; e2e_finish; }

# Three hours of the fill that led here, one row a minute.
NOW=$(date +%s)
AVAIL=$(df -B1 --output=avail "$DRIVE" | tail -1 | tr -d ' ')
{
  echo "BEGIN;"
  for m in $(seq 180 -1 1); do
    t=$((NOW - m * 60)); t=$((t - t % 60))
    echo "INSERT OR REPLACE INTO minute(t, volume, avail) VALUES($t, $VOLUME, $((AVAIL + RATE * m / 60)));"
  done
  echo "UPDATE volume SET first_seen = $((NOW - 180 * 60)) WHERE id = $VOLUME;"
  echo "COMMIT;"
} | sqlite3 "$DB" || fail "the history could not be seeded"

# The fill goes on while the widget runs: RATE bytes an hour, a piece every
# 5 seconds.
# The loop ends with the script ($$ is the script's own process).
(
  n=0
  while kill -0 $$ 2>/dev/null; do
    dd if=/dev/zero of="$DRIVE/new.$n" bs=$((RATE / 720)) count=1 status=none 2>/dev/null
    n=$((n + 1))
    sleep 5
  done
) &
FILLER=$!
CLEANUP_EXTRA+=("kill $FILLER 2>/dev/null")

start_widget "$VELMORA" "$LOG" VELMORA_FILLING_HOLD_SECONDS=10 || e2e_finish
wait_for_line "$LOG" "panel $DRIVE note: Lleno en ~" 30 &&
  pass "tool tip: $(grep -F "panel $DRIVE note:" "$LOG" | tail -1 | sed 's/^.*note: //')" ||
  fail "no forecast in the tool tip of $DRIVE: $(grep -F "panel $DRIVE note" "$LOG" | tail -2)"
grep -F "panel $DRIVE note:" "$LOG" | tail -1 | grep -qE 'Lleno en ~[34] horas$' &&
  pass "the time is the fill's (3.5 hours)" || fail "not the fill's time: $(grep -F "panel $DRIVE note:" "$LOG" | tail -1)"

notices() { grep ' Notify ' "$NOTES" 2>/dev/null | grep -F "$DRIVE" | grep -cF 'Un disco se está llenando'; }
for i in $(seq 1 300); do [ "$(notices)" -ge 1 ] && break; sleep 0.1; done
[ "$(notices)" = 1 ] && pass "one filling-fast notice" || fail "$(notices) filling-fast notice(s): $(tail -3 "$NOTES")"
grep ' Notify ' "$NOTES" | grep -F "$DRIVE" | tail -1
sleep 20
[ "$(notices)" = 1 ] && pass "no second notice while the fill goes on" || fail "$(notices) notices while it fills"

trend=$("$WQL" "SELECT Name, FullIn FROM Velmora_DiskTrend WHERE FullIn < 86400" 2>&1)
echo "$trend" | grep -qF "Name = \"$DRIVE\";" && pass "velmora-wql lists $DRIVE as full within a day" ||
  fail "velmora-wql: $trend"

kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM"
e2e_finish
