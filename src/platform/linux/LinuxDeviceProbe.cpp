// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxDeviceProbe.h"

#include "platform/BoundedFile.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x4000U
#endif

namespace platform {

bool operator<(const LinuxDevNo &a, const LinuxDevNo &b)
{
    return a.major != b.major ? a.major < b.major : a.minor < b.minor;
}

namespace {

LinuxDevNo blockDevNo(const LinuxMountEntry &e)
{
    LinuxDevNo d;
    if (const dev_t dev = static_cast<dev_t>(e.fileSystem); ::major(dev) != 0) {
        d.major = ::major(dev);
        d.minor = ::minor(dev);
        d.valid = true;
        return d;
    }
    // btrfs and a few others report an anonymous device number in mountinfo;
    // their source names the real block device.
    struct stat st
    {};
    if (e.source.rfind("/dev/", 0) == 0 && ::stat(e.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
        d.major = ::major(st.st_rdev);
        d.minor = ::minor(st.st_rdev);
        d.valid = true;
    }
    return d;
}

std::string sysfsBlockPath(const LinuxDevNo &d)
{
    return "/sys/dev/block/" + std::to_string(d.major) + ":" + std::to_string(d.minor);
}

std::string realPath(const std::string &path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return {};
    return buffer;
}

std::string readLink(const std::string &path)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Attribute files of sysfs hold a page at most.
std::string readFirstLine(const std::string &path)
{
    const BoundedRead read = ReadBoundedFile(path, 4096);
    if (!read.Ok())
        return {};
    return read.Bytes.substr(0, read.Bytes.find('\n'));
}

std::string baseName(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool exists(const std::string &path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

// The bus of the device or any of its parents, as udisks decides whether a
// drive can be unplugged: removable media, or attached through USB/FireWire.
void probeSysfsDevice(const std::string &devicePath, DeviceFacts &facts, int depth)
{
    if (devicePath.empty() || depth > 4)
        return;
    std::string disk = devicePath;
    if (exists(disk + "/partition"))
        disk = disk.substr(0, disk.rfind('/'));
    const std::string name = baseName(disk);
    if (name.rfind("sr", 0) == 0)
        facts.optical = true;
    if (name.rfind("zram", 0) == 0 || (name.rfind("ram", 0) == 0 && name.size() > 3))
        facts.ramDisk = true;
    if (readFirstLine(disk + "/removable") == "1")
        facts.removable = true;
    for (std::string dir = disk; dir.size() > 4 && dir.rfind("/sys/", 0) == 0;
         dir = dir.substr(0, dir.rfind('/'))) {
        const std::string subsystem = baseName(readLink(dir + "/subsystem"));
        if (subsystem == "usb" || subsystem == "firewire" || subsystem == "ieee1394") {
            facts.removable = true;
            break;
        }
    }
    // A device-mapper or md device sits on its slaves (LUKS on a USB stick).
    if (DIR *slaves = ::opendir((disk + "/slaves").c_str())) {
        while (const dirent *d = ::readdir(slaves)) {
            if (d->d_name[0] == '.')
                continue;
            probeSysfsDevice(realPath(disk + "/slaves/" + d->d_name), facts, depth + 1);
        }
        ::closedir(slaves);
    }
}

// udev writes unsafe bytes of a label as \xHH in /dev/disk/by-label names.
std::string decodeUdevName(const std::string &name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            char *end = nullptr;
            const std::string hex = name.substr(i + 2, 2);
            const long v = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out += static_cast<char>(v);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

// Device number -> decoded link name, from one /dev/disk/by-* folder.
std::map<LinuxDevNo, std::string> udevLinks(const char *folder)
{
    std::map<LinuxDevNo, std::string> byDevice;
    DIR *dir = ::opendir(folder);
    if (!dir)
        return byDevice;
    while (const dirent *d = ::readdir(dir)) {
        if (d->d_name[0] == '.')
            continue;
        struct stat st
        {};
        if (::stat((std::string(folder) + "/" + d->d_name).c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
            continue;
        byDevice.emplace(LinuxDevNo{::major(st.st_rdev), ::minor(st.st_rdev), true}, decodeUdevName(d->d_name));
    }
    ::closedir(dir);
    return byDevice;
}

struct ProbeFree
{
    void operator()(blkid_probe p) const { blkid_free_probe(p); }
};

} // namespace

void ReadLinuxSuperblock(const std::string &deviceNode, std::string &label, std::string &uuid)
{
    std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeFree> probe(
        blkid_new_probe_from_filename(deviceNode.c_str()));
    if (!probe)
        return;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return;
    const char *value = nullptr;
    std::size_t length = 0;
    if (label.empty() && blkid_probe_lookup_value(probe.get(), "LABEL", &value, &length) == 0 && value)
        label = value;
    if (uuid.empty() && blkid_probe_lookup_value(probe.get(), "UUID", &value, &length) == 0 && value)
        uuid = value;
}

// The facts of one drive that come from sysfs and /dev, not from its file
// system.
LinuxDriveRecord ProbeLinuxDrive(const LinuxMountEntry &e)
{
    LinuxDriveRecord r;
    r.device = blockDevNo(e);
    if (!r.device.valid)
        return r;
    const std::string link = sysfsBlockPath(r.device);
    r.sysfsLink = readLink(link);
    const std::string sysfs = realPath(link);
    if (sysfs.empty())
        return r;
    r.inSysfs = true;
    r.facts.blockDevice = true;
    if (r.device.major == 11) // SCSI CD-ROM
        r.facts.optical = true;
    probeSysfsDevice(sysfs, r.facts, 0);
    struct stat st
    {};
    if (e.source.rfind("/dev/", 0) == 0 && ::stat(e.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)
        && ::major(st.st_rdev) == r.device.major && ::minor(st.st_rdev) == r.device.minor)
        r.deviceNode = e.source;
    return r;
}

DeviceFacts ProbeLinuxDevice(const LinuxMountEntry &entry)
{
    return ProbeLinuxDrive(entry).facts;
}

bool LinuxSysfsLinkChanged(const LinuxDriveRecord &record)
{
    return record.device.valid && readLink(sysfsBlockPath(record.device)) != record.sysfsLink;
}

const std::map<LinuxDevNo, std::string> &LinuxUdevLinkFolder::Links()
{
    struct stat st
    {};
    if (::stat(m_path, &st) != 0 || !S_ISDIR(st.st_mode))
        return m_links.Forget();
    return m_links.Get(st, [this] { return udevLinks(m_path); });
}

std::string LinuxUniqueMountId(const std::string &target)
{
    struct statx stx
    {};
    if (::statx(AT_FDCWD, target.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID_UNIQUE, &stx) != 0
        || !(stx.stx_mask & STATX_MNT_ID_UNIQUE))
        return {};
    return std::to_string(stx.stx_mnt_id);
}

std::string LinuxSuperblockKey(const std::string &target, const std::string &mountId, bool labelFixed)
{
    if (mountId.empty())
        return {};
    if (labelFixed)
        return mountId + "/fixed";
    const int fd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    char label[FSLABEL_MAX + 1] = {};
    const int rc = ::ioctl(fd, FS_IOC_GETFSLABEL, label);
    ::close(fd);
    if (rc != 0)
        return {};
    return mountId + '/' + std::string(label, ::strnlen(label, FSLABEL_MAX));
}

} // namespace platform
