// SPDX-License-Identifier: MIT
// Which mounts are logical disks, which entry stands for a device, and the
// kind of each drive: mount tables read from fixture files through libmount.
#include "platform/linux/LinuxLogicalDisk.h"
#include "platform/linux/LinuxMountTable.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace platform;

namespace {

std::string fixture(const std::string &name)
{
    return std::string(VELMORA_SOURCE_DIR) + "/tests/fixtures/mountinfo/" + name;
}

std::vector<std::string> targets(const std::vector<LinuxMountEntry> &entries)
{
    std::vector<std::string> out;
    for (const auto &e : entries)
        out.push_back(e.target);
    return out;
}

const LinuxMountEntry &byTarget(const std::vector<LinuxMountEntry> &entries, const std::string &target)
{
    for (const auto &e : entries)
        if (e.target == target)
            return e;
    throw std::runtime_error("no entry for " + target);
}

// What sysfs would say about the devices of the desktop fixture.
DeviceFacts factsFor(const LinuxMountEntry &e)
{
    static const std::map<std::string, DeviceFacts> devices = {
        {"/dev/sda1", {true, false, false, false}}, {"/dev/sda2", {true, false, false, false}},
        {"/dev/sda3", {true, false, false, false}}, {"/dev/sdb1", {true, true, false, false}},
        {"/dev/sdc1", {true, false, false, false}}, {"/dev/sdc2", {true, false, false, false}},
        {"/dev/sr0", {true, true, true, false}},    {"/dev/zram0", {true, false, false, true}},
        {"/dev/sdd1", {true, false, false, false}}, {"/dev/sde1", {true, false, false, false}},
        {"/dev/sdf1", {true, false, false, false}}, {"/dev/sdg1", {true, false, false, false}},
        {"/dev/vda", {true, false, false, false}},
    };
    const auto found = devices.find(e.source);
    return found == devices.end() ? DeviceFacts{} : found->second;
}

class DesktopTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        all = ParseLinuxMountTableFile(fixture("desktop.mountinfo"), fixture("desktop.fstab"));
        drives = SelectLogicalDisks(all);
    }
    std::vector<LinuxMountEntry> all;
    std::vector<LinuxMountEntry> drives;
};

} // namespace

TEST_F(DesktopTable, LibmountUnescapesPathsAndKeepsEveryLine)
{
    ASSERT_EQ(all.size(), 39u);
    EXPECT_EQ(byTarget(all, "/run/media/alice/USB STICK").source, "/dev/sdb1");
    EXPECT_EQ(byTarget(all, "/mnt/weird name\nwith\\newline").fsType, "tmpfs");
    const auto &home = byTarget(all, "/srv/projects");
    EXPECT_EQ(home.root, "/alice/projects");
    EXPECT_EQ(major(home.fileSystem), 8u);
    EXPECT_EQ(minor(home.fileSystem), 3u);
    EXPECT_TRUE(HasMountOption(byTarget(all, "/mnt/hidden").options, "x-gvfs-hide"));
}

TEST_F(DesktopTable, SelectsOneDrivePerFileSystemInTableOrder)
{
    const std::vector<std::string> expected = {
        "/", // /var/lib/snapd/hostfs is a snap path
        "/boot/efi",
        "/home", // its bind mount /srv/projects has a longer path and a deeper root
        "/tmp",
        "/run/media/alice/USB STICK", // the rest of /run is the system's
        "/mnt/nas",
        "/mnt/share",
        "/mnt/data",
        "/mnt/backup",
        "/media/cdrom",
        "/mnt/remote",
        "/mnt/ramdisk", // overlay away from "/" and x-gvfs-hide are hidden
        "/mnt/zram",
        "/mnt/over",    // only the top of the two mounts at this path
        "/longer/path", // "/b" is shorter but mounts a subtree of the same device
        "/with/slash",  // a real source wins over "sdf1"
        "/mnt/nas2",    // same NFS superblock, other export: kept apart
        "/mnt/shown",   // x-gvfs-show wins over x-gvfs-hide
        "/mnt/weird name\nwith\\newline",
        "/mnt/local-fuse",
    };
    EXPECT_EQ(targets(drives), expected);
    EXPECT_EQ(byTarget(drives, "/mnt/over").source, "/dev/sdd1");
}

