#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows build under Wine. First the Qt-free platform layer: cross-compiles
# tests/win with MinGW-w64 into build-win/, runs every suite under Wine (in a
# prefix of its own, build-win/wineprefix, on an X display for the window
# tests) through ctest, then runs the Linux half of the settings-file round
# trip against the file the Windows suite left behind. Then the whole widget:
# built against Qt for MinGW into build-win/widget, laid out as users get it
# (build-win/widget/Velmora, zipped beside it), its DLL check and its end to
# end test under Wine. Exit status: 0 when everything passed.
#
#   bash scripts/wine-tests.sh            (from anywhere)
# Environment: BUILD_WIN (default build-win), LINUX_BUILD (default build: where
# the main project's tst_win_profile_compat was built), DISPLAY (an X display;
# when unset, an Xvfb of its own is started and stopped), VELMORA_QT_MINGW (a
# folder holding Qt for MinGW; else ../shared/qt6-mingw/qt6-mingw-6.4.2.tar.xz
# beside the repository is unpacked into build-win/; with neither, the
# widget's Windows build is skipped, loudly).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/deps.sh
velmora_install_packages "${VELMORA_PACKAGES[@]}" || exit 1

build=${BUILD_WIN:-build-win}
linux_build=${LINUX_BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
case $linux_build in /*) ;; *) linux_build=$root/$linux_build ;; esac
start=$(date +%s)
elapsed() { echo "$(( $(date +%s) - start ))s"; }

cmake -S tests/win -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DVELMORA_WERROR=ON \
  -DVELMORA_PROFILE_OUT="$build/profile-written.ini" || exit 1
cmake --build "$build" -j"$(nproc)" || exit 1
echo "wine-tests: built in $(elapsed)"

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installers: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# Wine takes the user's locale from here; the suites expect English (1033).
export LC_ALL=C.UTF-8

xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  if command -v Xvfb >/dev/null; then
    for n in $(seq 70 99); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
    done
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
    export DISPLAY=$display
    echo "wine-tests: Xvfb on $DISPLAY"
  else
    echo "wine-tests: WARNING: no DISPLAY and no Xvfb: the window tests will SKIP" >&2
  fi
fi

# A persistent server, warmed up before ctest: the first wine call creates the
# prefix (slow), and Wine's helper processes (services, winedevice, explorer)
# would otherwise outlive the first test and hold ctest's output pipes.
wineserver -p
wineboot -i >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
echo "wine-tests: Wine prefix ready in $(elapsed)"

status=0
rm -f "$build/profile-written.ini"
# One suite at a time: the window suites change the foreground window.
ctest --test-dir "$build" --output-on-failure -j1 || status=1
echo "wine-tests: Windows suites done in $(elapsed)"

# The Linux half of the settings round trip reads what the Windows profile
# writer left behind.
compat="$linux_build/tests/win/linux/tst_win_profile_compat"
if [ -x "$compat" ]; then
  VELMORA_WINE_PROFILE="$build/profile-written.ini" "$compat" || status=1
else
  echo "wine-tests: WARNING: $compat not built: the Linux half of the settings round trip did not run" >&2
fi

# The whole widget for Windows: the folder and its zip built by
# scripts/windows-build.sh, then the tests of that build (they are configured
# with it, and built by the default target).
widget=$build/widget
qt_found=
if [ -n "${VELMORA_QT_MINGW:-}" ]; then
  qt_found=1
else
  for shared in "$root/../shared" "$root/../../shared"; do
    [ -f "$shared/qt6-mingw/qt6-mingw-6.4.2.tar.xz" ] && qt_found=1
  done
fi
if [ -z "$qt_found" ]; then
  cat >&2 <<EOM
##########################################################################
wine-tests: WARNING: NO QT FOR MINGW: THE WIDGET'S WINDOWS BUILD WAS SKIPPED
  (set VELMORA_QT_MINGW to a Qt for MinGW folder, or put
   qt6-mingw-6.4.2.tar.xz in ../shared/qt6-mingw beside the repository)
##########################################################################
EOM
elif BUILD_WIN=$build bash scripts/windows-build.sh && cmake --build "$widget" -j"$(nproc)"; then
  echo "wine-tests: widget built in $(elapsed)"
  ctest --test-dir "$widget" --output-on-failure -j1 || status=1
  echo "wine-tests: widget tests done in $(elapsed)"
else
  echo "wine-tests: the widget's Windows build FAILED" >&2
  status=1
fi

echo "wine-tests: finished in $(elapsed), status $status"
exit $status
