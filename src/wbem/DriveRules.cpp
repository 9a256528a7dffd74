// SPDX-License-Identifier: MIT
// The pure rules: mount records in, logical disks and their kind out.
#include "wbem/DriveRules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace platform {

namespace {

using namespace fs_kind;

struct FileSystemKind
{
    std::string_view type;
    unsigned kinds;
};

// Every file-system type the rules know, sorted by name. df's list of dummy
// file systems and the kernel's other virtual ones; FUSE file systems that
// keep a user's files on a local disk (an encrypted folder, a pool of disks,
// a remapped view, and a FUSE daemon that sets no subtype); network and
// network-backed FUSE file systems (a VM's shared folders among them, which
// libmount counts as pseudo); images read-only by nature (a packed
// application, a live system's root, an archive), the kernel's own and the
// FUSE daemons that mount one.
constexpr std::array kFileSystems = {
    FileSystemKind{"9p", Network},
    FileSystemKind{"afs", Network},
    FileSystemKind{"autofs", Dummy},
    FileSystemKind{"binfmt_misc", Dummy},
    FileSystemKind{"bpf", Dummy},
    FileSystemKind{"btrfs", FixedCounters | Compressing},
    FileSystemKind{"ceph", Network},
    FileSystemKind{"cgroup", Dummy},
    FileSystemKind{"cgroup2", Dummy},
    FileSystemKind{"cifs", Network},
    FileSystemKind{"coda", Network},
    FileSystemKind{"configfs", Dummy},
    FileSystemKind{"cramfs", ReadOnlyImage},
    FileSystemKind{"davfs", Network},
    FileSystemKind{"debugfs", Dummy},
    FileSystemKind{"devfs", Dummy},
    FileSystemKind{"devpts", Dummy},
    FileSystemKind{"devtmpfs", Dummy},
    FileSystemKind{"efivarfs", Dummy},
    FileSystemKind{"erofs", ReadOnlyImage | FixedLabel},
    FileSystemKind{"ext2", FixedCounters},
    FileSystemKind{"ext3", FixedCounters},
    FileSystemKind{"ext4", FixedCounters},
    FileSystemKind{"f2fs", FixedCounters},
    FileSystemKind{"fuse", LocalData | Daemon},
    FileSystemKind{"fuse.bindfs", LocalData},
    FileSystemKind{"fuse.blobfuse", Network},
    FileSystemKind{"fuse.blobfuse2", Network},
    FileSystemKind{"fuse.cephfs", Network},
    FileSystemKind{"fuse.cryfs", LocalData},
    FileSystemKind{"fuse.curlftpfs", Network},
    FileSystemKind{"fuse.davfs2", Network},
    FileSystemKind{"fuse.encfs", LocalData},
    FileSystemKind{"fuse.erofsfuse", ReadOnlyImage},
    FileSystemKind{"fuse.fuse-archive", ReadOnlyImage},
    FileSystemKind{"fuse.gcsfuse", Network},
    FileSystemKind{"fuse.glusterfs", Network},
    FileSystemKind{"fuse.gocryptfs", LocalData},
    FileSystemKind{"fuse.goofys", Network},
    FileSystemKind{"fuse.google-drive-ocamlfuse", Network},
    FileSystemKind{"fuse.gvfsd-fuse", Network},
    FileSystemKind{"fuse.jfs", Network},
    FileSystemKind{"fuse.juicefs", Network},
    FileSystemKind{"fuse.mergerfs", LocalData},
    FileSystemKind{"fuse.mhddfs", LocalData},
    FileSystemKind{"fuse.mount-zip", ReadOnlyImage},
    FileSystemKind{"fuse.onedriver", Network},
    FileSystemKind{"fuse.portal", Dummy},
    FileSystemKind{"fuse.ratarmount", ReadOnlyImage},
    FileSystemKind{"fuse.rclone", Network},
    FileSystemKind{"fuse.s3backer", Network},
    FileSystemKind{"fuse.s3fs", Network},
    FileSystemKind{"fuse.securefs", LocalData},
    FileSystemKind{"fuse.smbnetfs", Network},
    FileSystemKind{"fuse.squashfuse", ReadOnlyImage},
    FileSystemKind{"fuse.squashfuse_ll", ReadOnlyImage},
    FileSystemKind{"fuse.sshfs", Network},
    FileSystemKind{"fuse.unionfs", LocalData},
    FileSystemKind{"fuse.unionfs-fuse", LocalData},
    FileSystemKind{"fuse.webdavfs", Network},
    FileSystemKind{"fuseblk", Daemon},
    FileSystemKind{"fusectl", Dummy},
    FileSystemKind{"gfs", Network},
    FileSystemKind{"gfs2", Network},
    FileSystemKind{"glusterfs", Network},
    FileSystemKind{"hugetlbfs", Dummy},
    FileSystemKind{"ignore", Dummy},
    FileSystemKind{"iso9660", Optical},
    FileSystemKind{"kernfs", Dummy},
    FileSystemKind{"lustre", Network},
    FileSystemKind{"mqueue", Dummy},
    FileSystemKind{"ncpfs", Network},
    FileSystemKind{"nsfs", Dummy},
    FileSystemKind{"ocfs2", Network},
    FileSystemKind{"overlay", ContainerRoot},
    FileSystemKind{"proc", Dummy},
    FileSystemKind{"pstore", Dummy},
    FileSystemKind{"ramfs", Ram | LocalData},
    FileSystemKind{"romfs", ReadOnlyImage},
    FileSystemKind{"rootfs", Dummy},
    FileSystemKind{"rpc_pipefs", Dummy},
    FileSystemKind{"securityfs", Dummy},
    FileSystemKind{"selinuxfs", Dummy},
    FileSystemKind{"squashfs", ReadOnlyImage | FixedLabel},
    FileSystemKind{"sshfs", Network},
    FileSystemKind{"subfs", Dummy},
    FileSystemKind{"sysfs", Dummy},
    FileSystemKind{"tmpfs", Ram | LocalData},
    FileSystemKind{"tracefs", Dummy},
    FileSystemKind{"udf", Optical},
    FileSystemKind{"vboxsf", Network | LocalData},
    FileSystemKind{"virtiofs", Network | LocalData},
    FileSystemKind{"xfs", FixedCounters},
};
static_assert(std::is_sorted(kFileSystems.begin(), kFileSystems.end(),
                             [](const FileSystemKind &a, const FileSystemKind &b) { return a.type < b.type; }));

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// The path is dir itself or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view dir)
{
    return path == dir || (startsWith(path, dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

// Read-only images are no drives, wherever they are mounted; an AppImage's
// runtime mounts its image under /tmp/.mount_* with a FUSE subtype named
// after the program.
bool isImageMount(const MountRecord &r, unsigned kinds)
{
    if (kinds & ReadOnlyImage)
        return true;
    return (kinds & Daemon) && startsWith(r.target, "/tmp/.mount_") && r.target.find('/', 5) == std::string::npos;
}

// The system counts these among its pseudo file systems, yet they hold data
// a user stores (df lists them too): RAM disks, the root of a container, a
// VM's shared folders, a FUSE file system of local files.
bool isPseudoWithData(const MountRecord &r, unsigned kinds)
{
    return (kinds & LocalData) || ((kinds & ContainerRoot) && r.target == "/");
}

bool hasSlash(const std::string &s)
{
    return s.find('/') != std::string::npos;
}

} // namespace

unsigned FileSystemKinds(std::string_view fsType)
{
    unsigned kinds = 0;
    const auto found = std::lower_bound(kFileSystems.begin(), kFileSystems.end(), fsType,
                                        [](const FileSystemKind &k, std::string_view t) { return k.type < t; });
    if (found != kFileSystems.end() && found->type == fsType)
        kinds = found->kinds;
    if (startsWith(fsType, "nfs") || startsWith(fsType, "smb"))
        kinds |= Network;
    if (startsWith(fsType, "fuse."))
        kinds |= Daemon;
    return kinds;
}

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

bool IsNetworkMount(const MountRecord &r)
{
    if (r.netfs)
        return true;
    // df's rule for a remote source.
    if (r.source.find(':') != std::string::npos || r.source == "-hosts")
        return true;
    return (FileSystemKinds(r.fsType) & Network) != 0;
}

bool MayHang(const MountRecord &r)
{
    return IsNetworkMount(r) || (FileSystemKinds(r.fsType) & fs_kind::Daemon) != 0;
}

bool AnswersFromMemory(const MountRecord &r, const DeviceFacts &facts)
{
    const unsigned kinds = FileSystemKinds(r.fsType);
    if (kinds & (Ram | FixedLabel))
        return true;
    return (kinds & FixedCounters) && facts.blockDevice && !facts.removable && !facts.optical;
}

bool IsLogicalDiskCandidate(const MountRecord &r)
{
    if (r.target.empty() || r.target[0] != '/')
        return false;
    const unsigned kinds = FileSystemKinds(r.fsType);
    if ((kinds & Dummy) || r.fsType.empty())
        return false;
    if ((kinds & ContainerRoot) && r.target != "/")
        return false;
    if (r.pseudo && !isPseudoWithData(r, kinds))
        return false;
    // The desktop's own switches: x-gvfs-show shows a mount wherever it is.
    if (HasMountOption(r.options, "x-gvfs-show"))
        return true;
    if (HasMountOption(r.options, "x-gvfs-hide") || isImageMount(r, kinds))
        return false;
    for (std::string_view dir : {"/proc", "/sys", "/dev"})
        if (isAtOrBelow(r.target, dir))
            return false;
    if (isAtOrBelow(r.target, "/run") && !isAtOrBelow(r.target, "/run/media"))
        return false;
    if (isAtOrBelow(r.target, "/snap") || isAtOrBelow(r.target, "/var/lib/snapd"))
        return false;
    return true;
}

std::vector<std::size_t> ChooseLogicalDisks(const std::vector<const MountRecord *> &records)
{
    // A path mounted more than once shows only its top (last) mount.
    std::unordered_map<std::string_view, std::size_t> lastAtPath;
    lastAtPath.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        lastAtPath[records[i]->target] = i;

    // Table positions of the chosen records, one slot per file system.
    // Without its identity the source stands for the file system.
    std::vector<std::size_t> chosen;
    std::unordered_map<std::uint64_t, std::size_t> slotOfFileSystem;
    std::unordered_map<std::string_view, std::size_t> slotOfSource;
    const auto slotOf = [&](const MountRecord &r) -> std::size_t * {
        if (r.fileSystem == 0) {
            const auto found = slotOfSource.find(r.source);
            return found == slotOfSource.end() ? nullptr : &found->second;
        }
        const auto found = slotOfFileSystem.find(r.fileSystem);
        return found == slotOfFileSystem.end() ? nullptr : &found->second;
    };
    const auto setSlot = [&](const MountRecord &r, std::size_t slot) {
        if (r.fileSystem == 0)
            slotOfSource[r.source] = slot;
        else
            slotOfFileSystem[r.fileSystem] = slot;
    };

    for (std::size_t i = 0; i < records.size(); ++i) {
        const MountRecord &me = *records[i];
        if (lastAtPath[me.target] != i || !IsLogicalDiskCandidate(me))
            continue;
        const std::size_t *slot = slotOf(me);
        if (!slot) {
            setSlot(me, chosen.size());
            chosen.push_back(i);
            continue;
        }
        const std::size_t keptSlot = *slot;
        const MountRecord &kept = *records[chosen[keptSlot]];
        const bool bothRemote = IsNetworkMount(me) && IsNetworkMount(kept);
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

TDriveType ClassifyDrive(const MountRecord &r, const DeviceFacts &facts)
{
    const unsigned kinds = FileSystemKinds(r.fsType);
    if ((kinds & Optical) || facts.optical)
        return TDriveType::CompactDisc;
    if (facts.blockDevice && facts.removable)
        return TDriveType::RemovableDisk;
    if ((kinds & Ram) || facts.ramDisk)
        return TDriveType::RAMDisk;
    if (IsNetworkMount(r))
        return TDriveType::NetworkDrive;
    if (facts.blockDevice || (kinds & LocalData))
        return TDriveType::LocalDisk;
    // The root of a container: its overlay lives on the host's local disk.
    if ((kinds & ContainerRoot) && r.target == "/")
        return TDriveType::LocalDisk;
    return TDriveType::Unknown;
}

std::string DriveDescription(TDriveType type)
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

bool IsCompressed(const MountRecord &r)
{
    return (FileSystemKinds(r.fsType) & Compressing)
        && (HasMountOption(r.options, "compress") || HasMountOption(r.options, "compress-force"));
}

int DriveAccess(const MountRecord &r)
{
    return HasMountOption(r.options, "ro") ? 1 : 3;
}

} // namespace platform