TEST(LinuxDriveRules, CandidateRules)
{
    struct Case
    {
        const char *target;
        const char *fsType;
        const char *options;
        bool pseudo;
        bool expected;
    };
    const Case cases[] = {
        {"/", "overlay", "rw", true, true},
        {"/var/lib/docker/x/merged", "overlay", "rw", true, false},
        {"/tmp", "tmpfs", "rw", true, true},
        {"/dev/shm", "tmpfs", "rw", true, false},
        {"/device", "ext4", "rw", false, true}, // "/dev" only as a whole path component
        {"/runner", "ext4", "rw", false, true},
        {"/run", "tmpfs", "rw", true, false},
        {"/run/media", "ext4", "rw", false, true},
        {"/run/mediax", "ext4", "rw", false, false},
        {"/snap/firefox/1", "squashfs", "ro", false, false},
        {"/snapshots", "btrfs", "rw", false, true},
        {"/mnt/c", "cgroup2", "rw", true, false},
        {"/mnt/h", "hugetlbfs", "rw", true, false},
        {"/mnt/a", "autofs", "rw", true, false},
        {"/mnt/b", "bpf", "rw", false, false}, // in the dummy list even if libmount forgets it
        {"/mnt/n", "nsfs", "rw", true, false},
        {"/mnt/hidden", "ext4", "rw,x-gvfs-hide", false, false},
        {"/run/elsewhere", "ext4", "rw,x-gvfs-show", false, true},
        {"/mnt/p", "proc", "rw,x-gvfs-show", true, false},
        {"relative", "ext4", "rw", false, false},
        {"/mnt/v", "virtiofs", "rw", true, true},
        {"/mnt/f", "fuse", "rw", true, true}, // a FUSE daemon that sets no subtype
        // Images read-only by nature are no drives anywhere, unless x-gvfs-show.
        {"/opt/image", "squashfs", "ro", false, false},
        {"/mnt/live", "erofs", "ro", false, false},
        {"/mnt/old", "cramfs", "ro", false, false},
        {"/mnt/rom", "romfs", "ro", false, false},
        {"/home/u/app", "fuse.squashfuse", "ro", false, false},
        {"/home/u/app2", "fuse.squashfuse_ll", "ro", false, false},
        {"/home/u/live", "fuse.erofsfuse", "ro", false, false},
        {"/home/u/tarball", "fuse.fuse-archive", "ro", false, false},
        {"/tmp/.mount_KritaXa1b2c", "fuse.krita-5.2.2-x86_64.appimage", "ro", false, false},
        {"/tmp/.mount_Foo", "fuse", "ro", true, false},
        {"/tmp/.mount_Foo/inner", "ext4", "rw", false, true}, // only the image's own mount
        {"/tmp/mount_Foo", "fuse", "rw", true, true},
        {"/media/usb/image", "squashfs", "ro,x-gvfs-show", false, true},
        {"/mnt/cd", "iso9660", "ro", false, true}, // optical media stay
        {"/mnt/bd", "udf", "ro", false, true},
    };
    for (const Case &c : cases) {
        LinuxMountEntry e;
        e.target = c.target;
        e.fsType = c.fsType;
        e.options = c.options;
        e.pseudo = c.pseudo;
        EXPECT_EQ(IsLogicalDiskCandidate(e), c.expected) << c.target << " " << c.fsType;
    }
}

TEST_F(DesktopTable, DriveTypeDescriptionCompressedAccess)
{
    struct Case
    {
        const char *target;
        TDriveType type;
        const char *description;
        bool compressed;
        int access;
    };
    const Case cases[] = {
        {"/", TDriveType::LocalDisk, "Local Fixed Disk", false, 3},
        {"/boot/efi", TDriveType::LocalDisk, "Local Fixed Disk", false, 3},
        {"/tmp", TDriveType::RAMDisk, "RAM Disk", false, 3},
        {"/run/media/alice/USB STICK", TDriveType::RemovableDisk, "Removable Disk", false, 3},
        {"/mnt/nas", TDriveType::NetworkDrive, "Network Connection", false, 3},
        {"/mnt/share", TDriveType::NetworkDrive, "Network Connection", false, 3},
        {"/mnt/data", TDriveType::LocalDisk, "Local Fixed Disk", true, 3},
        {"/mnt/backup", TDriveType::LocalDisk, "Local Fixed Disk", false, 1},
        {"/media/cdrom", TDriveType::CompactDisc, "CD-ROM Disc", false, 1},
        {"/mnt/remote", TDriveType::NetworkDrive, "Network Connection", false, 3},
        {"/mnt/ramdisk", TDriveType::RAMDisk, "RAM Disk", false, 3},
        {"/mnt/zram", TDriveType::RAMDisk, "RAM Disk", false, 3},
        {"/mnt/local-fuse", TDriveType::Unknown, "", false, 3},
    };
    for (const Case &c : cases) {
        const LinuxMountEntry &e = byTarget(drives, c.target);
        const TDriveType type = ClassifyDrive(e, factsFor(e));
        EXPECT_EQ(type, c.type) << c.target;
        EXPECT_EQ(DriveDescription(type), c.description) << c.target;
        EXPECT_EQ(IsCompressed(e), c.compressed) << c.target;
        EXPECT_EQ(DriveAccess(e), c.access) << c.target;
    }
}

