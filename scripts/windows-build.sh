#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows program alone: the folder users get,
# build-win/widget/Velmora (velmora.exe, velmora-wql.exe, velmora-lang.exe
# beside the Qt, MinGW and zlib DLLs (SQLite linked in) and Qt's Spanish catalogue), and its zip
# build-win/widget/Velmora-<version>-win64.zip. Cross-compiled on Debian with
# MinGW-w64 against a Qt for MinGW; nothing is run, no test is built.
#
#   bash scripts/windows-build.sh          (from anywhere)
# Environment: BUILD_WIN (default build-win; the widget goes into its widget/
# folder), VELMORA_QT_MINGW (a folder holding Qt for MinGW; else
# qt6-mingw-6.4.2.tar.xz from ../shared/qt6-mingw beside the repository is
# unpacked into $BUILD_WIN/qt6-mingw once). Exit status 0 once the zip is
# built; 1 when something is missing or the build fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/deps.sh
velmora_install_packages "${VELMORA_WINDOWS_PACKAGES[@]}" || exit 1

build=${BUILD_WIN:-build-win}
case $build in /*) ;; *) build=$root/$build ;; esac
mkdir -p "$build" || exit 1
start=$(date +%s)
elapsed() { echo "$(($(date +%s) - start))s"; }

qt=
if [ -n "${VELMORA_QT_MINGW:-}" ]; then
  qt=$VELMORA_QT_MINGW
else
  # shared/ lies beside the repository (beside the main clone, for a git
  # worktree one level further down).
  archive=
  for shared in "$root/../shared" "$root/../../shared"; do
    [ -f "$shared/qt6-mingw/qt6-mingw-6.4.2.tar.xz" ] && { archive=$shared/qt6-mingw/qt6-mingw-6.4.2.tar.xz; break; }
  done
  if [ -n "$archive" ]; then
    if [ ! -f "$build/qt6-mingw/.unpacked" ] || [ "$archive" -nt "$build/qt6-mingw/.unpacked" ]; then
      echo "windows-build: unpacking $archive into $build"
      rm -rf "$build/qt6-mingw"
      tar xJf "$archive" -C "$build" && touch "$build/qt6-mingw/.unpacked" || exit 1
    fi
    qt=$build/qt6-mingw
  fi
fi
if [ -z "$qt" ] || [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  cat >&2 <<EOM
windows-build: no Qt for MinGW. Set VELMORA_QT_MINGW to a Qt for MinGW folder,
or put qt6-mingw-6.4.2.tar.xz into ../shared/qt6-mingw beside the repository
(../shared/qt6-mingw/build-qt6-mingw.sh builds it from Debian's Qt sources).
EOM
  exit 1
fi

widget=$build/widget
# SimpleIni is one header; the cross compiler must not see /usr/include.
mkdir -p "$build/include" && cp /usr/include/SimpleIni.h "$build/include/" || exit 1
# SQLite for the drive history: built once from Debian's source package and
# kept in the build folder until Debian's version changes.
sqlite=$build/sqlite-mingw
bash scripts/build-sqlite-mingw.sh "$sqlite" || { echo "windows-build: SQLite for MinGW failed" >&2; exit 1; }
echo "windows-build: SQLite for MinGW ready in $(elapsed)"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$widget" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DSIMPLEINI_INCLUDE_DIR="$build/include" \
  -DSQLite3_INCLUDE_DIR="$sqlite/include" -DSQLite3_LIBRARY="$sqlite/lib/libsqlite3.a" -DVELMORA_BENCH=OFF -DVELMORA_WERROR=ON "${launcher[@]}" >/dev/null ||
  { echo "windows-build: configuring $widget failed" >&2; exit 1; }
cmake --build "$widget" -j"$(nproc)" --target velmora_windows_zip ||
  { echo "windows-build: the build failed" >&2; exit 1; }

zip=$(ls "$widget"/Velmora-*-win64.zip 2>/dev/null | head -1)
[ -n "$zip" ] || { echo "windows-build: no zip in $widget" >&2; exit 1; }
[ -f "$widget/Velmora/translations/qtbase_es.qm" ] ||
  echo "windows-build: WARNING: no translations/qtbase_es.qm in the folder: the question boxes show English buttons" >&2
echo "windows-build: built in $(elapsed)"
echo "  folder: $widget/Velmora"
echo "  zip:    $zip ($(du -k "$zip" | cut -f1) kB)"
echo "  run it: wine $widget/Velmora/velmora.exe"
