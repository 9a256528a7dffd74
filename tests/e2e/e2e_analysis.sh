#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The drive window end to end, on tmpfs drives the test mounts:
# - the drive section of a local panel's menu offers "Analizar…"; chosen, it
#   opens the drive's window, which paints the treemap, names the biggest
#   folder of the prepared tree and has a tab for the drive's history;
# - a file moved to the trash from the treemap's menu leaves its folder and
#   lands in that drive's trash (<top>/.Trash-0, the home being elsewhere);
# - emptying the trash gives the space back: the window's figure and the
#   panel's free space both change;
# - the language switch translates the open window at once;
# - Escape (Cancel) stops the scan of a large tree; the time from Cancel to
#   the workers' stop is logged and printed, not judged;
# - Escape closes the window.
#
# Exit 77 (skipped) without Xvfb, xdotool, root or python3.
set -u
VELMORA=${1:?path of the velmora program}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
[ "$(id -u)" = 0 ] || skip_loudly "needs root for tmpfs mounts"
[ -x /usr/bin/python3 ] || skip_loudly "/usr/bin/python3 is not installed"
e2e_setup analysis
export QT_LOGGING_RULES="$QT_LOGGING_RULES
velmora.analysis.debug=true"

DRIVE="$WORK/mnt/vdrive"
LARGE="$WORK/mnt/vlarge"
mkdir -p "$DRIVE" "$LARGE"
mount -t tmpfs -o size=64m velmora-e2e "$DRIVE" || skip_loudly "tmpfs cannot be mounted here"
MOUNTS+=("$DRIVE")
mount -t tmpfs -o size=512m,nr_inodes=1000000 velmora-e2e "$LARGE" || skip_loudly "tmpfs cannot be mounted here"
MOUNTS+=("$LARGE")
mkdir -p "$DRIVE/big" "$DRIVE/mid/deeper" "$DRIVE/small"
dd if=/dev/urandom of="$DRIVE/big/video.mkv" bs=1M count=5 status=none
dd if=/dev/urandom of="$DRIVE/big/backup.tar" bs=1M count=3 status=none
dd if=/dev/urandom of="$DRIVE/mid/deeper/data.bin" bs=1M count=3 status=none
dd if=/dev/urandom of="$DRIVE/small/notes.txt" bs=1k count=100 status=none
dd if=/dev/urandom of="$DRIVE/top.iso" bs=1M count=12 status=none
# 400,000 empty files in 4,000 folders: a scan that runs long enough to be
# cancelled (about a second on a 2-core machine).
/usr/bin/python3 - "$LARGE" <<'PY'
import os, sys
top = sys.argv[1]
for a in range(40):
    for b in range(100):
        d = os.path.join(top, "a%d" % a, "b%d" % b)
        os.makedirs(d)
        for f in range(100):
            os.close(os.open(os.path.join(d, "f%d" % f), os.O_WRONLY | os.O_CREAT, 0o644))
PY

write_ini 5 False
LOG="$WORK/widget.log"
start_widget "$VELMORA" "$LOG" || e2e_finish
sleep 1
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
panel_y() { grep -F "panels shown:" "$LOG" | tail -1 | tr ' ' '\n' | sed -n "s|^$1@||p"; }
# Opens the drive section of a panel's menu and chooses its n-th item.
drive_menu_choose() { # drive n
  local X Y W H y i
  read -r X Y W H <<<"$(geom "$WID")"
  y=$(panel_y "$1")
  [ -n "$y" ] || { fail "no panel for $1: $(grep -F 'panels shown:' "$LOG" | tail -1)"; return 1; }
  xdotool mousemove $((X + 200)) $((Y + y + 40))
  sleep 0.3
  xdotool click 3
  for i in $(seq 1 40); do open_menu $VPID >/dev/null && break; sleep 0.1; done
  sleep 0.3
  keys_down "$2"
  xdotool key Return
  menu_closed $VPID || fail "the menu stayed open"
}
# The last line the drive window of a drive logged of what it reads.
window_reads() { grep -F "drive window $1 reads:" "$LOG" | tail -1 | sed 's/^.*reads: //'; }
# The centre of a place the window logged ("top.iso", "button:Cancelar"),
# relative to the window.
place_of() { # drive name
  grep -F "drive window $1 painted" "$LOG" | tail -1 | sed 's/^.*places: //' | tr '|' '\n' |
    sed -n "s|^ *$2@\([0-9]*\),\([0-9]*\) *$|\1 \2|p" | head -1
}
wait_reads() { # drive text seconds
  local i
  for i in $(seq 1 $(($3 * 10))); do
    window_reads "$1" | grep -qF "$2" && return 0
    sleep 0.1
  done
  return 1
}

