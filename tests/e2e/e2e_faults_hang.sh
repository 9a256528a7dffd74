#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A network mount whose server stops answering, with the widget running on a
# real X desktop: a FUSE file system (velmora_hangfs, mounted with a remote
# looking source) whose statfs blocks. While it hangs the widget still opens
# its menu and follows a drag, the drive's panel shows no figures, and a
# SIGTERM still ends it at once; once the server answers again the figures
# come back at the next refresh, and go again when it hangs again. A tmpfs
# mounted inside the network mount (a stick mounted in an NFS home) hangs
# with it, since finding its path waits on the server: the widget does not
# freeze on it either, and its figures come and go with the server's.
#
#   e2e_faults_hang.sh <path of velmora> <path of velmora_hangfs>
# Exit 77 (skipped) without root, /dev/fuse, Xvfb or xdotool.
set -u
VELMORA=${1:?path of the velmora program}
HANGFS=${2:-}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"

[ "$(id -u)" = 0 ] || skip_loudly "needs root to mount a FUSE file system"
[ -c /dev/fuse ] || skip_loudly "no /dev/fuse"
[ -n "$HANGFS" ] && [ -x "$HANGFS" ] || skip_loudly "velmora_hangfs was not built (libfuse3 missing?)"
e2e_setup faults-hang

RELEASE="$WORK/server-back"
NET="$WORK/net"
INNER="$NET/stick"
mkdir -p "$NET"
# The server answers while the tmpfs is mounted inside, then stops.
touch "$RELEASE"
VELMORA_HANGFS_RELEASE="$RELEASE" VELMORA_HANGFS_LOG="$WORK/hangfs.log" VELMORA_HANGFS_DIR=stick \
  "$HANGFS" -f -o fsname=deadserver:/export "$NET" >"$WORK/hangfs.out" 2>&1 &
HANGPID=$!
# Let any hung call go before the daemon is killed, so nothing waits on it.
CLEANUP_EXTRA+=("touch '$RELEASE'; umount -l '$INNER' 2>/dev/null; kill $HANGPID 2>/dev/null; wait $HANGPID 2>/dev/null")
MOUNTS+=("$NET")
for i in $(seq 1 50); do
  grep -qF " $NET " /proc/self/mountinfo && break
  sleep 0.1
done
grep -qF " $NET " /proc/self/mountinfo || { cat "$WORK/hangfs.out" >&2; fail "hangfs did not mount"; e2e_finish; }
mount -t tmpfs -o size=64m stick "$INNER" || { fail "no tmpfs inside the network mount"; e2e_finish; }
rm -f "$RELEASE"
# The kernel asks the server about the tmpfs's folder again once its entry is
# a second old; from then on every path through it waits.
sleep 1.2

write_ini 5 True
start_widget "$VELMORA" "$WORK/widget.log" || e2e_finish
wait_for_line "$WORK/hangfs.log" statfs 10 && pass "the widget asked the hung mount" || fail "no statfs reached the hung mount"
wait_for_line "$WORK/widget.log" "panel $NET reads:" 10 || fail "no panel for the hung mount"
[ -z "$(panel_text "$WORK/widget.log" "$NET")" ] && pass "the hung drive shows no figures" ||
  fail "the hung drive shows '$(panel_text "$WORK/widget.log" "$NET")'"
wait_for_line "$WORK/widget.log" "panel $INNER reads:" 10 || fail "no panel for the tmpfs inside the hung mount"
[ -z "$(panel_text "$WORK/widget.log" "$INNER")" ] && pass "the tmpfs inside the hung mount shows no figures" ||
  fail "the tmpfs inside the hung mount shows '$(panel_text "$WORK/widget.log" "$INNER")'"
WID=$(widget_window $VPID) || { fail "no widget window"; e2e_finish; }
read -r X Y W H <<<"$(geom "$WID")"
echo "widget $WID at $X,$Y ${W}x$H"

# --- responsive while it hangs -------------------------------------------------
# Three times, a few seconds apart so that refreshes fall in between: the
# menu opens on a right click within two seconds (a refresh waits at most
# 50 ms for the mounts).
opened=0
for round in 1 2 3; do
  read -r X Y W H <<<"$(geom "$WID")"
  xdotool mousemove $((X + 150)) $((Y + 45))
  sleep 0.1
  t0=$(date +%s%N)
  xdotool click 3
  ok=no
  for i in $(seq 1 40); do
    open_menu $VPID >/dev/null && { ok=yes; break; }
    sleep 0.05
  done
  ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  if [ $ok = yes ] && [ $ms -le 2000 ]; then opened=$((opened + 1)); echo "menu open after $ms ms"; else echo "menu not open after $ms ms" >&2; fi
  xdotool key Escape
  sleep 1.7
