#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The package on this machine as a user meets it: installed with apt, its menu
# entry and icon found through the XDG data folders, /usr/bin/velmora started
# on a real X desktop with its panels painted, then purged, leaving not one
# file behind (the file lists before and after are compared).
#   package_install.sh <folder of the .deb> [<source folder the package was built from>]
# Exit 77 (skipped) without root, apt, Xvfb or xdotool.
set -u
deb_dir=${1:?folder of the .deb}
source_dir=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" = 0 ] || { echo "SKIP: installing a package needs root" >&2; exit 77; }
command -v apt-get >/dev/null || { echo "SKIP: apt-get is not installed" >&2; exit 77; }
if dpkg-query -W -f='${db:Status-Status}' velmora 2>/dev/null | grep -qv '^not-installed$'; then
  echo "SKIP: a velmora package is installed already; this test would remove it" >&2
  exit 77
fi
deb=$(ls "$deb_dir"/velmora_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package in $deb_dir" >&2; exit 1; }
version=$(dpkg-deb -f "$deb" Version)

source "$here/../e2e/e2e_lib.sh"
e2e_setup package
# A failed run leaves nothing installed either.
CLEANUP_EXTRA+=("dpkg-query -W velmora >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq velmora >/dev/null 2>&1")

# Everything outside the home folders and the caches that could hold a file
# of the package, or one that its installation or removal writes.
file_list() {
  find /usr /etc /opt /var/lib/dpkg/info /var/lib/dpkg/alternatives -xdev 2>/dev/null | LC_ALL=C sort
}
file_list >"$WORK/before"

# --- install ------------------------------------------------------------------
# apt (not dpkg -i) so that the dependencies are resolved as on a user's machine.
if DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >"$WORK/apt-install.log" 2>&1; then
  pass "apt-get install $(basename "$deb")"
else
  cat "$WORK/apt-install.log" >&2
  fail "apt-get install failed"
  e2e_finish
fi
file_list >"$WORK/installed"
installed_kb=$(dpkg-query -W -f='${Installed-Size}' velmora)
files_bytes=$(dpkg -L velmora | while read -r f; do [ -f "$f" ] && [ ! -L "$f" ] && stat -c %s "$f"; done | awk '{s += $1} END {print s}')
echo "package $(stat -c %s "$deb") bytes; installed files $files_bytes bytes (Installed-Size $installed_kb KiB)"

[ "$(/usr/bin/velmora --version)" = "velmora $version" ] && pass "/usr/bin/velmora --version: velmora $version" \
  || fail "velmora --version printed '$(/usr/bin/velmora --version)'"
for page in velmora velmora-wql velmora-lang velmora-scan; do
  man -w "$page" >/dev/null 2>&1 && pass "man $page finds its page" || fail "no manual page for $page"
done
[ "$(command -v velmora-wql)" = /usr/bin/velmora-wql ] && /usr/bin/velmora-wql "SELECT Name FROM Win32_LogicalDisk" >/dev/null \
  && pass "velmora-wql runs from /usr/bin" || fail "velmora-wql does not run from /usr/bin"

# velmora-lang of an installed program reads the window's block built into it
# when the source tree it was built from is not there: hidden here under an
# empty tmpfs in a mount namespace of its own.
if [ -n "$source_dir" ] && command -v unshare >/dev/null; then
  with_source=$(QT_QPA_PLATFORM=offscreen /usr/bin/velmora-lang source FormMain 2>/dev/null)
  without_source=$(QT_QPA_PLATFORM=offscreen unshare -m sh -c \
    'mount -t tmpfs velmora-hidden "$1/resources/forms" && exec /usr/bin/velmora-lang source FormMain' \
    sh "$source_dir" 2>"$WORK/lang.err")
  if [ -n "$without_source" ] && [ "$without_source" = "$with_source" ] \
     && echo "$without_source" | grep -qx 'menuVersion.Caption=00000003,version'; then
    pass "velmora-lang source FormMain reads the built-in block without the source tree"
  else
    cat "$WORK/lang.err" >&2
    fail "velmora-lang source FormMain without the source tree printed '$(echo "$without_source" | head -3)'"
  fi
else
  echo "SKIP (velmora-lang): no source folder given or no unshare" >&2
fi

# --- menu entry and icon through the XDG data folders -------------------------
entry=
for dir in $(echo "${XDG_DATA_HOME}:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}" | tr ':' ' '); do
  [ -f "$dir/applications/com.brindlewick.Velmora.desktop" ] && { entry="$dir/applications/com.brindlewick.Velmora.desktop"; break; }
done
if [ -n "$entry" ]; then
  pass "menu entry $entry"
  exec_cmd=$(sed -n 's/^Exec=//p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ "$(command -v "${exec_cmd%% *}")" = /usr/bin/velmora ] && pass "its Exec= starts /usr/bin/velmora" || fail "Exec=$exec_cmd does not find /usr/bin/velmora"
  found=()
  for dir in $(echo "${XDG_DATA_HOME}:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}" | tr ':' ' '); do
    for f in "$dir"/icons/hicolor/*/apps/"$icon".png "$dir"/icons/hicolor/scalable/apps/"$icon".svg; do
      [ -f "$f" ] && found+=("$f")
    done
  done
  sizes=$(printf '%s\n' "${found[@]}" | sed -n 's|.*/hicolor/\([^/]*\)/apps/.*|\1|p' | sort -V | tr '\n' ' ')
  echo "icon $icon in hicolor: $sizes"
  [ ${#found[@]} -ge 9 ] && pass "icon $icon: scalable and 8 bitmap sizes in the hicolor theme" || fail "icon $icon: only $sizes"
  for f in "${found[@]}"; do
    case "$f" in
      */48x48/*) [ "$(file -b "$f" | grep -o '48 x 48')" = "48 x 48" ] && pass "the 48x48 icon is 48 x 48" || fail "$f: $(file -b "$f")" ;;
    esac
  done
else
  fail "no menu entry com.brindlewick.Velmora.desktop in the XDG data folders"
fi

# --- the installed widget on a real desktop ------------------------------------
# An autostart entry left by a build folder that is gone.
autostart="$XDG_CONFIG_HOME/autostart/velmora.desktop"
mkdir -p "$(dirname "$autostart")"
printf '[Desktop Entry]\nType=Application\nName=Velmora\nExec=%s\n' "$WORK/gone-build/src/shell/velmora" >"$autostart"
if start_widget /usr/bin/velmora "$WORK/velmora.log"; then
  pass "/usr/bin/velmora painted its panels"
  grep -qF "which is gone; it now starts /usr/bin/velmora" "$WORK/velmora.log" \
    && pass "the entry of the gone build folder was renewed at start" || fail "the stale autostart entry was not renewed"
  # A first start (empty home) asks about starting with the session: Yes
  # (the default button).
  answer_question "$WORK/velmora.log" Return "start with the session: true" \
    && pass "first-run question answered Yes" || fail "the first-run question was not answered"
  grep -qx 'Exec=/usr/bin/velmora' "$autostart" && pass "the autostart entry starts /usr/bin/velmora" \
    || fail "autostart entry: $(cat "$autostart" 2>&1)"
  wid=$(widget_window "$VPID") && pass "widget window $(geom "$wid" | awk '{print $3 "x" $4}')" || fail "no widget window"
  grep -q "Qt's texts from /usr/share/qt6/translations/qtbase_es.qm" "$WORK/velmora.log" \
    && pass "Qt's own texts come from Debian's Spanish catalogue" || fail "Qt's Spanish catalogue was not loaded"
  kill -TERM "$VPID"
  expect_exit "$VPID" 0 "SIGTERM"
fi

# --- purge ----------------------------------------------------------------------
if DEBIAN_FRONTEND=noninteractive apt-get purge -y -q velmora >"$WORK/apt-purge.log" 2>&1; then
  pass "apt-get purge velmora"
else
  cat "$WORK/apt-purge.log" >&2
  fail "apt-get purge failed"
fi
dpkg-query -W -f='${db:Status-Status}' velmora 2>/dev/null | grep -qv '^not-installed$' \
  && fail "dpkg still knows velmora: $(dpkg-query -W -f='${db:Status-Abbrev}' velmora)" || pass "dpkg knows velmora no more"
file_list >"$WORK/after"
# What the installation added must be gone, and nothing else may have come.
# A path that appeared meanwhile and belongs to another package was put there
# by someone else's apt run on this machine, not by ours.
left=()
while read -r path; do
  [ -n "$path" ] || continue
  dpkg -S "$path" >/dev/null 2>&1 && continue
  left+=("$path")
done < <(LC_ALL=C comm -13 "$WORK/before" "$WORK/after")
added=$(LC_ALL=C comm -13 "$WORK/before" "$WORK/installed" | wc -l)
if [ ${#left[@]} -eq 0 ]; then
  pass "purged: all $added paths the installation added are gone, nothing new is left"
else
  fail "left behind after the purge: ${left[*]}"
fi
# A folder the package shares with the system (/usr/share/metainfo, ...) that
# was there before must still be there.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|; s|/$||' | LC_ALL=C sort >"$WORK/paths"
gone=$(LC_ALL=C comm -23 "$WORK/before" "$WORK/after" | LC_ALL=C comm -12 - "$WORK/paths")
[ -z "$gone" ] && pass "every folder that was there before is still there" || fail "gone after install and purge: $gone"

e2e_finish
