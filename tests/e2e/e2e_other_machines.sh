#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Another machine beside this one, added the way a user does it, on a real X
# desktop: the tray menu, "Otras máquinas…", a wrong address tried
# ("Probar": refused), a real Prometheus (Debian's prometheus and
# prometheus-node-exporter on 127.0.0.1, free ports) tried and added, OK.
# Its drives then show under its name below this machine's; a restart keeps
# it; the password it asks for is in a real keyring (gnome-keyring's Secret
# Service on the test's private session bus), in no file of the settings.
#
#   e2e_other_machines.sh <path of velmora> <path of velmora-wql>
# Exit 77 (skipped) without Xvfb, xdotool, prometheus or node_exporter.
# Without gnome-keyring, secret-tool or htpasswd the server asks for no
# password and the keyring checks are skipped loudly.
set -u
VELMORA=${1:?path of the velmora program}
WQL=${2:?path of velmora-wql}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
for tool in prometheus prometheus-node-exporter; do
  command -v "$tool" >/dev/null || skip_loudly "$tool is not installed (scripts/deps.sh lists its package)"
done
KEYRING=1
for tool in htpasswd gnome-keyring-daemon secret-tool; do
  command -v "$tool" >/dev/null || { echo "SKIP (one check): $tool is not installed: no password, no keyring" >&2; KEYRING=0; }
done
e2e_setup others

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
NODE_PORT=$(free_port)
PROM_PORT=$(free_port)
NOBODY_PORT=$(free_port)
URL="http://127.0.0.1:$PROM_PORT"
INSTANCE="127.0.0.1:$NODE_PORT"
USER_NAME=ann
PASSWORD="Kx7-$RANDOM-basalt"

start_node_exporter "$INSTANCE"
mkdir -p "$WORK/prom"
printf 'global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: node\n    static_configs:\n      - targets: [%s]\n' \
  "'$INSTANCE'" >"$WORK/prom/prometheus.yml"
WEB_CONFIG=()
if [ $KEYRING = 1 ]; then
  printf "basic_auth_users:\n  %s: '%s'\n" "$USER_NAME" \
    "$(htpasswd -nbBC 10 "$USER_NAME" "$PASSWORD" | cut -d: -f2- | tr -d '\n')" >"$WORK/prom/web.yml"
  WEB_CONFIG=(--web.config.file="$WORK/prom/web.yml")
  # The keyring on the test's session bus, unlocked with a password on its
  # standard input.
  printf 'login-keyring' | gnome-keyring-daemon --foreground --components=secrets --unlock >"$WORK/keyring.log" 2>&1 &
  PIDS+=($!)
  for _ in $(seq 1 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true' && break
    sleep 0.1
  done
fi
prometheus --config.file="$WORK/prom/prometheus.yml" --storage.tsdb.path="$WORK/prom/data" "${WEB_CONFIG[@]}" \
  --web.listen-address="127.0.0.1:$PROM_PORT" >"$WORK/prom/prometheus.log" 2>&1 &
PIDS+=($!)

# Until Prometheus lists the instance's drives (the password from a
# throw-away ~/.netrc, gone again before the widget starts).
[ $KEYRING = 1 ] && printf 'machine 127.0.0.1 login %s password %s\n' "$USER_NAME" "$PASSWORD" >"$HOME/.netrc"
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
echo "Prometheus at $URL lists $SHOWN drives of $INSTANCE"

LOG="$WORK/widget.log"
write_ini 5 False
start_widget "$VELMORA" "$LOG" || e2e_finish
LOCAL_FIRST=$(grep -F "panels shown:" "$LOG" | tail -1 | sed 's/^.*panels shown: //' | tr ' ' '\n' | head -1)
echo "this machine's first panel: $LOCAL_FIRST"

# --- the dialog, as a user meets it ------------------------------------------
choose $VPID 7 # Otras máquinas…
DIALOG=$(wait_dialog $VPID 50) || { fail "no dialog of other machines"; e2e_finish; }
pass "the tray menu opened \"$(xdotool getwindowname "$DIALOG")\""
xdotool windowactivate --sync "$DIALOG" 2>/dev/null; sleep 0.3
outcome_after() { # count-before seconds: the next outcome line of the dialog
  local i line
  for i in $(seq 1 $(($2 * 10))); do
    line=$(grep -F "other machines:" "$LOG" | grep -v 'Probando\|dialog open\|servers, this machine' | sed -n "$(($1 + 1))p")
    [ -n "$line" ] && { echo "${line#*other machines: }"; return 0; }
    sleep 0.1
  done
  return 1
}
outcomes() { grep -F "other machines:" "$LOG" | grep -vc 'Probando\|dialog open\|servers, this machine'; }

# A wrong address first: nothing listens there. The address field has the
# focus; Tab Tab Tab Tab (user, password, Añadir, Probar), space presses it.
xdotool type --delay 20 "http://127.0.0.1:$NOBODY_PORT"
n=$(outcomes)
xdotool key Tab Tab Tab Tab space
said=$(outcome_after "$n" 15) || said=""
case $said in
  *"no acepta la conexión"*) pass "Probar on a wrong address: $said" ;;
  *) fail "Probar on a wrong address said: $said" ;;
