// SPDX-License-Identifier: MIT
#pragma once

// The mount table as plain values, and the pure rules that turn it into the
// logical disks of Win32_LogicalDisk. Reading (libmount, sysfs) is kept apart
// from the rules so that tests and fuzzers can feed fixtures.

#include "platform/DriveType.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One mount, copied out of libmount. Strings are already unescaped (libmount
// decodes mountinfo's \040-style octal escapes), so they may hold blanks,
// newlines or any other byte.
struct LinuxMountEntry
{
    int id = 0;
    int parentId = 0;
    unsigned devMajor = 0; // st_dev of the mounted file system
    unsigned devMinor = 0;
    std::string source;  // "/dev/sda1", "server:/export", "tmpfs"
    std::string target;  // the mount path
    std::string fsType;  // "ext4", "fuse.sshfs"
    std::string root;    // the mounted subtree of the file system ("/" unless a bind mount)
    std::string options; // VFS, superblock and user options, comma-separated
    bool pseudo = false; // libmount's list of pseudo file systems
    bool netfs = false;  // libmount's list of network file systems

    bool operator==(const LinuxMountEntry &) const = default;
};

// Reads /proc/self/mountinfo (with libmount's user options from utab) and
// adds the options of /etc/fstab entries for the same mount path, where
// x-gvfs-hide / x-gvfs-show are found. Throws std::runtime_error when the
// table cannot be read.
std::vector<LinuxMountEntry> ReadLinuxMountTable();

// Parses a mount table file (mountinfo or fstab format, as libmount detects)
// and, when fstabPath is not empty, merges the options of that fstab file as
// ReadLinuxMountTable does. Throws std::runtime_error when a file cannot be
// read; lines libmount cannot parse are skipped.
std::vector<LinuxMountEntry> ParseLinuxMountTableFile(const std::string &path, const std::string &fstabPath = {});

// The same for a table held in memory (mountinfo or fstab format); for
// fuzzers and tests. Throws std::runtime_error when libmount cannot read it.
std::vector<LinuxMountEntry> ParseLinuxMountTableText(const std::string &text);

// True when options (comma-separated, "name" or "name=value") hold name.
bool HasMountOption(const std::string &options, const std::string &name);

// Every rule of a logical disk that the mount entry alone decides: not a
// pseudo file system, not a system mount point, not a snap image, not hidden
// by x-gvfs-hide; x-gvfs-show shows any mount that is not a pseudo file
// system, wherever it is mounted. (A zero-size file system is dropped later, once its
// statvfs is known.)
bool IsLinuxLogicalDiskCandidate(const LinuxMountEntry &entry);

// A network mount: libmount's netfs list, or df's notion of a remote source
// (a ':' in it, a "//server/share" of SMB/CIFS, "-hosts"), or a known network
// or network-backed FUSE type.
bool IsLinuxNetworkMount(const LinuxMountEntry &entry);

// The candidates in mount-table order, one per file system: an over-mounted
// path keeps only its top mount, and bind mounts and other duplicates of one
// device keep the entry df would show (a real source with '/' over one
// without; otherwise the shorter mount path unless its root is deeper; an
// over-mount of the same path by another source replaces it). Remote mounts
// of different sources are never merged.
std::vector<LinuxMountEntry> SelectLinuxLogicalDisks(const std::vector<LinuxMountEntry> &entries);
// The same, taking the chosen entries out of a table that is not needed
// afterwards instead of copying them.
std::vector<LinuxMountEntry> SelectLinuxLogicalDisks(std::vector<LinuxMountEntry> &&entries);

// What sysfs tells about the block device behind a mount.
struct LinuxDeviceFacts
{
    bool blockDevice = false;
    bool removable = false; // removable media, or on a USB / FireWire bus
    bool optical = false;   // an sr device
    bool ramDisk = false;   // zram, brd
};

TDriveType ClassifyLinuxDrive(const LinuxMountEntry &entry, const LinuxDeviceFacts &facts);

// "Local Fixed Disk" and the other texts Windows gives; empty for Unknown.
std::string LinuxDriveDescription(TDriveType type);

// btrfs mounted with compress or compress-force.
bool IsLinuxCompressed(const LinuxMountEntry &entry);

// Win32_LogicalDisk's Access: 1 readable (mounted ro), 3 read/write.
int LinuxDriveAccess(const LinuxMountEntry &entry);

} // namespace platform