# --- the menu item and the window --------------------------------------------------
drive_menu_choose "$DRIVE" 3
SECTION=$(grep -F "menu section $DRIVE reads:" "$LOG" | tail -1 | sed 's/^.*reads: //')
[ "$SECTION" = "Abrir | Ocultar esta unidad | Analizar…" ] && pass "drive section: $SECTION" ||
  fail "drive section '$SECTION'"
wait_for_line "$LOG" "drive window opened for $DRIVE" 5 && pass "Analizar… opens the drive window" ||
  fail "no drive window: $(tail -5 "$LOG")"
wait_reads "$DRIVE" "Carpetas más grandes: $DRIVE/big 8 MB" 20 &&
  pass "the window names the biggest folder: $(window_reads "$DRIVE" | tr '|' '\n' | grep -F 'Carpetas más grandes')" ||
  fail "biggest folder not named: $(window_reads "$DRIVE")"
window_reads "$DRIVE" | grep -qF "| Desglose | Historia |" && pass "the drive's history has its tab" ||
  fail "no history tab: $(window_reads "$DRIVE")"
grep -F "drive window $DRIVE painted" "$LOG" | grep -q "top.iso@" && pass "the treemap is painted" ||
  fail "no treemap painted: $(grep -F "drive window $DRIVE painted" "$LOG" | tail -1)"
DW=$(xdotool search --all --onlyvisible --pid $VPID --name "ocupa $DRIVE" 2>/dev/null | head -1)
[ -n "$DW" ] && pass "the window is on the screen: $(xprop -id "$DW" WM_NAME | cut -d= -f2)" ||
  fail "no window titled 'Qué ocupa $DRIVE'"

# --- move to the trash from the treemap's menu ---------------------------------------
PANEL_BEFORE=$(panel_text "$LOG" "$DRIVE")
read -r PX PY <<<"$(place_of "$DRIVE" top.iso)"
if [ -n "$DW" ] && [ -n "${PX:-}" ]; then
  read -r X Y W H <<<"$(geom "$DW")"
  xdotool windowactivate --sync "$DW" 2>/dev/null
  xdotool mousemove $((X + PX)) $((Y + PY))
  sleep 0.3
  xdotool click 3
  sleep 0.5
  keys_down 2 # Abrir la carpeta, Mover a la papelera
  xdotool key Return
  wait_reads "$DRIVE" "Papelera: 12 MB" 10 && pass "the window counts 12 MB in the trash" ||
    fail "trash not counted: $(window_reads "$DRIVE")"
  [ ! -e "$DRIVE/top.iso" ] && pass "top.iso left its folder" || fail "top.iso is still in $DRIVE"
  [ -f "$DRIVE/.Trash-0/files/top.iso" ] && [ -f "$DRIVE/.Trash-0/info/top.iso.trashinfo" ] &&
    pass "top.iso is in the drive's trash $DRIVE/.Trash-0" ||
    fail "not in the drive's trash: $(find "$DRIVE/.Trash-0" "$XDG_DATA_HOME/Trash" 2>&1 | head -5)"
else
  fail "no place for top.iso: $(grep -F "drive window $DRIVE painted" "$LOG" | tail -1)"
fi