done
[ $opened = 3 ] && pass "the menu opened each time while the mount hung" || fail "the menu opened $opened of 3 times"

drag_widget "$WID" 120 80
sleep 1.5
read -r X2 Y2 _ _ <<<"$(geom "$WID")"
[ "$X2" -ne "$X" ] || [ "$Y2" -ne "$Y" ] && pass "a drag moved it from $X,$Y to $X2,$Y2 while the mount hung" ||
  fail "a drag did not move it ($X,$Y)"
# Only the widget's own calls count: the log names the calling thread.
calls=0
while read -r _ tid; do [ -d "/proc/$VPID/task/$tid" ] && calls=$((calls + 1)); done < <(grep statfs "$WORK/hangfs.log")
[ "$calls" = 1 ] && pass "the hung call is not asked again (1 statfs in $(grep -c 'reads:' "$WORK/widget.log") panel updates)" ||
  fail "$calls statfs calls on the hung mount: every refresh leaves a thread behind"

# --- the server answers again --------------------------------------------------
touch "$RELEASE"
back=no
for i in $(seq 1 90); do
  [ "$(panel_text "$WORK/widget.log" "$NET")" = "512 MB disponibles de 1024 MB" ] && { back=yes; break; }
  sleep 0.1
done
[ $back = yes ] && pass "figures back within $((i * 100)) ms of the server answering" ||
  fail "after the server answered the panel reads '$(panel_text "$WORK/widget.log" "$NET")'"
for i in $(seq 1 90); do
  [ "$(panel_text "$WORK/widget.log" "$INNER")" = "64 MB disponibles de 64 MB" ] && break
  sleep 0.1
done
[ "$(panel_text "$WORK/widget.log" "$INNER")" = "64 MB disponibles de 64 MB" ] && pass "the tmpfs inside shows its figures again" ||
  fail "after the server answered the tmpfs inside reads '$(panel_text "$WORK/widget.log" "$INNER")'"

# The first refresh after this finds the new call late and shows the last
# figures; the next one, five seconds later, finds it past the one-second
# deadline.
rm -f "$RELEASE"
gone=no
for i in $(seq 1 120); do
  [ -z "$(panel_text "$WORK/widget.log" "$NET")" ] && { gone=yes; break; }
  sleep 0.1
done
[ $gone = yes ] && pass "hung again: figures gone again" || fail "hung again, yet the panel reads '$(panel_text "$WORK/widget.log" "$NET")'"
for i in $(seq 1 120); do
  [ -z "$(panel_text "$WORK/widget.log" "$INNER")" ] && break
  sleep 0.1
done
[ -z "$(panel_text "$WORK/widget.log" "$INNER")" ] && pass "hung again: the tmpfs inside shows no figures either" ||
  fail "hung again, yet the tmpfs inside reads '$(panel_text "$WORK/widget.log" "$INNER")'"

# --- the end does not wait for the hung call -------------------------------------
# The widget ends in order at once: settings written, window gone. The kernel
# may still hold the process (a zombie with one thread in uninterruptible
# sleep) until the FUSE server answers the request it was already sent, as
# with any program on a hard network mount; that answer is given here.
kill -TERM $VPID
wait_for_line "$WORK/widget.log" "window destroyed" 5 && pass "SIGTERM: orderly end at once while a statfs hangs" ||
  fail "no orderly end within 5 s of SIGTERM while a statfs hung"
for i in $(seq 1 30); do widget_window $VPID >/dev/null || break; sleep 0.1; done
widget_window $VPID >/dev/null && fail "the window is still on the screen" || pass "the window is gone"
for i in $(seq 1 20); do kill -0 $VPID 2>/dev/null || break; sleep 0.1; done
if kill -0 $VPID 2>/dev/null; then
  for t in /proc/$VPID/task/*; do echo "  held by the kernel: thread state $(awk '{print $3}' "$t/stat") in $(cat "$t/wchan")"; done
  touch "$RELEASE"
fi
for i in $(seq 1 50); do kill -0 $VPID 2>/dev/null || break; sleep 0.1; done
if kill -0 $VPID 2>/dev/null; then
  fail "still not ended once the server answered"
else
  wait $VPID
  rc=$?
  [ $rc = 0 ] && pass "exit code 0" || fail "exit code $rc after SIGTERM"
fi
PIDS=()
grep -qE "ASSERT|Segmentation|terminate called" "$WORK/widget.log" && fail "crash traces in the log"
e2e_finish