TEST(LinuxDriveRules, NetworkSources)
{
    struct Case
    {
        const char *source;
        const char *fsType;
        bool expected;
    };
    const Case cases[] = {
        {"server:/export", "nfs", true},
        {"//server/share", "smb3", true},
        {"-hosts", "autofs", true},
        {"ceph-mon:/", "ceph", true},
        {"tag", "9p", true},
        {"remote:", "fuse.rclone", true},
        {"/dev/sda1", "ext4", false},
        {"tmpfs", "tmpfs", false},
        {"//not-smb", "ext4", false},
        {"mydrive", "fuse.rclone", true},
        {"/dev/sdb1", "fuseblk", false},
    };
    for (const Case &c : cases) {
        LinuxMountEntry e;
        e.source = c.source;
        e.fsType = c.fsType;
        e.target = "/mnt/x";
        EXPECT_EQ(IsNetworkMount(e), c.expected) << c.source << " " << c.fsType;
    }
}

// The selection, the kind of a drive and the worker pool's choice read one
// table: a type that is a network drive is also a mount whose calls may
// hang, whichever of them asks (the cluster file system gfs2, a VM's
// virtiofs share and coda were each known to only one of them before).
TEST(LinuxDriveRules, OneKindPerTypeForTheDriveAndTheWorkerPool)
{
    struct Case
    {
        const char *fsType;
        TDriveType type;
        bool mayHang;
        bool fromMemoryOnAFixedDisk;
    };
    const Case cases[] = {
        {"gfs2", TDriveType::NetworkDrive, true, false},
        {"coda", TDriveType::NetworkDrive, true, false},
        {"virtiofs", TDriveType::NetworkDrive, true, false},
        {"nfs4", TDriveType::NetworkDrive, true, false},
        {"smb3", TDriveType::NetworkDrive, true, false},
        {"fuse.sshfs", TDriveType::NetworkDrive, true, false},
        {"fuse.gocryptfs", TDriveType::LocalDisk, true, false},
        {"fuse", TDriveType::LocalDisk, true, false},
        {"tmpfs", TDriveType::RAMDisk, false, true},
        {"ext4", TDriveType::LocalDisk, false, true},
        {"btrfs", TDriveType::LocalDisk, false, true},
        {"vfat", TDriveType::LocalDisk, false, false},
    };
    DeviceFacts fixedDisk;
    fixedDisk.blockDevice = true;
    for (const Case &c : cases) {
        LinuxMountEntry e;
        e.source = "src";
        e.fsType = c.fsType;
        e.target = "/mnt/x";
        const bool network = c.type == TDriveType::NetworkDrive;
        EXPECT_TRUE(IsLogicalDiskCandidate(e)) << c.fsType;
        EXPECT_EQ(IsNetworkMount(e), network) << c.fsType;
        EXPECT_EQ(ClassifyDrive(e, network ? DeviceFacts{} : fixedDisk), c.type) << c.fsType;
        EXPECT_EQ(MayHang(e), c.mayHang) << c.fsType;
        EXPECT_EQ(AnswersFromMemory(e, fixedDisk), c.fromMemoryOnAFixedDisk) << c.fsType;
    }
}

// FUSE mounts of a user's files count as the disk they live on, remote ones
// as network drives; a subtype nobody knows stays out of the list.
TEST(LinuxDriveRules, FuseKinds)
{
    struct Case
    {
        const char *source;
        const char *fsType;
        TDriveType expected;
        bool pseudo = false; // in libmount's list of pseudo file systems
    };
    const Case cases[] = {
        {"/home/ana/.cipher", "fuse.gocryptfs", TDriveType::LocalDisk},
        {"pool", "fuse.mergerfs", TDriveType::LocalDisk},
        {"/srv/data", "fuse.bindfs", TDriveType::LocalDisk},
        {"encfs", "fuse.encfs", TDriveType::LocalDisk, true},
        {"hangfs", "fuse", TDriveType::LocalDisk, true},
        {"ana@host:/home", "fuse.sshfs", TDriveType::NetworkDrive},
        {"gdrive", "fuse.rclone", TDriveType::NetworkDrive},
        {"bucket", "fuse.s3fs", TDriveType::NetworkDrive},
        {"localfs", "fuse.localfs", TDriveType::Unknown},
    };
    for (const Case &c : cases) {
        LinuxMountEntry e;
        e.source = c.source;
        e.fsType = c.fsType;
        e.target = "/mnt/x";
        e.pseudo = c.pseudo;
        EXPECT_TRUE(IsLogicalDiskCandidate(e)) << c.fsType;
        EXPECT_EQ(ClassifyDrive(e, DeviceFacts{}), c.expected) << c.fsType;
    }
}

