// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxVolumeProbe.h"

#include "platform/BoundedFile.h"
#include "platform/DriveQueryWait.h"
#include "platform/linux/LinuxFileStamp.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace platform {

namespace {

constexpr std::chrono::milliseconds kDefaultDeadline{1000};
std::atomic<long long> g_deadlineOverrideMs{-1};
std::atomic<long long> g_waitMs{-1}; // -1: the deadline

struct DevNo
{
    unsigned major = 0;
    unsigned minor = 0;
    bool valid = false;
};

bool operator<(const DevNo &a, const DevNo &b)
{
    return a.major != b.major ? a.major < b.major : a.minor < b.minor;
}

DevNo blockDevNo(const LinuxMountEntry &e)
{
    DevNo d;
    if (e.devMajor != 0) {
        d.major = e.devMajor;
        d.minor = e.devMinor;
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

std::string sysfsBlockPath(const DevNo &d)
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
void probeSysfsDevice(const std::string &devicePath, LinuxDeviceFacts &facts, int depth)
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
std::map<DevNo, std::string> udevLinks(const char *folder)
{
    std::map<DevNo, std::string> byDevice;
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
        byDevice.emplace(DevNo{::major(st.st_rdev), ::minor(st.st_rdev), true}, decodeUdevName(d->d_name));
    }
    ::closedir(dir);
    return byDevice;
}

struct ProbeFree
{
    void operator()(blkid_probe p) const { blkid_free_probe(p); }
};

// Label and UUID read from the superblock (needs read access to the device).
void probeSuperblock(const std::string &deviceNode, std::string &label, std::string &uuid)
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
struct DriveRecord
{
    DevNo device;           // the block device, when there is one
    bool inSysfs = false;   // /sys/dev/block/M:m exists
    std::string sysfsLink;  // its link text: another device under the same number has another one
    std::string deviceNode; // the source, when it is that device's node (for the superblock probe)
    LinuxDeviceFacts facts;
    // Label and UUID last read from the superblock, and what identified the
    // mounted file system then (see SuperblockKey).
    std::optional<std::pair<std::string, std::string>> superblock;
    std::string superblockKey;
};

DriveRecord probeDrive(const LinuxMountEntry &e)
{
    DriveRecord r;
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

// One /dev/disk/by-* folder, read again only when its stamp changes: udev
// adds, removes and renames its links there, and each of those changes the
// folder.
class UdevLinkFolder
{
public:
    explicit UdevLinkFolder(const char *path) : m_path(path) {}

    const std::map<DevNo, std::string> &Links()
    {
        struct stat st
        {};
        if (::stat(m_path, &st) != 0 || !S_ISDIR(st.st_mode))
            return m_links.Forget();
        return m_links.Get(st, [this] { return udevLinks(m_path); });
    }

private:
    const char *m_path;
    LinuxStampedValue<std::map<DevNo, std::string>> m_links;
};

struct Job
{
    std::string target;
    std::string mount;      // which mounted file system: its ID, source and type (see mountIdentity)
    std::string deviceNode; // empty: no superblock probe
    std::string knownLabel;
    std::string knownUuid;
    std::string superblockKey; // kept with what the probe finds; empty: not kept
};

#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x4000U
#endif

// What tells one mounted file system from the next on the same path, and a
// label change from none, without reading the device: the mount's ID that
// the kernel never hands out twice (Linux 6.8 and later), and the label the
// file system keeps in memory (ext4, XFS, btrfs). Empty when either is not
// to be had; the superblock is then read at every query. A file system whose
// label cannot change while mounted (labelFixed) needs only the mount's ID.
// Only for the file
// systems whose calls answer from memory: opening the mount's root of a
// network file system could wait on its server.
std::string SuperblockKey(const std::string &target, bool labelFixed)
{
    struct statx stx
    {};
    if (::statx(AT_FDCWD, target.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID_UNIQUE, &stx) != 0
        || !(stx.stx_mask & STATX_MNT_ID_UNIQUE))
        return {};
    if (labelFixed)
        return std::to_string(stx.stx_mnt_id) + "/fixed";
    const int fd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    char label[FSLABEL_MAX + 1] = {};
    const int rc = ::ioctl(fd, FS_IOC_GETFSLABEL, label);
    ::close(fd);
    if (rc != 0)
        return {};
    return std::to_string(stx.stx_mnt_id) + '/' + std::string(label, ::strnlen(label, FSLABEL_MAX));
}

// Compressed read-only images (a squashfs snap, an EROFS image): their sizes
// and label were read from the superblock at mount time and cannot change
// while mounted, whatever device or file holds them.
bool isReadOnlyImage(const LinuxMountEntry &entry)
{
    return entry.fsType == "squashfs" || entry.fsType == "erofs";
}

// True when statvfs of the mount is answered from the kernel's memory: the
// page counters of a RAM-backed file system, or the superblock counters that
// the usual disk file systems keep in memory, on a fixed local disk. Such a
// call is made on the querying thread. Removable and optical media stay on
// workers (FAT counts its free clusters on the device, and a dying stick
// stalls), as do network and FUSE file systems.
bool answersFromMemory(const LinuxMountEntry &entry, const LinuxDeviceFacts &facts)
{
    static const char *const ramBacked[] = {"tmpfs", "ramfs"};
    static const char *const diskCounters[] = {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs"};
    const auto isOneOf = [&](const auto &types) {
        return std::any_of(std::begin(types), std::end(types),
                           [&](const char *type) { return entry.fsType == type; });
    };
    if (isOneOf(ramBacked) || isReadOnlyImage(entry))
        return true;
    return isOneOf(diskCounters) && facts.blockDevice && !facts.removable && !facts.optical;
}

// Resolving the path of a mount waits on every mount above it: one below a
// FUSE or network mount may hang however fast its own file system answers.
bool mayHang(const LinuxMountEntry &entry)
{
    static const char *const network[] = {"nfs",       "nfs4", "cifs",  "smb3",  "smbfs",  "9p",    "ceph",
                                          "glusterfs", "afs",  "ncpfs", "davfs", "lustre", "ocfs2", "gfs2"};
    if (entry.fsType == "fuse" || entry.fsType.rfind("fuse.", 0) == 0 || entry.fsType == "fuseblk")
        return true;
    return std::any_of(std::begin(network), std::end(network),
                       [&](const char *type) { return entry.fsType == type; });
}

bool belowMountThatMayHang(const std::vector<LinuxMountEntry> &drives, std::size_t i)
{
    const std::string &path = drives[i].target;
    for (std::size_t j = 0; j < drives.size(); ++j) {
        const std::string &above = drives[j].target;
        if (j == i || !mayHang(drives[j]) || above.size() >= path.size())
            continue;
        if (path.compare(0, above.size(), above) == 0 && (above == "/" || path[above.size()] == '/'))
            return true;
    }
    return false;
}

// A call that must read the superblock for a label or UUID reads the device.
bool readsSuperblock(const Job &job)
{
    return !job.deviceNode.empty() && (job.knownLabel.empty() || job.knownUuid.empty());
}

// The records of the last query's drives. Any change in the drive list (a
// mount, an unmount, a remount with other options) drops them all; a device
// whose sysfs link changed under an unchanged list (unplugged and another
// one plugged in under its number) is read again.
class DriveFactsCache
{
public:
    // One job per drive, and each drive's device facts.
    void Prepare(const std::vector<LinuxMountEntry> &drives, std::vector<Job> &jobs,
                 std::vector<LinuxVolume> &volumes, bool withNames)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (drives != m_drives) {
            m_drives = drives;
            m_records.assign(drives.size(), std::nullopt);
        }
        jobs.resize(drives.size());
        volumes.resize(drives.size());
        const std::map<DevNo, std::string> *labels = nullptr; // looked at once, when a drive has a device
        const std::map<DevNo, std::string> *uuids = nullptr;
        for (std::size_t i = 0; i < drives.size(); ++i) {
            std::optional<DriveRecord> &r = m_records[i];
            if (r && r->device.valid && readLink(sysfsBlockPath(r->device)) != r->sysfsLink)
                r.reset();
            if (!r)
                r = probeDrive(drives[i]);
            volumes[i].device = r->facts;
            Job &job = jobs[i];
            job.target = drives[i].target;
            if (!r->inSysfs || !withNames)
                continue;
            if (!labels) {
                labels = &m_labels.Links();
                uuids = &m_uuids.Links();
            }
            if (auto f = labels->find(r->device); f != labels->end())
                job.knownLabel = f->second;
            if (auto f = uuids->find(r->device); f != uuids->end())
                job.knownUuid = f->second;
            job.deviceNode = r->deviceNode;
            // Without udev's names the superblock is read once per mounted
            // file system and label, not at every refresh.
            if (readsSuperblock(job) && answersFromMemory(drives[i], r->facts)) {
                job.superblockKey = SuperblockKey(job.target, isReadOnlyImage(drives[i]));
                if (!job.superblockKey.empty() && r->superblock && r->superblockKey == job.superblockKey) {
                    if (job.knownLabel.empty())
                        job.knownLabel = r->superblock->first;
                    if (job.knownUuid.empty())
                        job.knownUuid = r->superblock->second;
                    job.deviceNode.clear();
                    job.superblockKey.clear();
                }
            }
        }
    }

    // Keeps what the superblock of drive i (of the list given to the last
    // Prepare; nothing when the list has changed since) held under key.
    void RememberSuperblock(const std::vector<LinuxMountEntry> &drives, std::size_t i, const std::string &key,
                            const std::string &label, const std::string &uuid)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (drives != m_drives || i >= m_records.size() || !m_records[i])
            return;
        m_records[i]->superblock.emplace(label, uuid);
        m_records[i]->superblockKey = key;
    }

private:
    std::mutex m_mutex;
    std::vector<LinuxMountEntry> m_drives;
    std::vector<std::optional<DriveRecord>> m_records;
    UdevLinkFolder m_labels{"/dev/disk/by-label"};
    UdevLinkFolder m_uuids{"/dev/disk/by-uuid"};
};

DriveFactsCache &factsCache()
{
    static DriveFactsCache cache;
    return cache;
}

// What one worker call finds out: statvfs, then the superblock when udev did
// not give both label and UUID.
LinuxVolumeAnswer ask(const Job &job)
{
    LinuxVolumeAnswer a;
    a.answered = true;
    a.label = job.knownLabel;
    a.uuid = job.knownUuid;
    struct statvfs sv
    {};
    if (::statvfs(job.target.c_str(), &sv) == 0) {
        a.statvfsOk = true;
        // What df -B1 shows as Size and Avail. Avail leaves out the blocks
        // reserved for root, so used + available is not the total.
        a.sizeBytes = static_cast<std::uint64_t>(sv.f_blocks) * sv.f_frsize;
        a.freeBytes = static_cast<std::uint64_t>(sv.f_bavail) * sv.f_frsize;
        // 0 for a file system without a fixed number of inodes (btrfs).
        a.files = sv.f_files;
        a.filesFree = sv.f_favail;
    }
    if (!job.deviceNode.empty() && (a.label.empty() || a.uuid.empty()))
        probeSuperblock(job.deviceNode, a.label, a.uuid);
    return a;
}

using Clock = std::chrono::steady_clock;

// The queries waiting on calls: each one counts its calls still running.
struct Waiter
{
    std::condition_variable finished;
    std::size_t remaining = 0; // guarded by the pool's mutex
};

// One mount's statvfs, from the moment a query asks for it until a worker
// has its answer. Shared by the queries that wait on it and the worker, so
// a worker that finishes after its waiters gave up writes into memory that
// is still alive. Guarded by the pool's mutex.
struct Call
{
    Job job;
    Clock::time_point queuedAt;
    bool taken = false; // a worker has started it
    bool done = false;
    LinuxVolumeAnswer answer;
    std::vector<std::shared_ptr<Waiter>> waiters;
};

// The last answer a worker had for a mount path, and which mounted file
// system gave it (Job::mount): what a query shows for a mount whose call is
// late but not yet past the deadline.
struct LastAnswer
{
    std::string mount;
    LinuxVolumeAnswer answer;
};

// Workers outlive their calls for a while so that the next refresh does not
// pay for new threads. Never destroyed: a worker still blocked in the kernel
// when the program exits must not find it gone.
struct Pool
{
    std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<Call>> inFlight; // by mount path, queued or running
    std::deque<std::shared_ptr<Call>> queue;                         // not taken yet, oldest first
    std::condition_variable wake;
    std::size_t idle = 0;    // workers waiting for work and not yet woken
    std::size_t wakeUps = 0; // wake-ups given and not yet taken
    std::size_t busy = 0;    // workers inside a call
    std::size_t started = 0;
    std::size_t finished = 0;
    // Calls started per mount path, for tests that count only their own
    // mounts; forgotten wholesale when it grows past kCountedPaths paths.
    std::unordered_map<std::string, std::size_t> startedAt;
    // By mount path; only paths of the last query's calls and of calls still
    // running are kept.
    std::unordered_map<std::string, LastAnswer> lastAnswers;
};

constexpr std::size_t kCountedPaths = 4096;

Pool &pool()
{
    static Pool *p = new Pool;
    return *p;
}

// Longer than the longest refresh interval of the widget (one minute).
constexpr std::chrono::seconds kIdleWorkerLife{90};
// Workers a query wakes for its queue: one keeps the hand-overs few, and
// local file systems answer in microseconds.
constexpr std::size_t kWorkersPerQuery = 1;
// With mounts still queued and no call finished for this long, every worker
// may be stuck in a mount that hangs: more workers join.
constexpr std::chrono::milliseconds kStallInterval{5};

void workerLoop()
{
    Pool &p = pool();
    std::unique_lock<std::mutex> lock(p.mutex);
    for (;;) {
        if (!p.queue.empty()) {
            std::shared_ptr<Call> call = std::move(p.queue.front());
            p.queue.pop_front();
            call->taken = true;
            ++p.busy;
            ++p.started;
            if (p.startedAt.size() >= kCountedPaths)
                p.startedAt.clear();
            ++p.startedAt[call->job.target];
            lock.unlock();
            LinuxVolumeAnswer answer = ask(call->job);
            lock.lock();
            --p.busy;
            ++p.finished;
            p.lastAnswers[call->job.target] = LastAnswer{call->job.mount, answer};
            call->answer = std::move(answer);
            call->done = true;
            if (const auto found = p.inFlight.find(call->job.target);
                found != p.inFlight.end() && found->second == call)
                p.inFlight.erase(found);
            std::vector<std::shared_ptr<Waiter>> ready;
            for (const std::shared_ptr<Waiter> &w : call->waiters)
                if (--w->remaining == 0)
                    ready.push_back(w);
            call->waiters.clear();
            if (!ready.empty()) {
                // Woken outside the lock, so that the query does not wake
                // only to wait for it.
                lock.unlock();
                for (const std::shared_ptr<Waiter> &w : ready)
                    w->finished.notify_one();
                lock.lock();
            }
            continue;
        }
        ++p.idle;
        if (!p.wake.wait_for(lock, kIdleWorkerLife, [&p] { return p.wakeUps > 0; })) {
            --p.idle;
            return;
        }
        --p.wakeUps;
    }
}

// Sets `wanted` more workers on the queue: idle ones first, new threads for
// the rest. Called with the lock held, which it gives up meanwhile. Returns
// how many it found; fewer when no thread could be started.
std::size_t addWorkers(Pool &p, std::unique_lock<std::mutex> &lock, std::size_t wanted)
{
    const std::size_t woken = std::min(wanted, p.idle);
    p.idle -= woken;
    p.wakeUps += woken;
    lock.unlock();
    for (std::size_t i = 0; i < woken; ++i)
        p.wake.notify_one();
    std::size_t added = woken;
    for (; added < wanted; ++added) {
        try {
            std::thread(workerLoop).detach();
        } catch (const std::system_error &) {
            break;
        }
    }
    lock.lock();
    return added;
}

// Which mounted file system a mount path holds: a last answer counts only
// for the same one.
std::string mountIdentity(const LinuxMountEntry &e)
{
    std::string id = std::to_string(e.id);
    id += '\n';
    id += e.source;
    id += '\n';
    id += e.fsType;
    return id;
}

} // namespace

LinuxDeviceFacts ProbeLinuxDevice(const LinuxMountEntry &entry)
{
    return probeDrive(entry).facts;
}

std::vector<LinuxVolume> QueryLinuxVolumes(const std::vector<LinuxMountEntry> &drives, bool withNames)
{
    const auto start = Clock::now();
    const std::chrono::milliseconds deadline = LinuxStatfsDeadline();
    const auto waitEnd = start + std::min(LinuxQueryWait(), deadline);
    std::vector<Job> jobs;
    std::vector<LinuxVolume> volumes;
    factsCache().Prepare(drives, jobs, volumes, withNames);
    if (drives.empty())
        return volumes;

    // The superblocks read for a key are kept under it once answered.
    std::vector<std::string> keys(drives.size());
    for (std::size_t i = 0; i < drives.size(); ++i)
        keys[i] = jobs[i].superblockKey;
    std::vector<bool> fresh(drives.size(), false); // answered by this query's calls
    const auto rememberSuperblocks = [&] {
        for (std::size_t i = 0; i < drives.size(); ++i)
            if (!keys[i].empty() && fresh[i] && volumes[i].answer.answered)
                factsCache().RememberSuperblock(drives, i, keys[i], volumes[i].answer.label,
                                                volumes[i].answer.uuid);
    };

    // What memory answers is asked here; a call for the same path still
    // running on a worker belongs to a mount that has gone from that path.
    std::vector<bool> asked(drives.size(), false);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (!readsSuperblock(jobs[i]) && answersFromMemory(drives[i], volumes[i].device)
            && !belowMountThatMayHang(drives, i)) {
            volumes[i].answer = ask(jobs[i]);
            asked[i] = true;
            fresh[i] = true;
        }
    }
    if (std::all_of(asked.begin(), asked.end(), [](bool b) { return b; })) {
        rememberSuperblocks();
        return volumes;
    }

