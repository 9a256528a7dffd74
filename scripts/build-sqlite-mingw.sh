#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SQLite for the Windows build, from Debian's own sqlite3 source package (the
# version of the libsqlite3-dev installed here, with Debian's patches): its
# amalgamation made on this machine (tclsh), then compiled with MinGW-w64
# into a static library, so velmora.exe and velmora-wql.exe carry it and the
# folder users get needs no further DLL.
#
#   bash scripts/build-sqlite-mingw.sh PREFIX
#
# Leaves PREFIX/include/sqlite3.h, PREFIX/lib/libsqlite3.a and
# PREFIX/.debian-version. When that file already names the version wanted,
# nothing is done (the build folder keeps it between runs, as it keeps Qt for
# MinGW unpacked). Needs root for apt: the archive's deb-src lines are added
# beside the deb lines this machine uses when apt has none.
set -euo pipefail
prefix=${1:?usage: build-sqlite-mingw.sh PREFIX}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev 2>/dev/null || true)
[ -n "$version" ] || { echo "build-sqlite-mingw: libsqlite3-dev is not installed" >&2; exit 1; }
if [ -f "$prefix/lib/libsqlite3.a" ] && [ "$(cat "$prefix/.debian-version" 2>/dev/null)" = "$version" ]; then
  echo "build-sqlite-mingw: SQLite $version already built in $prefix"
  exit 0
fi

if [ -z "$(apt-cache showsrc sqlite3 2>/dev/null)" ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      >/etc/apt/sources.list.d/velmora-src.sources
  fi
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/velmora-src.list
  fi
  apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# dpkg-source unpacks it with Debian's patches applied.
apt-get source -qq "sqlite3=$version" >/dev/null
src=$(find . -maxdepth 1 -type d -name 'sqlite3-*' | head -1)
[ -n "$src" ] || { echo "build-sqlite-mingw: no sqlite3 source tree from apt-get source" >&2; exit 1; }
cd "$src"
# The amalgamation is made by host tools (lemon, mkkeywordhash) and tclsh.
./configure --disable-tcl >/dev/null
make -s sqlite3.c >/dev/null

# Threads as the store uses them (a connection per thread); the rest are
# SQLite's own defaults.
x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite3.c -o sqlite3.o
mkdir -p "$prefix/include" "$prefix/lib"
rm -f "$prefix/lib/libsqlite3.a"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" sqlite3.o
cp sqlite3.h sqlite3ext.h "$prefix/include/"
echo "$version" >"$prefix/.debian-version"
echo "build-sqlite-mingw: SQLite $version (Debian's source package) built into $prefix"
