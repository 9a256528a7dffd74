// SPDX-License-Identifier: MIT
// The pure rules: mount entries in, logical disks and their kind out.
#include "platform/linux/LinuxMountTable.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace platform {

namespace {

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool isOneOf(std::string_view s, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), s) != list.end();
}

// The path is dir itself or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view dir)
{
    return path == dir || (startsWith(path, dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

// df's list of dummy file systems, and the kernel's other virtual ones.
bool isDummyType(std::string_view type)
{
    return isOneOf(type,
                   {"autofs",    "proc",       "subfs",      "debugfs",  "devpts",    "fusectl",  "fuse.portal",
                    "mqueue",    "rpc_pipefs", "sysfs",      "devfs",    "kernfs",    "ignore",   "cgroup",
                    "cgroup2",   "tracefs",    "securityfs", "bpf",      "pstore",    "configfs", "binfmt_misc",
                    "hugetlbfs", "devtmpfs",   "nsfs",       "efivarfs", "selinuxfs", "rootfs"});
}

// FUSE file systems that keep a user's files on a local disk (an encrypted
// folder, a pool of disks, a remapped view) and a FUSE daemon that sets no
// subtype: local disks, like the disk below them.
bool isLocalFuseType(std::string_view type)
{
    return isOneOf(type,
                   {"fuse", "fuse.gocryptfs", "fuse.mergerfs", "fuse.bindfs", "fuse.encfs", "fuse.cryfs",
                    "fuse.securefs", "fuse.mhddfs", "fuse.unionfs", "fuse.unionfs-fuse"});
}

// libmount counts these among its pseudo file systems, yet they hold data a
// user stores (df lists them too): RAM disks, the root of a container, a VM's
// shared folders, a FUSE file system of local files (libmount lists encfs).
bool isPseudoWithData(const LinuxMountEntry &e)
{
    if (e.fsType == "tmpfs" || e.fsType == "ramfs" || isLocalFuseType(e.fsType))
        return true;
    if (e.fsType == "overlay")
        return e.target == "/";
    return isOneOf(e.fsType, {"virtiofs", "vboxsf"});
}

// File systems of images that are read-only by nature (a packed application,
// a live system's root, an archive): no one can free space on them, so they
// are no drives, wherever they are mounted. The kernel's own and the FUSE
// daemons that mount such an image (an AppImage's runtime mounts its image
// under /tmp/.mount_* with a subtype named after the program).
bool isImageMount(const LinuxMountEntry &e)
{
    if (isOneOf(e.fsType,
                {"squashfs", "erofs", "cramfs", "romfs", "fuse.squashfuse", "fuse.squashfuse_ll", "fuse.erofsfuse",
                 "fuse.fuse-archive", "fuse.ratarmount", "fuse.mount-zip"}))
        return true;
    return startsWith(e.fsType, "fuse") && startsWith(e.target, "/tmp/.mount_")
        && e.target.find('/', 5) == std::string::npos;
}

bool isRamType(std::string_view type)
{
    return type == "tmpfs" || type == "ramfs";
}

bool hasSlash(const std::string &s)
{
    return s.find('/') != std::string::npos;
}

} // namespace

bool HasMountOption(const std::string &options, const std::string &name)
{
    std::string_view rest(options);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t eq = item.find('=');
        if (item.substr(0, eq) == name)
            return true;
    }
    return false;
}

bool IsLinuxNetworkMount(const LinuxMountEntry &e)
{
    if (e.netfs)
        return true;
    // df's rule for a remote source.
    if (e.source.find(':') != std::string::npos || e.source == "-hosts")
        return true;
    if (startsWith(e.source, "//") && isOneOf(e.fsType, {"smbfs", "smb3", "cifs"}))
        return true;
    if (startsWith(e.fsType, "nfs") || startsWith(e.fsType, "smb"))
        return true;
    return isOneOf(e.fsType,
                   {"cifs",
                    "ceph",
                    "afs",
                    "9p",
                    "ncpfs",
                    "coda",
                    "lustre",
                    "glusterfs",
                    "gfs",
                    "ocfs2",
                    "davfs",
                    "sshfs",
                    "virtiofs",
                    "vboxsf",
                    "fuse.sshfs",
                    "fuse.rclone",
                    "fuse.s3fs",
                    "fuse.glusterfs",
                    "fuse.cephfs",
                    "fuse.gcsfuse",
                    "fuse.davfs2",
                    "fuse.curlftpfs",
                    "fuse.gvfsd-fuse",
                    "fuse.smbnetfs",
                    "fuse.webdavfs",
                    "fuse.goofys",
                    "fuse.blobfuse",
                    "fuse.blobfuse2",
                    "fuse.jfs",
                    "fuse.juicefs",
                    "fuse.s3backer",
                    "fuse.onedriver",
                    "fuse.google-drive-ocamlfuse"});
}

bool IsLinuxLogicalDiskCandidate(const LinuxMountEntry &e)
{
    if (e.target.empty() || e.target[0] != '/')
        return false;
    if (isDummyType(e.fsType) || e.fsType.empty())
        return false;
    if (e.fsType == "overlay" && e.target != "/")
        return false;
    if (e.pseudo && !isPseudoWithData(e))
        return false;
    // The desktop's own switches: x-gvfs-show shows a mount wherever it is.
    if (HasMountOption(e.options, "x-gvfs-show"))
        return true;
    if (HasMountOption(e.options, "x-gvfs-hide") || isImageMount(e))
        return false;
    for (std::string_view dir : {"/proc", "/sys", "/dev"})
        if (isAtOrBelow(e.target, dir))
            return false;
    if (isAtOrBelow(e.target, "/run") && !isAtOrBelow(e.target, "/run/media"))
        return false;
    if (isAtOrBelow(e.target, "/snap") || isAtOrBelow(e.target, "/var/lib/snapd"))
        return false;
    return true;
}

namespace {

// The table positions of the logical disks, in table order.
std::vector<std::size_t> chooseLogicalDisks(const std::vector<LinuxMountEntry> &entries)
{
    // A path mounted more than once shows only its top (last) mount.
    std::unordered_map<std::string_view, std::size_t> lastAtPath;
    lastAtPath.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        lastAtPath[entries[i].target] = i;

    // Table positions of the chosen entries, one slot per file system. Without
    // a device number (an fstab-style table) the source stands for it.
    std::vector<std::size_t> chosen;
    std::unordered_map<std::uint64_t, std::size_t> slotOfDevice;
    std::unordered_map<std::string_view, std::size_t> slotOfSource;
    const auto slotOf = [&](const LinuxMountEntry &e) -> std::size_t * {
        if (e.devMajor == 0 && e.devMinor == 0) {
            const auto found = slotOfSource.find(e.source);
            return found == slotOfSource.end() ? nullptr : &found->second;
        }
        const auto found = slotOfDevice.find(std::uint64_t(e.devMajor) << 32 | e.devMinor);
        return found == slotOfDevice.end() ? nullptr : &found->second;
    };
    const auto setSlot = [&](const LinuxMountEntry &e, std::size_t slot) {
        if (e.devMajor == 0 && e.devMinor == 0)
            slotOfSource[e.source] = slot;
        else
            slotOfDevice[std::uint64_t(e.devMajor) << 32 | e.devMinor] = slot;
    };

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LinuxMountEntry &me = entries[i];
        if (lastAtPath[me.target] != i || !IsLinuxLogicalDiskCandidate(me))
            continue;
        const std::size_t *slot = slotOf(me);
        if (!slot) {
            setSlot(me, chosen.size());
            chosen.push_back(i);
            continue;
        }
        const std::size_t keptSlot = *slot;
        const LinuxMountEntry &kept = entries[chosen[keptSlot]];
        const bool bothRemote = IsLinuxNetworkMount(me) && IsLinuxNetworkMount(kept);
        if (bothRemote && kept.source != me.source) {
            // Explicitly mounted shares of one server stay apart, as in df.
            setSlot(me, chosen.size());
            chosen.push_back(i);
            continue;
        }
        const bool meShorterPath = kept.target.size() > me.target.size();
        const bool meRootDeeper = kept.root.size() < me.root.size();
        const bool replace = (hasSlash(me.source) && !hasSlash(kept.source)) || (meShorterPath && !meRootDeeper)
            || (kept.source != me.source && kept.target == me.target);
        if (replace)
            chosen[keptSlot] = i;
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

} // namespace

std::vector<LinuxMountEntry> SelectLinuxLogicalDisks(const std::vector<LinuxMountEntry> &entries)
{
    const std::vector<std::size_t> chosen = chooseLogicalDisks(entries);
    std::vector<LinuxMountEntry> result;
    result.reserve(chosen.size());
    for (std::size_t i : chosen)
        result.push_back(entries[i]);
    return result;
}

std::vector<LinuxMountEntry> SelectLinuxLogicalDisks(std::vector<LinuxMountEntry> &&entries)
{
    const std::vector<std::size_t> chosen = chooseLogicalDisks(entries);
    std::vector<LinuxMountEntry> result;
    result.reserve(chosen.size());
    for (std::size_t i : chosen)
        result.push_back(std::move(entries[i]));
    return result;
}

TDriveType ClassifyLinuxDrive(const LinuxMountEntry &e, const LinuxDeviceFacts &facts)
{
    if (e.fsType == "iso9660" || e.fsType == "udf" || facts.optical)
        return TDriveType::CompactDisc;
    if (facts.blockDevice && facts.removable)
        return TDriveType::RemovableDisk;
    if (isRamType(e.fsType) || facts.ramDisk)
        return TDriveType::RAMDisk;
    if (IsLinuxNetworkMount(e))
        return TDriveType::NetworkDrive;
    if (facts.blockDevice || isLocalFuseType(e.fsType))
        return TDriveType::LocalDisk;
    // The root of a container: its overlay lives on the host's local disk.
    if (e.fsType == "overlay" && e.target == "/")
        return TDriveType::LocalDisk;
    return TDriveType::Unknown;
}

std::string LinuxDriveDescription(TDriveType type)
{
    switch (type) {
    case TDriveType::NoRootDirectory:
        return "No Root Directory";
    case TDriveType::RemovableDisk:
        return "Removable Disk";
    case TDriveType::LocalDisk:
        return "Local Fixed Disk";
    case TDriveType::NetworkDrive:
        return "Network Connection";
    case TDriveType::CompactDisc:
        return "CD-ROM Disc";
    case TDriveType::RAMDisk:
        return "RAM Disk";
    case TDriveType::Unknown:
        break;
    }
    return {};
}

bool IsLinuxCompressed(const LinuxMountEntry &e)
{
    return e.fsType == "btrfs"
        && (HasMountOption(e.options, "compress") || HasMountOption(e.options, "compress-force"));
}

int LinuxDriveAccess(const LinuxMountEntry &e)
{
    return HasMountOption(e.options, "ro") ? 1 : 3;
}

} // namespace platform
