#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs, from Debian's packages, whatever of the build and test
# dependencies is missing. Sourced by ./run and ./test.

# What building and running the widget needs (./run).
VELMORA_RUN_PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config make
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libxcb1-dev libxcb-xfixes0-dev zlib1g-dev libmount-dev libblkid-dev libsimpleini-dev
  libcurl4-openssl-dev nlohmann-json3-dev
  # the drive history
  libsqlite3-dev
  # the servers' passwords in the desktop's keyring (the Secret Service)
  libsecret-1-dev
  # tools and suites are configured with the same project
  googletest libgtest-dev libgmock-dev libbenchmark-dev libfuse3-dev
  # the widget's desktop integration at run time; Qt's own texts in the
  # widget's language
  qt6-qpa-plugins libqt6svg6 fonts-dejavu-core qt6-translations-l10n
  # the manual pages are written in scdoc markup
  scdoc
)

# What building only the Windows folder and its zip needs
# (scripts/windows-build.sh): the MinGW-w64 cross compiler, zlib for MinGW,
# the host's Qt tools (moc, rcc, uic and their CMake packages), the SimpleIni
# header, Qt's Spanish catalogue for the folder and xz for the Qt archive.
VELMORA_WINDOWS_PACKAGES=(
  cmake ninja-build xz-utils
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  qt6-base-dev qt6-base-dev-tools libsimpleini-dev qt6-translations-l10n
  # SQLite for the drive history, built from Debian's sqlite3 source package
  # (scripts/build-sqlite-mingw.sh) with tclsh
  tcl dpkg-dev gcc make libsqlite3-dev
)

# Everything ./test needs on top of that.
VELMORA_PACKAGES=(
  "${VELMORA_RUN_PACKAGES[@]}"
  # the sanitizer and fuzz build
  clang libclang-rt-14-dev
  # the layout check of the C++ sources (scripts/check-format.sh)
  clang-format
  # real mounts, FUSE, the desktop launcher check
  fuse3 e2fsprogs util-linux mount libglib2.0-bin
  # the drive scanner's anchors in its suites and benchmark (coreutils' du is always there)
  gdu ncdu
  # images read-only by nature (squashfs), left out of the drives
  squashfs-tools
  # the machine-like extra mounts of scripts/extra-mounts.sh (two btrfs subvolumes)
  btrfs-progs
  # a real X desktop for the window tests
  xvfb xauth openbox trayer xdotool x11-utils x11-xserver-utils x11-apps
  # a screen that changes size while the widget runs (Xephyr inside Xvfb)
  xserver-xephyr
  # a compositing manager started and stopped while the widget runs
  xcompmgr
  # a Wayland session with and without XWayland, and Qt's Wayland platform
  weston xwayland qt6-wayland
  # the Debian package: made with cpack (dpkg-shlibdeps), checked with Debian's
  # and freedesktop's validators, installed and purged with apt (tests/package)
  dpkg-dev lintian desktop-file-utils appstream man-db file
  # the drive history read as its README shows
  sqlite3
  # the peer of the idle widget's benchmark (bench_idle): conky showing the same drives
  conky-std
  # drives of other machines: a real Prometheus, node_exporter, a bcrypt password
  prometheus prometheus-node-exporter apache2-utils
  # a private session and system bus with stand-ins for the notification
  # server and UDisks2
  dbus-daemon python3-dbusmock python3-dbus python3-gi
  # a private keyring (Secret Service) on that bus, and its command-line client
  gnome-keyring libsecret-tools
  # the desktop's default handler for a folder (QDesktopServices on X11)
  xdg-utils
  # the Windows half, cross-compiled and run under Wine (scripts/wine-tests.sh)
  wine wine64
  # the whole widget for Windows (Qt for MinGW comes from ../shared/qt6-mingw)
  "${VELMORA_WINDOWS_PACKAGES[@]}"
)

velmora_install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null || { echo "Missing packages (${missing[*]}) and no sudo to install them." >&2; return 1; }
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
