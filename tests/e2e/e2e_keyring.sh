#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Another machine's drives from a real Prometheus that asks for a password
# (HTTP Basic, Debian's prometheus and prometheus-node-exporter on 127.0.0.1,
# free ports), on a real X desktop with a real keyring (gnome-keyring's
# Secret Service on the test's private session bus):
#   - Host and User in the settings, the password in the keyring only: the
#     instance's panels answer, and no file of the settings folder holds the
#     password;
#   - velmora --host URL for one run (the password from ~/.netrc): the same
#     panels, and the settings file never names that server;
#   - a right click on a remote panel offers hiding only: no Abrir, no
#     Expulsar.
#
#   e2e_keyring.sh <path of velmora> <path of velmora-wql>
# Exit 77 (skipped) without Xvfb, xdotool, prometheus, node_exporter,
# htpasswd, gnome-keyring or secret-tool.
set -u
VELMORA=${1:?path of the velmora program}
WQL=${2:?path of velmora-wql}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
for tool in prometheus prometheus-node-exporter htpasswd gnome-keyring-daemon secret-tool; do
  command -v "$tool" >/dev/null || skip_loudly "$tool is not installed (scripts/deps.sh lists its package)"
done
e2e_setup keyring

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
NODE_PORT=$(free_port)
PROM_PORT=$(free_port)
URL="http://127.0.0.1:$PROM_PORT"
INSTANCE="127.0.0.1:$NODE_PORT"
USER_NAME=ann
PASSWORD="Kx7-$RANDOM-qu4rtz"

start_node_exporter "$INSTANCE"
mkdir -p "$WORK/prom"
printf 'global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: node\n    static_configs:\n      - targets: [%s]\n' \
  "'$INSTANCE'" >"$WORK/prom/prometheus.yml"
printf "basic_auth_users:\n  %s: '%s'\n" "$USER_NAME" \
  "$(htpasswd -nbBC 10 "$USER_NAME" "$PASSWORD" | cut -d: -f2- | tr -d '\n')" >"$WORK/prom/web.yml"
prometheus --config.file="$WORK/prom/prometheus.yml" --storage.tsdb.path="$WORK/prom/data" \
  --web.config.file="$WORK/prom/web.yml" --web.listen-address="127.0.0.1:$PROM_PORT" >"$WORK/prom/prometheus.log" 2>&1 &
PIDS+=($!)

# The keyring on the test's session bus, its login keyring made and unlocked
# with a password on its standard input (an empty one would want a prompt).
printf 'login-keyring' | gnome-keyring-daemon --foreground --components=secrets --unlock >"$WORK/keyring.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 1 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true' && break
  sleep 0.1
done
printf '%s' "$PASSWORD" | secret-tool store --label=Velmora xdg:schema com.brindlewick.Velmora.Server \
  server "$URL" user "$USER_NAME" || { fail "the keyring took no password"; e2e_finish; }

# The drives Prometheus lists for the instance (the password from a
# throw-away ~/.netrc, gone again before the widget starts).
printf 'machine 127.0.0.1 login %s password %s\n' "$USER_NAME" "$PASSWORD" >"$HOME/.netrc"
SHOWN=0
for _ in $(seq 1 240); do
  SHOWN=$("$WQL" --host "$URL" --properties \
    "SELECT Name FROM Win32_LogicalDisk WHERE Status = 'OK' AND DriveType > 1 AND DriveType <> 4" 2>/dev/null |
    grep -c '^Name=')
  [ "${SHOWN:-0}" -gt 0 ] && break
  sleep 0.25
done
rm -f "$HOME/.netrc"
[ "${SHOWN:-0}" -gt 0 ] || { tail -20 "$WORK/prom/prometheus.log" >&2; fail "Prometheus never listed $INSTANCE"; e2e_finish; }
echo "Prometheus at $URL lists $SHOWN drives of $INSTANCE to show"

# --- the password from the keyring ------------------------------------------
write_ini 5 False
printf 'Host=%s\r\nUser=%s\r\n' "$URL" "$USER_NAME" >>"$INI"
start_widget "$VELMORA" "$WORK/widget.log" || e2e_finish
wait_for_line "$WORK/widget.log" "keyring: password of $USER_NAME on $URL found" 20 &&
  pass "the keyring gave the password" || fail "no password from the keyring"
# The first refresh may have gone before the keyring answered.
if grep -q "panel $INSTANCE:/ greyed" "$WORK/widget.log"; then
  wait_for_line "$WORK/widget.log" "panel $INSTANCE:/ answering again" 15 &&
    pass "the panels answer once the keyring gave the password" || fail "the panels stay greyed"
fi
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
read -r _ _ _ H <<<"$(geom "$WID")"
[ "$H" = $((SHOWN * 58)) ] && pass "$SHOWN panels of $INSTANCE (height $H)" || fail "height $H, expected $SHOWN panels"
sleep 6
last=$(grep -E "panel $INSTANCE:/ (greyed|answering again)" "$WORK/widget.log" | tail -1)
case $last in
  *greyed*) fail "the panels are greyed: $last" ;;
  *) pass "the panels answer with the keyring's password" ;;
esac
text=$(panel_text "$WORK/widget.log" "$INSTANCE:/")
[ -n "$text" ] && pass "the panel of $INSTANCE:/ reads: $text" || fail "no panel of $INSTANCE:/"

# The panel's own menu, opened with the right button on the panel.
if open_tray_menu $VPID panel; then
  section=$(grep -F "menu section $INSTANCE:" "$WORK/widget.log" | tail -1 | sed 's/^.* reads: //')
  [ "$section" = "Ocultar esta unidad" ] && pass "a remote panel's menu offers hiding only" ||
    fail "a remote panel's menu reads: $section"
  xdotool key Escape
  menu_closed $VPID || fail "the menu stayed open"
else
  fail "the panel's menu did not open"
fi
kill "$VPID"; wait "$VPID" 2>/dev/null
if grep -rqF "$PASSWORD" "$XDG_CONFIG_HOME" "$WORK/widget.log"; then
  fail "the password is in a file of the settings folder or the log"
else
  pass "no file of $XDG_CONFIG_HOME nor the log holds the password"
fi

# --- velmora --host for one run ---------------------------------------------
write_ini 5 False
printf 'machine 127.0.0.1 login %s password %s\n' "$USER_NAME" "$PASSWORD" >"$HOME/.netrc"
chmod 600 "$HOME/.netrc"
env "$VELMORA" --host "$URL" >"$WORK/host.log" 2>&1 &
VPID=$!
PIDS+=($VPID)
wait_for_line "$WORK/host.log" "first panel painted" 20 || { cat "$WORK/host.log" >&2; fail "no panel painted"; }
WID=$(widget_window $VPID) || { fail "no widget window with --host"; e2e_finish; }
read -r _ _ _ H <<<"$(geom "$WID")"
[ "$H" = $((SHOWN * 58)) ] && pass "--host: $SHOWN panels of $INSTANCE (height $H)" || fail "--host: height $H, expected $SHOWN panels"
kill "$VPID"; wait "$VPID" 2>/dev/null
grep -q "Host=" "$INI" && fail "--host was written to the settings: $(grep Host= "$INI")" || pass "--host left the settings as they were"
rm -f "$HOME/.netrc"

e2e_finish