    Pool &p = pool();
    auto waiter = std::make_shared<Waiter>();
    std::vector<std::shared_ptr<Call>> calls(drives.size());
    std::vector<std::string> mounts(drives.size());
    std::unique_lock<std::mutex> lock(p.mutex);
    std::size_t queued = 0;
    std::size_t callCount = 0;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (asked[i])
            continue;
        mounts[i] = mountIdentity(drives[i]);
        // A call still running from an earlier query is waited on, not made again.
        std::shared_ptr<Call> &call = p.inFlight[jobs[i].target];
        if (!call) {
            call = std::make_shared<Call>();
            call->job = std::move(jobs[i]);
            call->job.mount = mounts[i];
            call->queuedAt = start;
            p.queue.push_back(call);
            ++queued;
        }
        call->waiters.push_back(waiter);
        ++waiter->remaining;
        calls[i] = call;
        ++callCount;
    }

    // Drops this query's interest in the calls it no longer waits for; a call
    // that nobody waits for and no worker took is never made.
    const auto leave = [&] {
        for (const std::shared_ptr<Call> &call : calls) {
            if (!call || call->done)
                continue;
            std::erase(call->waiters, waiter);
            if (call->taken || !call->waiters.empty())
                continue;
            std::erase(p.queue, call);
            if (const auto found = p.inFlight.find(call->job.target);
                found != p.inFlight.end() && found->second == call)
                p.inFlight.erase(found);
        }
    };

    if (queued > 0 && addWorkers(p, lock, std::min(queued, kWorkersPerQuery)) == 0) {
        // No thread to ask on: the drives are listed without figures.
        leave();
        return volumes;
    }
    // Sleeps until the last call is answered or the wait is over; the
    // workers wake it.
    auto lastCheck = Clock::now();
    std::size_t finishedAtCheck = p.finished;
    while (waiter->remaining > 0) {
        const auto now = Clock::now();
        if (now >= waitEnd)
            break;
        if (p.queue.empty()) {
            waiter->finished.wait_until(lock, waitEnd);
            continue;
        }
        if (now < lastCheck + kStallInterval) {
            waiter->finished.wait_until(lock, std::min(waitEnd, lastCheck + kStallInterval));
            continue;
        }
        if (p.finished == finishedAtCheck) {
            // Mounts are waiting and nothing finished for a whole interval:
            // as many workers join as are stuck, so that many hung mounts
            // are passed in a few intervals.
            addWorkers(p, lock, std::min(p.queue.size(), std::max(kWorkersPerQuery, p.busy)));
        }
        lastCheck = Clock::now();
        finishedAtCheck = p.finished;
    }
    // A call not answered yet and asked less than a deadline ago is late, not
    // hung: its mount shows what it answered last, until its call finishes
    // (for a later query) or runs past the deadline.
    const auto now = Clock::now();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (!calls[i])
            continue;
        if (calls[i]->done) {
            volumes[i].answer = calls[i]->answer;
            fresh[i] = true;
        } else if (now - calls[i]->queuedAt < deadline) {
            if (const auto last = p.lastAnswers.find(drives[i].target);
                last != p.lastAnswers.end() && last->second.mount == mounts[i])
                volumes[i].answer = last->second.answer;
        }
    }
    leave();
    if (p.lastAnswers.size() > callCount + p.inFlight.size()) {
        std::unordered_map<std::string, LastAnswer> kept;
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i])
                if (auto last = p.lastAnswers.find(drives[i].target); last != p.lastAnswers.end())
                    kept.insert(std::move(*last));
        for (const auto &[target, call] : p.inFlight)
            if (auto last = p.lastAnswers.find(target); last != p.lastAnswers.end())
                kept.insert(std::move(*last));
        p.lastAnswers = std::move(kept);
    }
    lock.unlock();
    rememberSuperblocks();
    return volumes;
}

