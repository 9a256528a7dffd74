// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxVolumeProbe.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

namespace platform {

namespace {

// Resolving the path of a mount waits on every mount above it: one below a
// FUSE or network mount may hang however fast its own file system answers.
// mayHang holds MayHang of each drive, worked out once per query.
bool belowMountThatMayHang(const std::vector<LinuxMountEntry> &drives, const std::vector<bool> &mayHang,
                           std::size_t i)
{
    const std::string &path = drives[i].target;
    for (std::size_t j = 0; j < drives.size(); ++j) {
        const std::string &above = drives[j].target;
        if (j == i || !mayHang[j] || above.size() >= path.size())
            continue;
        if (path.compare(0, above.size(), above) == 0 && (above == "/" || path[above.size()] == '/'))
            return true;
    }
    return false;
}

// A call that must read the superblock for a label or UUID reads the device.
bool readsSuperblock(const LinuxStatfsJob &job)
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
    void Prepare(const std::vector<LinuxMountEntry> &drives, std::vector<LinuxStatfsJob> &jobs,
                 std::vector<LinuxVolume> &volumes, bool withNames)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Mount IDs are read again only after the table changed.
        const std::uint64_t generation = LinuxMountTableGeneration();
        if (drives != m_drives) {
            m_drives = drives;
            m_records.assign(drives.size(), std::nullopt);
        }
        jobs.resize(drives.size());
        volumes.resize(drives.size());
        const std::map<LinuxDevNo, std::string> *labels = nullptr; // looked at once, when a drive has a device
        const std::map<LinuxDevNo, std::string> *uuids = nullptr;
        for (std::size_t i = 0; i < drives.size(); ++i) {
            std::optional<LinuxDriveRecord> &r = m_records[i];
            if (r && LinuxSysfsLinkChanged(*r))
                r.reset();
            if (!r)
                r = ProbeLinuxDrive(drives[i]);
            volumes[i].device = r->facts;
            LinuxStatfsJob &job = jobs[i];
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
            if (readsSuperblock(job) && AnswersFromMemory(drives[i], r->facts)) {
                if (!r->mountId || r->mountIdGeneration != generation) {
                    r->mountId = LinuxUniqueMountId(job.target);
                    r->mountIdGeneration = generation;
                }
                job.superblockKey = LinuxSuperblockKey(job.target, *r->mountId,
                                                       FileSystemKinds(drives[i].fsType) & fs_kind::FixedLabel);
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
    std::vector<std::optional<LinuxDriveRecord>> m_records;
    LinuxUdevLinkFolder m_labels{"/dev/disk/by-label"};
    LinuxUdevLinkFolder m_uuids{"/dev/disk/by-uuid"};
};

DriveFactsCache &factsCache()
{
    static DriveFactsCache cache;
    return cache;
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

std::vector<LinuxVolume> QueryLinuxVolumes(const std::vector<LinuxMountEntry> &drives, bool withNames)
{
    const auto start = LinuxStatfsClock::now();
    const std::chrono::milliseconds deadline = LinuxStatfsDeadline();
    const auto waitEnd = start + std::min(LinuxQueryWait(), deadline);
    std::vector<LinuxStatfsJob> jobs;
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
    std::vector<bool> mayHang(drives.size());
    for (std::size_t i = 0; i < drives.size(); ++i)
        mayHang[i] = MayHang(drives[i]);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (!readsSuperblock(jobs[i]) && AnswersFromMemory(drives[i], volumes[i].device)
            && !belowMountThatMayHang(drives, mayHang, i)) {
            volumes[i].answer = AskLinuxVolume(jobs[i]);
            asked[i] = true;
            fresh[i] = true;
        }
    }
    if (std::all_of(asked.begin(), asked.end(), [](bool b) { return b; })) {
        rememberSuperblocks();
        return volumes;
    }

    std::vector<std::size_t> onWorkers;
    std::vector<LinuxStatfsJob> workerJobs;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (asked[i])
            continue;
        jobs[i].mount = mountIdentity(drives[i]);
        onWorkers.push_back(i);
        workerJobs.push_back(std::move(jobs[i]));
    }
    std::vector<LinuxWorkerAnswer> answers = AskOnLinuxWorkers(workerJobs, start, waitEnd, deadline);
    for (std::size_t k = 0; k < onWorkers.size(); ++k) {
        const std::size_t i = onWorkers[k];
        if (answers[k].answer)
            volumes[i].answer = std::move(*answers[k].answer);
        fresh[i] = answers[k].fresh;
    }
    rememberSuperblocks();
    return volumes;
}

} // namespace platform
