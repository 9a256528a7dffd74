// SPDX-License-Identifier: MIT
#pragma once

// The facts of a drive that come from sysfs and /dev, not from its file
// system: the block device behind a mount, its bus and kind, udev's label
// and UUID links, and what identifies a mounted file system without reading
// its device. Nothing here waits for a file system to answer, except the
// superblock probe (ReadLinuxSuperblock), which reads the device.

#include "platform/linux/LinuxFileStamp.h"
#include "platform/linux/LinuxMountTable.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace platform {

// A block device's number.
struct LinuxDevNo
{
    unsigned major = 0;
    unsigned minor = 0;
    bool valid = false;
};

bool operator<(const LinuxDevNo &a, const LinuxDevNo &b);

// The facts of one drive that come from sysfs and /dev.
struct LinuxDriveRecord
{
    LinuxDevNo device;      // the block device, when there is one
    bool inSysfs = false;   // /sys/dev/block/M:m exists
    std::string sysfsLink;  // its link text: another device under the same number has another one
    std::string deviceNode; // the source, when it is that device's node (for the superblock probe)
    DeviceFacts facts;
    // Label and UUID last read from the superblock, and what identified the
    // mounted file system then (see LinuxSuperblockKey).
    std::optional<std::pair<std::string, std::string>> superblock;
    std::string superblockKey;
    // The mount's unique ID (LinuxUniqueMountId) and the mount table
    // generation it was read under: asked again only when the table changed.
    std::optional<std::string> mountId;
    std::uint64_t mountIdGeneration = 0;
};

LinuxDriveRecord ProbeLinuxDrive(const LinuxMountEntry &entry);

// sysfs facts of the block device behind the mount (none for a file system
// without one). Reads only /sys and stats device nodes in /dev: no call here
// waits for a file system to answer.
DeviceFacts ProbeLinuxDevice(const LinuxMountEntry &entry);

// The device's sysfs link no longer reads as when the record was made: it
// was unplugged, and maybe another one took its number.
bool LinuxSysfsLinkChanged(const LinuxDriveRecord &record);

// One /dev/disk/by-* folder, read again only when its stamp changes: udev
// adds, removes and renames its links there, and each of those changes the
// folder.
class LinuxUdevLinkFolder
{
public:
    explicit LinuxUdevLinkFolder(const char *path) : m_path(path) {}

    // Device number -> decoded link name.
    const std::map<LinuxDevNo, std::string> &Links();

private:
    const char *m_path;
    LinuxStampedValue<std::map<LinuxDevNo, std::string>> m_links;
};

// Label and UUID read from the superblock (needs read access to the device);
// fills only those that are empty.
void ReadLinuxSuperblock(const std::string &deviceNode, std::string &label, std::string &uuid);

// What tells one mounted file system from the next on the same path, and a
// label change from none, without reading the device: the mount's ID that
// the kernel never hands out twice (Linux 6.8 and later; LinuxUniqueMountId),
// and the label the file system keeps in memory (ext4, XFS, btrfs). Empty
// when either is not to be had; the superblock is then read at every query.
// A file system whose label cannot change while mounted (labelFixed) needs
// only the mount's ID. Only for the file systems whose calls answer from
// memory: opening the mount's root of a network file system could wait on
// its server.
std::string LinuxSuperblockKey(const std::string &target, const std::string &mountId, bool labelFixed);

// The unique ID of the mount at target, as text; empty on kernels before 6.8
// or when target cannot be looked up. It stays the same as long as the mount
// table does (LinuxMountTableGeneration).
std::string LinuxUniqueMountId(const std::string &target);

} // namespace platform