std::chrono::milliseconds LinuxStatfsDeadline()
{
    if (const long long ms = g_deadlineOverrideMs.load(); ms >= 0)
        return std::chrono::milliseconds(ms);
    if (const char *env = std::getenv("VELMORA_STATFS_DEADLINE_MS"); env && *env) {
        char *end = nullptr;
        const long long ms = std::strtoll(env, &end, 10);
        if (*end == '\0' && ms >= 1 && ms <= 600000)
            return std::chrono::milliseconds(ms);
    }
    return kDefaultDeadline;
}

void SetLinuxStatfsDeadline(std::optional<std::chrono::milliseconds> deadline)
{
    g_deadlineOverrideMs.store(deadline ? static_cast<long long>(deadline->count()) : -1);
}

std::chrono::milliseconds LinuxQueryWait()
{
    const std::chrono::milliseconds deadline = LinuxStatfsDeadline();
    const long long ms = g_waitMs.load();
    return ms >= 0 ? std::min(std::chrono::milliseconds(ms), deadline) : deadline;
}

void SetLinuxQueryWait(std::optional<std::chrono::milliseconds> wait)
{
    g_waitMs.store(wait ? std::max(0LL, static_cast<long long>(wait->count())) : -1);
}

void SetDriveQueryWait(std::chrono::milliseconds wait)
{
    SetLinuxQueryWait(wait);
}

std::size_t LinuxStatfsCallsStarted()
{
    Pool &p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.started;
}

std::size_t LinuxStatfsCallsStartedBelow(const std::string &folder)
{
    Pool &p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    std::size_t calls = 0;
    for (const auto &[target, count] : p.startedAt)
        if (target.size() > folder.size() && target.compare(0, folder.size(), folder) == 0
            && target[folder.size()] == '/')
            calls += count;
    return calls;
}

std::size_t LinuxStatfsCallsInFlight()
{
    Pool &p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.inFlight.size();
}

} // namespace platform
