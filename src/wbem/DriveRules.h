// SPDX-License-Identifier: MIT
#pragma once

// Which mounts are drives, and of what kind: the rules that turn a table of
// mounts into the logical disks of Win32_LogicalDisk. Plain values in, plain
// values out, so that this machine's mount table (platform/linux) and the
// file systems a Prometheus server reports (platform/prometheus) pass the
// same rules, and tests and fuzzers can feed fixtures.
//
// What the rules know of a file-system type comes from one table
// (FileSystemKinds); nothing else names a type.

#include "wbem/DriveType.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One mount, with the facts the rules need. Strings are bytes as the system
// gives them (unescaped), so they may hold blanks, newlines or any other
// byte.
struct MountRecord
{
    std::string source;  // a device node, host:/export, or a name the file system takes
    std::string target;  // the mount path
    std::string fsType;  // the kernel's type, with a FUSE subtype after "fuse."
    std::string root;    // the mounted subtree of the file system ("/" unless a bind mount)
    std::string options; // VFS, superblock and user options, comma-separated
    // Which file system the mount shows (on Linux its device number, st_dev):
    // two mounts with the same non-zero value show the same file system. 0:
    // not known, the source stands for it.
    std::uint64_t fileSystem = 0;
    bool pseudo = false; // the system counts the type among its pseudo file systems
    bool netfs = false;  // the system counts the type among its network file systems

    bool operator==(const MountRecord &) const = default;
};

// What the block device behind a mount is, as far as the system tells.
struct DeviceFacts
{
    bool blockDevice = false;
    bool removable = false; // removable media, or on a USB / FireWire bus
    bool optical = false;   // an optical drive
    bool ramDisk = false;   // zram, brd

    bool operator==(const DeviceFacts &) const = default;
};

// The kinds a file-system type belongs to; a type may be of several.
namespace fs_kind {
inline constexpr unsigned Dummy = 1u << 0;         // never a drive: the kernel's and the desktop's virtual ones
inline constexpr unsigned Network = 1u << 1;       // its data is on another machine
inline constexpr unsigned Ram = 1u << 2;           // its data is in memory
inline constexpr unsigned ReadOnlyImage = 1u << 3; // an image read-only by nature: no drive, wherever mounted
inline constexpr unsigned Daemon = 1u << 4;        // served by a user-space daemon (FUSE): a call may wait on it
inline constexpr unsigned LocalData = 1u << 5;     // a pseudo file system that holds a user's files
inline constexpr unsigned Optical = 1u << 6;       // a disc's file system
inline constexpr unsigned FixedCounters = 1u << 7; // statfs answers from memory on a fixed disk
inline constexpr unsigned ContainerRoot = 1u << 8; // a drive only as the root of a container
inline constexpr unsigned Compressing = 1u << 9;   // compresses with the compress / compress-force options
inline constexpr unsigned FixedLabel = 1u << 10;   // its size and label cannot change while mounted
} // namespace fs_kind

// The kinds of a file-system type: the table's entry, and those its family
// gives (every "nfs*" and "smb*" is a network type, every "fuse.*" is served by a daemon).
unsigned FileSystemKinds(std::string_view fsType);

// True when options (comma-separated, "name" or "name=value") hold name.
bool HasMountOption(const std::string &options, const std::string &name);

// Every rule of a logical disk that the mount alone decides: not a pseudo file
// system, not a system mount point, not a read-only image, not hidden by
// x-gvfs-hide; x-gvfs-show shows any mount that is not a pseudo file system,
// wherever it is mounted. (A zero-size file system is dropped later, once its
// figures are known.)
bool IsLogicalDiskCandidate(const MountRecord &record);

// A network mount: the system's list of network file systems, or df's notion
// of a remote source (a ':' in it, a "//server/share", "-hosts"), or a network
// type of the table.
bool IsNetworkMount(const MountRecord &record);

// A call on the mount may wait on a server or a daemon (network and FUSE
// file systems); so may every call on a path below it.
bool MayHang(const MountRecord &record);

// statfs of the mount is answered from the kernel's memory: RAM-backed file
// systems, kernel read-only images, and the usual disk file systems on a
// fixed local disk (their counters are in memory; on removable media a
// sleeping or failing device may stall). Never network or FUSE ones.
bool AnswersFromMemory(const MountRecord &record, const DeviceFacts &facts);

// The positions of the candidates in table order, one per file system: an
// over-mounted path keeps only its top mount, and bind mounts and other
// duplicates of one file system keep the entry df would show (a real source
// with '/' over one without; otherwise the shorter mount path unless its
// root is deeper; an over-mount of the same path by another source replaces
// it). Remote mounts of different sources are never merged.
std::vector<std::size_t> ChooseLogicalDisks(const std::vector<const MountRecord *> &records);

// The chosen records themselves, taken out of the table.
template <class Record> // MountRecord or a record that extends it
std::vector<Record> SelectLogicalDisks(std::vector<Record> records)
{
    std::vector<const MountRecord *> view;
    view.reserve(records.size());
    for (const Record &r : records)
        view.push_back(&r);
    const std::vector<std::size_t> chosen = ChooseLogicalDisks(view);
    std::vector<Record> result;
    result.reserve(chosen.size());
    for (std::size_t i : chosen)
        result.push_back(std::move(records[i]));
    return result;
}

TDriveType ClassifyDrive(const MountRecord &record, const DeviceFacts &facts);

// "Local Fixed Disk" and the other texts Windows gives; empty for Unknown.
std::string DriveDescription(TDriveType type);

// A file system that compresses, mounted with compress or compress-force.
bool IsCompressed(const MountRecord &record);

// Win32_LogicalDisk's Access: 1 readable (mounted ro), 3 read/write.
int DriveAccess(const MountRecord &record);

} // namespace platform
