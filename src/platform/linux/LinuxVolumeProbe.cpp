// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxVolumeProbe.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {

constexpr std::chrono::milliseconds kDefaultDeadline{1000};
std::atomic<long long> g_deadlineOverrideMs{-1};

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
    struct stat st {};
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

std::string readFirstLine(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
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
    for (std::string dir = disk; dir.size() > 4 && dir.rfind("/sys/", 0) == 0; dir = dir.substr(0, dir.rfind('/'))) {
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
        struct stat st {};
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

// One statvfs (and superblock probe) on its worker. Shared between the worker
// and every query that waits for it, so a worker that finishes after its
// waiters gave up writes into memory that is still alive.
struct Call
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    LinuxVolumeAnswer answer;
};

struct Registry
{
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Call>> inFlight;   // by mount path
    std::size_t started = 0;
};

// Never destroyed: a worker still blocked in the kernel when the program
// exits must not find the registry gone.
Registry &registry()
{
    static Registry *r = new Registry;
    return *r;
}

struct Job
{
    std::string target;
    std::string deviceNode;          // empty: no superblock probe
    std::string knownLabel;
    std::string knownUuid;
};

void runCall(const std::shared_ptr<Call> &call, const Job &job)
{
    LinuxVolumeAnswer a;
    a.answered = true;
    a.label = job.knownLabel;
    a.uuid = job.knownUuid;
    struct statvfs sv {};
    if (::statvfs(job.target.c_str(), &sv) == 0) {
        a.statvfsOk = true;
        // What df -B1 shows as Size and Avail. Avail leaves out the blocks
        // reserved for root, so used + available is not the total.
        a.sizeBytes = static_cast<std::uint64_t>(sv.f_blocks) * sv.f_frsize;
        a.freeBytes = static_cast<std::uint64_t>(sv.f_bavail) * sv.f_frsize;
    }
    if (!job.deviceNode.empty() && (a.label.empty() || a.uuid.empty()))
        probeSuperblock(job.deviceNode, a.label, a.uuid);
    {
        std::lock_guard<std::mutex> lock(call->mutex);
        call->answer = std::move(a);
        call->done = true;
    }
    call->finished.notify_all();
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.inFlight.find(job.target);
    if (found != r.inFlight.end() && found->second == call)
        r.inFlight.erase(found);
}

// Workers outlive their call for a while so that the next refresh does not
// pay for new threads; a worker blocked in the kernel is simply not idle, and
// a job that finds no idle worker gets a new thread, so the calls of one
// query always run side by side. Never destroyed, like the registry.
struct Pool
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::size_t idle = 0;
};

// Longer than the longest refresh interval of the widget (one minute).
constexpr std::chrono::seconds kIdleWorkerLife{90};

Pool &pool()
{
    static Pool *p = new Pool;
    return *p;
}

void workerLoop(std::function<void()> job)
{
    Pool &p = pool();
    for (;;) {
        job();
        std::unique_lock<std::mutex> lock(p.mutex);
        ++p.idle;
        const bool woken = p.wake.wait_for(lock, kIdleWorkerLife, [&p] { return !p.jobs.empty(); });
        --p.idle;
        if (!woken)
            return;
        job = std::move(p.jobs.front());
        p.jobs.pop_front();
    }
}

// Throws std::system_error when no thread can be started.
void runOnWorker(std::function<void()> job)
{
    Pool &p = pool();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (p.idle > p.jobs.size()) {
            p.jobs.push_back(std::move(job));
            p.wake.notify_one();
            return;
        }
    }
    std::thread(workerLoop, std::move(job)).detach();
}

// The running call for the path, or a new one on a worker; null when no
// thread could be started.
std::shared_ptr<Call> startOrJoin(const Job &job)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (const auto found = r.inFlight.find(job.target); found != r.inFlight.end())
        return found->second;
    auto call = std::make_shared<Call>();
    try {
        runOnWorker([call, job] { runCall(call, job); });
    } catch (const std::system_error &) {
        return nullptr;
    }
    r.inFlight.emplace(job.target, call);
    ++r.started;
    return call;
}

} // namespace

LinuxDeviceFacts ProbeLinuxDevice(const LinuxMountEntry &entry)
{
    LinuxDeviceFacts facts;
    const DevNo d = blockDevNo(entry);
    if (!d.valid)
        return facts;
    const std::string sysfs = realPath(sysfsBlockPath(d));
    if (sysfs.empty())
        return facts;
    facts.blockDevice = true;
    if (d.major == 11)   // SCSI CD-ROM
        facts.optical = true;
    probeSysfsDevice(sysfs, facts, 0);
    return facts;
}

std::vector<LinuxVolumeAnswer> QueryLinuxVolumes(const std::vector<LinuxMountEntry> &drives)
{
    const auto deadline = std::chrono::steady_clock::now() + LinuxStatfsDeadline();
    std::map<DevNo, std::string> labels;
    std::map<DevNo, std::string> uuids;
    bool linksRead = false;

    std::vector<std::shared_ptr<Call>> calls;
    calls.reserve(drives.size());
    for (const LinuxMountEntry &e : drives) {
        Job job;
        job.target = e.target;
        const DevNo d = blockDevNo(e);
        if (d.valid && exists(sysfsBlockPath(d))) {
            if (!linksRead) {
                labels = udevLinks("/dev/disk/by-label");
                uuids = udevLinks("/dev/disk/by-uuid");
                linksRead = true;
            }
            if (auto f = labels.find(d); f != labels.end())
                job.knownLabel = f->second;
            if (auto f = uuids.find(d); f != uuids.end())
                job.knownUuid = f->second;
            struct stat st {};
            if (e.source.rfind("/dev/", 0) == 0 && ::stat(e.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)
                && ::major(st.st_rdev) == d.major && ::minor(st.st_rdev) == d.minor)
                job.deviceNode = e.source;
        }
        calls.push_back(startOrJoin(job));
    }

    std::vector<LinuxVolumeAnswer> answers(drives.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (!calls[i])
            continue;
        std::unique_lock<std::mutex> lock(calls[i]->mutex);
        if (calls[i]->finished.wait_until(lock, deadline, [&] { return calls[i]->done; }))
            answers[i] = calls[i]->answer;
    }
    return answers;
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

std::size_t LinuxStatfsCallsStarted()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.started;
}

std::size_t LinuxStatfsCallsInFlight()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.inFlight.size();
}

} // namespace platform