esac

# The real server, with its user and password.
xdotool key shift+Tab shift+Tab shift+Tab shift+Tab ctrl+a
xdotool type --delay 20 "$URL"
n=$(outcomes)
if [ $KEYRING = 1 ]; then
  xdotool key Tab; xdotool type --delay 20 "$USER_NAME"
  xdotool key Tab; xdotool type --delay 20 "$PASSWORD"
  xdotool key Tab Tab space
else
  xdotool key Tab Tab Tab Tab space
fi
said=$(outcome_after "$n" 15) || said=""
case $said in
  *"responde: "*" unidades de 1 máquinas."*) pass "Probar on $URL: $said" ;;
  *) fail "Probar on $URL said: $said" ;;
esac
# Añadir (one back from Probar), then OK with Return.
n=$(outcomes)
xdotool key shift+Tab space
said=$(outcome_after "$n" 10) || said=""
case $said in *"está en la lista"*) pass "added: $said" ;; *) fail "Añadir said: $said" ;; esac
if [ $KEYRING = 1 ]; then
  said=$(outcome_after "$((n + 1))" 15) || said=""
  case $said in *"llavero del escritorio"*) pass "keyring: $said" ;; *) fail "the keyring: $said" ;; esac
fi
xdotool key Return
for _ in $(seq 1 30); do dialog_window $VPID >/dev/null || break; sleep 0.1; done
dialog_window $VPID >/dev/null && fail "the dialog stayed open" || pass "OK closed the dialog"

# Its drives under its name, below this machine's.
grouped() { # log
  local line
  line=$(grep -F "panels shown:" "$1" | tail -1 | sed 's/^.*panels shown: //')
  grep -qF "machine heading: $INSTANCE" "$1" || return 1
  echo "$line" | tr ' ' '\n' | grep -q "^$INSTANCE:/" || return 1
  # This machine's first panel stands above every panel of the instance.
  local local_y remote_y
  local_y=$(echo "$line" | tr ' ' '\n' | sed -n "s|^/@||p" | head -1)
  remote_y=$(echo "$line" | tr ' ' '\n' | grep "^$INSTANCE:" | sed 's/^.*@//' | sort -n | head -1)
  [ -n "$remote_y" ] && { [ -z "$local_y" ] || [ "$local_y" -lt "$remote_y" ]; }
}
for _ in $(seq 1 200); do grouped "$LOG" && break; sleep 0.1; done
if grouped "$LOG"; then
  pass "the instance's drives under \"$INSTANCE\", below this machine's: $(grep -F 'panels shown:' "$LOG" | tail -1 | sed 's/^.*panels shown: //')"
else
  fail "no grouped panels: $(grep -F 'panels shown:' "$LOG" | tail -1)"
fi
grep -qF "machine heading: $(hostname)" "$LOG" && pass "this machine's heading: $(hostname)" ||
  fail "no heading for this machine: $(grep -F 'machine heading' "$LOG" | tail -3)"
last=$(grep -E "panel $INSTANCE:/ (greyed|answering again)" "$LOG" | tail -1)
case $last in *greyed*) fail "the instance's panels are greyed: $last" ;; *) pass "the instance's panels answer" ;; esac

kill -TERM "$VPID"
expect_exit "$VPID" 0 "SIGTERM"
[ "$(ini_value Servidor1)" = "$URL" ] && pass "the settings list $URL" || fail "Servidor1=$(ini_value Servidor1)"
if [ $KEYRING = 1 ]; then
  [ "$(ini_value Usuario1)" = "$USER_NAME" ] && pass "with its user" || fail "Usuario1=$(ini_value Usuario1)"
  if grep -rqF "$PASSWORD" "$XDG_CONFIG_HOME" "$LOG"; then
    fail "the password is in a file of the settings folder or the log"
  else
    pass "no file of $XDG_CONFIG_HOME nor the log holds the password"
  fi
  secret-tool lookup xdg:schema com.brindlewick.Velmora.Server server "$URL" user "$USER_NAME" | grep -qxF "$PASSWORD" &&
    pass "the keyring holds the password" || fail "the keyring holds no password for $USER_NAME on $URL"
else
  echo "SKIP (one check): no keyring could run, so no password to look for" >&2
fi

# --- a restart keeps it -------------------------------------------------------
LOG="$WORK/second.log"
start_widget "$VELMORA" "$LOG" || e2e_finish
for _ in $(seq 1 200); do grouped "$LOG" && break; sleep 0.1; done
grouped "$LOG" && pass "after a restart: still under \"$INSTANCE\"" ||
  fail "after a restart: $(grep -F 'panels shown:' "$LOG" | tail -1)"
sleep 3
last=$(grep -E "panel $INSTANCE:/ (greyed|answering again)" "$LOG" | tail -1)
case $last in *greyed*) fail "after a restart the panels are greyed: $last" ;; *) pass "after a restart the panels answer" ;; esac
kill -TERM "$VPID"
expect_exit "$VPID" 0 "SIGTERM"

e2e_finish