# --- empty the trash -----------------------------------------------------------------
read -r BX BY <<<"$(place_of "$DRIVE" "button:Vaciar la papelera (12 MB)")"
if [ -n "$DW" ] && [ -n "${BX:-}" ]; then
  read -r X Y W H <<<"$(geom "$DW")"
  xdotool mousemove $((X + BX)) $((Y + BY))
  sleep 0.2
  xdotool click 1
  if BOX=$(wait_dialog $VPID 30); then
    answer_box "$BOX" Return
    wait_reads "$DRIVE" "Papelera: 0 MB" 10 && pass "the window's trash is empty" ||
      fail "trash still counted: $(window_reads "$DRIVE")"
    [ -z "$(ls -A "$DRIVE/.Trash-0/files")" ] && pass "the drive's trash folder is empty" ||
      fail "left in the trash: $(ls -A "$DRIVE/.Trash-0/files")"
    for i in $(seq 1 150); do [ "$(panel_text "$LOG" "$DRIVE")" != "$PANEL_BEFORE" ] && break; sleep 0.1; done
    [ "$(panel_text "$LOG" "$DRIVE")" != "$PANEL_BEFORE" ] &&
      pass "the panel's figure changed: '$PANEL_BEFORE' -> '$(panel_text "$LOG" "$DRIVE")'" ||
      fail "the panel still reads '$PANEL_BEFORE'"
  else
    fail "no question before emptying the trash"
  fi
else
  fail "no place for the empty-trash button: $(grep -F "drive window $DRIVE painted" "$LOG" | tail -1)"
fi

# --- the language switch, with the window open -----------------------------------------
choose $VPID 3 2 # Idioma > Inglés
wait_reads "$DRIVE" "What is filling $DRIVE" 5 && wait_reads "$DRIVE" "Biggest folders: $DRIVE/big 8 MB" 1 &&
  pass "the open window follows the switch: $(window_reads "$DRIVE" | cut -c1-120)" ||
  fail "the window did not follow: $(window_reads "$DRIVE")"
choose $VPID 3 1 # Language > Spanish
wait_reads "$DRIVE" "Qué ocupa $DRIVE" 5 && pass "and back to Spanish" || fail "not back: $(window_reads "$DRIVE")"

# --- Escape closes it -------------------------------------------------------------
if [ -n "$DW" ]; then
  xdotool windowactivate --sync "$DW" 2>/dev/null
  sleep 0.2
  xdotool key Escape
  wait_for_line "$LOG" "drive window closed for $DRIVE" 5 && pass "Escape closes the window" || fail "the window stays"
fi

# --- Cancel a large scan -------------------------------------------------------------
drive_menu_choose "$LARGE" 3
wait_for_line "$LOG" "drive window opened for $LARGE" 5 || fail "no window for $LARGE"
# The new window has the focus: Escape at once, while the scan runs.
sleep 0.2
xdotool key Escape
LW=
for i in $(seq 1 50); do
  LW=$(xdotool search --all --onlyvisible --pid $VPID --name "ocupa $LARGE" 2>/dev/null | head -1)
  [ -n "$LW" ] && break
  sleep 0.02
done
if [ -n "$LW" ]; then
  if ! wait_for_line "$LOG" "scan of $LARGE stopped" 1; then
    xdotool windowactivate --sync "$LW" 2>/dev/null
    xdotool key Escape
  fi
  wait_for_line "$LOG" "scan of $LARGE stopped" 10 &&
    pass "Cancel stops the scan: $(grep -F "scan of $LARGE stopped" "$LOG" | tail -1 | sed 's/^.*stopped/stopped/')" ||
    {
      grep -qF "scan of $LARGE done" "$LOG" &&
        echo "SKIP (cancel): the scan ended before the key arrived: $(grep -F "scan of $LARGE done" "$LOG")" >&2 ||
        fail "no stop logged: $(grep -F "$LARGE" "$LOG" | tail -3)"
    }
  grep -F "scan of $LARGE stopped" "$LOG" | tail -1 | sed 's/^.*stopped \([0-9.]*\) ms.*$/[ measured ] Cancel to stop: \1 ms/'
  wait_reads "$LARGE" "Análisis cancelado" 5 && pass "the window says so: $(window_reads "$LARGE" | cut -d'|' -f2)" ||
    grep -qF "scan of $LARGE done" "$LOG" || fail "no cancelled state: $(window_reads "$LARGE")"
  xdotool key Escape
  wait_for_line "$LOG" "drive window closed for $LARGE" 5 && pass "then Escape closes it" || fail "the window stays"
else
  fail "no window for $LARGE"
fi

kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM with drive windows opened"
e2e_finish