TEST(LinuxDriveRules, ContainerRootAndBindMountsOfTheHostDisk)
{
    // The garbage line in the fixture is skipped, not fatal.
    const auto all = ParseLinuxMountTableFile(std::string(VELMORA_SOURCE_DIR)
                                              + "/tests/fixtures/mountinfo/container.mountinfo");
    const auto drives = SelectLogicalDisks(all);
    EXPECT_EQ(targets(drives), (std::vector<std::string>{"/", "/data", "/scratch"}));
    EXPECT_EQ(ClassifyDrive(drives[0], DeviceFacts{}), TDriveType::LocalDisk);
}

TEST(LinuxDriveRules, TableTextParsesLikeTheFile)
{
    const auto fromText = ParseLinuxMountTableText(
        "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
        "30 28 8:2 /home/alice /mnt/alice\\040bound rw - ext4 /dev/sda2 rw\n");
    ASSERT_EQ(fromText.size(), 2u);
    EXPECT_EQ(fromText[1].target, "/mnt/alice bound");
    EXPECT_EQ(targets(SelectLogicalDisks(fromText)), std::vector<std::string>{"/"});
    EXPECT_TRUE(ParseLinuxMountTableText("").empty());
}

TEST(LinuxDriveRules, UnreadableTableIsAClearError)
{
    EXPECT_THROW(ParseLinuxMountTableFile("/nonexistent/mountinfo"), std::runtime_error);
}

TEST(LinuxDriveRules, PropertiesOfADriveInWindowsOrder)
{
    LinuxMountEntry e;
    e.source = "fileserver:/export/home";
    e.target = "/mnt/nas";
    e.fsType = "nfs4";
    e.options = "rw,relatime";
    LinuxVolumeAnswer a;
    a.answered = true;
    a.statvfsOk = true;
    a.sizeBytes = 1000202039296ull;
    a.freeBytes = 12884901888ull;
    a.label = "Home";
    a.uuid = "0f6e5c1a-2b3d-4e5f-8a9b-0c1d2e3f4a5b";
    EXPECT_EQ(RenderMofInstance(kLogicalDiskClass, LinuxLogicalDiskProperties(e, TDriveType::NetworkDrive, a)),
              "instance of Win32_LogicalDisk\n{\n"
              "\tAccess = 3;\n"
              "\tCaption = \"/mnt/nas\";\n"
              "\tCompressed = FALSE;\n"
              "\tDescription = \"Network Connection\";\n"
              "\tDeviceID = \"/mnt/nas\";\n"
              "\tDriveType = 4;\n"
              "\tFileSystem = \"nfs4\";\n"
              "\tFreeSpace = \"12884901888\";\n"
              "\tName = \"/mnt/nas\";\n"
              "\tProviderName = \"fileserver:/export/home\";\n"
              "\tSize = \"1000202039296\";\n"
              "\tVolumeName = \"Home\";\n"
              "\tVolumeSerialNumber = \"0f6e5c1a-2b3d-4e5f-8a9b-0c1d2e3f4a5b\";\n"
              "};\n");

    // A mount that did not answer in time: no figures; a local disk: no provider.
    e.source = "/dev/sda3";
    e.target = "/home";
    e.fsType = "ext4";
    EXPECT_EQ(RenderMofInstance(kLogicalDiskClass,
                                LinuxLogicalDiskProperties(e, TDriveType::LocalDisk, LinuxVolumeAnswer{})),
              "instance of Win32_LogicalDisk\n{\n"
              "\tAccess = 3;\n"
              "\tCaption = \"/home\";\n"
              "\tCompressed = FALSE;\n"
              "\tDescription = \"Local Fixed Disk\";\n"
              "\tDeviceID = \"/home\";\n"
              "\tDriveType = 3;\n"
              "\tFileSystem = \"ext4\";\n"
              "\tName = \"/home\";\n"
              "};\n");
}
