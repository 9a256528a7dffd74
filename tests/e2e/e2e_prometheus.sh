#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The widget showing another machine's drives through a real Prometheus
# (Debian's prometheus and prometheus-node-exporter on 127.0.0.1, free ports,
# scraped every second), on a real X desktop: the instance's panels; with
# Prometheus stopped the panels stay, greyed, with the reason, and the widget
# lives on past the fourth failed refresh; they come back when it restarts.
#
#   e2e_prometheus.sh <path of velmora> <path of velmora-wql>
# Exit 77 (skipped) without Xvfb, xdotool, prometheus or node_exporter.
set -u
VELMORA=${1:?path of the velmora program}
WQL=${2:?path of velmora-wql}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
for tool in prometheus prometheus-node-exporter; do
  command -v "$tool" >/dev/null || skip_loudly "$tool is not installed (Debian package $tool)"
done
e2e_setup prometheus

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
NODE_PORT=$(free_port)
PROM_PORT=$(free_port)
URL="http://127.0.0.1:$PROM_PORT"
INSTANCE="127.0.0.1:$NODE_PORT"

start_node_exporter "$INSTANCE"
mkdir -p "$WORK/prom"
printf 'global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: node\n    static_configs:\n      - targets: [%s]\n' \
  "'$INSTANCE'" >"$WORK/prom/prometheus.yml"
start_prometheus() {
  prometheus --config.file="$WORK/prom/prometheus.yml" --storage.tsdb.path="$WORK/prom/data" \
    --web.listen-address="127.0.0.1:$PROM_PORT" >>"$WORK/prom/prometheus.log" 2>&1 &
  PROM=$!
  PIDS+=($PROM)
}
stop_prometheus() { kill "$PROM"; wait "$PROM" 2>/dev/null; }
# The panels the widget should show: the instance's drives of kinds 2, 3, 5, 6.
wait_for_instance() { # seconds
  local i
  for i in $(seq 1 $(( $1 * 4 ))); do
    SHOWN=$("$WQL" --host "$URL" --properties \
      "SELECT Name FROM Win32_LogicalDisk WHERE Status = 'OK' AND DriveType > 1 AND DriveType <> 4" 2>/dev/null |
      grep -c '^Name=')
    [ "${SHOWN:-0}" -gt 0 ] && return 0
    sleep 0.25
  done
  return 1
}
start_prometheus
wait_for_instance 60 || { tail -20 "$WORK/prom/prometheus.log" >&2; fail "Prometheus never listed $INSTANCE"; e2e_finish; }
echo "Prometheus at $URL lists $SHOWN drives of $INSTANCE to show"

write_ini 5 False
printf 'Host=%s\r\n' "$URL" >>"$INI"
start_widget "$VELMORA" "$WORK/widget.log" || e2e_finish
sleep 1
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
read -r _ _ _ H <<<"$(geom "$WID")"
[ "$H" = $((SHOWN * 58)) ] && pass "$SHOWN panels of $INSTANCE (height $H)" || fail "height $H, expected $SHOWN panels"
text=$(panel_text "$WORK/widget.log" "$INSTANCE:/")
[ -n "$text" ] && pass "the panel of $INSTANCE:/ reads: $text" || fail "no panel of $INSTANCE:/"
grep -q libcurl "/proc/$VPID/maps" && pass "libcurl opened for the server" || fail "no libcurl mapped"

# --- Prometheus stopped ------------------------------------------------------
stop_prometheus
wait_for_line "$WORK/widget.log" "panel $INSTANCE:/ greyed: Cannot reach Prometheus at $URL/" 12 &&
  pass "the panel of $INSTANCE:/ greyed with the reason" || fail "the panel was not greyed"
# Five refreshes at 5 s: past the fourth failure that ends a local widget.
sleep 26
if kill -0 $VPID 2>/dev/null; then
  pass "still running after 5 failed refreshes"
else
  wait $VPID; fail "the widget ended (exit code $?)"; tail -20 "$WORK/widget.log" >&2; e2e_finish
fi
read -r _ _ _ H2 <<<"$(geom "$WID")"
[ "$H2" = "$H" ] && pass "the greyed panels keep their place (height $H2)" || fail "height $H2 while Prometheus is down, $H before"
dialog_window $VPID >/dev/null && fail "an error box is open" || pass "no error box"

# --- Prometheus back --------------------------------------------------------
start_prometheus
wait_for_line "$WORK/widget.log" "panel $INSTANCE:/ answering again" 40 &&
  pass "the panel of $INSTANCE:/ is back" || fail "the panel did not come back"

e2e_finish
