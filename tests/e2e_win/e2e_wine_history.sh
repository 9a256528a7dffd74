#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The drive history of the Windows widget under Wine: velmora.exe, run on a
# throw-away X desktop with Wine's own WMI, writes its history to
# %LOCALAPPDATA%\Velmora\history.sqlite, and velmora-wql.exe answers
# Velmora_DiskTrend from it for the drives Wine gives (C: at least). The file
# is the SQLite database the README documents: sqlite3 on Linux reads its
# volume table.
#
#   e2e_wine_history.sh <folder with velmora.exe>
# Environment: WINEPREFIX (a prefix of its own under the work folder when
# unset). Exit 77 (skip) without Wine or Xvfb.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/scripts/e2e/desktop.sh"

FOLDER=${1:?usage: e2e_wine_history.sh <folder with velmora.exe>}
FOLDER=$(cd "$FOLDER" && pwd)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
skip_loudly() { echo "SKIP: $*" >&2; exit 77; }

for tool in wine wineserver winepath; do
  command -v "$tool" >/dev/null || skip_loudly "$tool is not installed"
done
[ -f "$FOLDER/velmora.exe" ] || { echo "no velmora.exe in $FOLDER" >&2; exit 1; }

WORK=$(mktemp -d /tmp/velmora-wine-history.XXXXXX)
VPID=
cleanup() {
  [ -n "$VPID" ] && kill -0 "$VPID" 2>/dev/null && kill -9 "$VPID"
  wineserver -k 2>/dev/null
  velmora_desktop_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

export WINEPREFIX=${WINEPREFIX:-$WORK/wineprefix}
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM VELMORA_FAKE_WBEM

velmora_desktop_start
rc=$?
[ $rc -eq 0 ] || exit $rc
wineserver -p
wineboot -i >/dev/null 2>&1

unix_of() { winepath -u "$(wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
APPDATA=$(unix_of APPDATA)
LOCALAPPDATA=$(unix_of LOCALAPPDATA)
[ -n "$APPDATA" ] && [ -n "$LOCALAPPDATA" ] || { echo "cannot tell %APPDATA% / %LOCALAPPDATA%" >&2; exit 1; }
DB="$LOCALAPPDATA/Velmora/history.sqlite"
echo "history file: $DB"
rm -f "$DB" "$DB-wal" "$DB-shm" "$DB.bad"

# A settings file as the widget writes it: no first-run question.
INI="$APPDATA/Brindlewick/Velmora/config.ini"
mkdir -p "$(dirname "$INI")"
printf '[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=5\r\nOpacidad=255\r\nEjecutarInicio=False\r\nVerDiscosRed=False\r\nIdioma=0\r\n' >"$INI"

trends() { wine "$FOLDER/velmora-wql.exe" "$1" 2>/dev/null | tr -d '\r'; }
# Before the widget ran: no history, no drives, no error.
before=$(trends "SELECT Name FROM Velmora_DiskTrend")
[ -z "$before" ] && pass "no history: Velmora_DiskTrend lists nothing" || fail "without a history: $before"

wine "$FOLDER/velmora.exe" >"$WORK/velmora.log" 2>&1 &
VPID=$!
answer=
for i in $(seq 1 60); do
  answer=$(trends "SELECT Name, Samples, Size FROM Velmora_DiskTrend WHERE Name = 'C:'")
  echo "$answer" | grep -q 'Name = "C:";' && break
  sleep 1
done
[ -f "$DB" ] && pass "the widget wrote $DB" || fail "no history file at $DB"
echo "$answer"
echo "$answer" | grep -q 'Name = "C:";' && pass "velmora-wql.exe answers Velmora_DiskTrend for C: from it" ||
  fail "Velmora_DiskTrend for C:: ${answer:-nothing}"
echo "$answer" | grep -qE 'Samples = [1-9][0-9]*;' && pass "with the samples the widget wrote" ||
  fail "no samples in: $answer"
echo "$answer" | grep -qE 'Size = "[1-9][0-9]*";' && pass "with the drive's size" || fail "no size in: $answer"

if command -v sqlite3 >/dev/null; then
  volumes=$(sqlite3 -readonly "$DB" "SELECT name FROM volume ORDER BY name" 2>&1 | tr '\n' ' ')
  echo "$volumes" | grep -q 'C:' && pass "sqlite3 reads the widget's volumes: $volumes" ||
    fail "sqlite3 on the file: $volumes"
else
  echo "note: sqlite3 is not installed: the file was not read on the Linux side"
fi

kill "$VPID" 2>/dev/null
wait "$VPID" 2>/dev/null
VPID=
# The history outlives the widget.
after=$(trends "SELECT Name FROM Velmora_DiskTrend WHERE Name = 'C:'")
echo "$after" | grep -q 'Name = "C:";' && pass "the history outlives the widget" || fail "after the widget ended: $after"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
