#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the suites that look at the machine's real mount table with the mounts
# a contributor's machine may have besides the test's own: two subvolumes of
# one btrfs, an ext4 image with a label, a squashfs image (all on loop
# devices) and a few tmpfs, mounted under a temporary folder. Everything is
# unmounted and detached on exit, whatever the suites did.
#
#   sudo scripts/extra-mounts.sh [build folder] [ctest arguments...]
# Default: the build folder "build" and the root and platform suites without
# the package and end-to-end runs (-L 'root|platform' -LE 'package|e2e').
# Needs root, mkfs.btrfs and btrfs (btrfs-progs), mksquashfs (squashfs-tools),
# mkfs.ext4 (e2fsprogs) and losetup; exit 77 when one is missing.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
shift || true
[ $# -gt 0 ] || set -- -L 'root|platform' -LE 'package|e2e'

skip() { echo "extra-mounts: SKIP: $*" >&2; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root to mount"
for tool in mkfs.btrfs btrfs mksquashfs mkfs.ext4 losetup; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps.sh)"
done
[ -d "$BUILD" ] || { echo "extra-mounts: no build folder $BUILD" >&2; exit 2; }

WORK=$(mktemp -d /tmp/velmora-extra-mounts.XXXXXX)
MOUNTED=()
LOOPS=()
cleanup() {
  local i
  for ((i = ${#MOUNTED[@]} - 1; i >= 0; i--)); do
    umount "${MOUNTED[i]}" 2>/dev/null || umount -l "${MOUNTED[i]}" 2>/dev/null
  done
  for i in "${LOOPS[@]}"; do losetup -d "$i" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail_setup() { echo "extra-mounts: $*" >&2; exit 1; }
mount_at() { # path mount-arguments...
  local path=$1
  shift
  mkdir -p "$path"
  mount "$@" "$path" || fail_setup "cannot mount $path"
  MOUNTED+=("$path")
}
loop_of() { # image; the loop device in LOOP
  LOOP=$(losetup --find --show "$1") || fail_setup "no loop device for $1"
  LOOPS+=("$LOOP")
}
M="$WORK/mnt"

# Two subvolumes of one btrfs, as Fedora and openSUSE install: one pool of
# free space, mounted twice.
truncate -s 128M "$WORK/btrfs.img"
mkfs.btrfs -q -L VelmoraPool "$WORK/btrfs.img" >/dev/null || fail_setup "mkfs.btrfs failed"
loop_of "$WORK/btrfs.img"
BTRFS=$LOOP
mount_at "$WORK/btrfs-top" "$BTRFS"
btrfs -q subvolume create "$WORK/btrfs-top/home" >/dev/null && btrfs -q subvolume create "$WORK/btrfs-top/snap" >/dev/null ||
  fail_setup "cannot make the subvolumes"
umount "$WORK/btrfs-top" && unset 'MOUNTED[-1]'
mount_at "$M/bhome" -o subvol=home "$BTRFS"
mount_at "$M/bsnap" -o subvol=snap "$BTRFS"

# An ext4 image with a label.
truncate -s 32M "$WORK/ext4.img"
mkfs.ext4 -q -F -L VelmoraExtra "$WORK/ext4.img" || fail_setup "mkfs.ext4 failed"
loop_of "$WORK/ext4.img"
mount_at "$M/ext4 labelled" "$LOOP"

# A squashfs image, away from /snap.
mkdir -p "$WORK/squash-content" && echo content >"$WORK/squash-content/file"
mksquashfs "$WORK/squash-content" "$WORK/image.squashfs" -quiet -no-progress >/dev/null || fail_setup "mksquashfs failed"
loop_of "$WORK/image.squashfs"
mount_at "$M/image" -t squashfs -o ro "$LOOP"

# A few RAM disks.
for name in ram1 ram2 ram3; do
  mount_at "$M/$name" -t tmpfs -o size=8m "velmora-extra-$name"
done

echo "extra-mounts: mounted under $M:"
findmnt -rn -o TARGET,FSTYPE,SOURCE | grep -F "$M" | sed 's/^/  /'
(cd "$BUILD" && ctest --output-on-failure "$@")
