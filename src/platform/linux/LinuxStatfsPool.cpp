// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxStatfsPool.h"

#include "platform/DriveQueryWait.h"
#include "platform/linux/LinuxDeviceProbe.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace platform {

namespace {

constexpr std::chrono::milliseconds kDefaultDeadline{1000};
std::atomic<long long> g_deadlineOverrideMs{-1};
std::atomic<long long> g_waitMs{-1}; // -1: the deadline

using Clock = LinuxStatfsClock;

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
    LinuxStatfsJob job;
    Clock::time_point queuedAt;
    bool taken = false; // a worker has started it
    bool done = false;
    LinuxVolumeAnswer answer;
    std::vector<std::shared_ptr<Waiter>> waiters;
};

// The last answer a worker had for a mount path, and which mounted file
// system gave it (LinuxStatfsJob::mount): what a query shows for a mount whose call is
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
            LinuxVolumeAnswer answer = AskLinuxVolume(call->job);
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

} // namespace

// What one worker call finds out: statvfs, then the superblock when udev did
// not give both label and UUID.
LinuxVolumeAnswer AskLinuxVolume(const LinuxStatfsJob &job)
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
        ReadLinuxSuperblock(job.deviceNode, a.label, a.uuid);
    return a;
}

std::vector<LinuxWorkerAnswer> AskOnLinuxWorkers(const std::vector<LinuxStatfsJob> &jobs, Clock::time_point start,
                                                 Clock::time_point waitEnd, std::chrono::milliseconds deadline)
{
    Pool &p = pool();
    auto waiter = std::make_shared<Waiter>();
    std::vector<std::shared_ptr<Call>> calls(jobs.size());
    std::vector<LinuxWorkerAnswer> answers(jobs.size());
    std::unique_lock<std::mutex> lock(p.mutex);
    std::size_t queued = 0;
    std::size_t callCount = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        // A call still running from an earlier query is waited on, not made again.
        std::shared_ptr<Call> &call = p.inFlight[jobs[i].target];
        if (!call) {
            call = std::make_shared<Call>();
            call->job = jobs[i];
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
        return answers;
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
            answers[i].answer = calls[i]->answer;
            answers[i].fresh = true;
        } else if (now - calls[i]->queuedAt < deadline) {
            if (const auto last = p.lastAnswers.find(jobs[i].target);
                last != p.lastAnswers.end() && last->second.mount == jobs[i].mount)
                answers[i].answer = last->second.answer;
        }
    }
    leave();
    if (p.lastAnswers.size() > callCount + p.inFlight.size()) {
        std::unordered_map<std::string, LastAnswer> kept;
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i])
                if (auto last = p.lastAnswers.find(jobs[i].target); last != p.lastAnswers.end())
                    kept.insert(std::move(*last));
        for (const auto &[target, call] : p.inFlight)
            if (auto last = p.lastAnswers.find(target); last != p.lastAnswers.end())
                kept.insert(std::move(*last));
        p.lastAnswers = std::move(kept);
    }
    lock.unlock();
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

std::chrono::milliseconds DriveQueryDeadline()
{
    return LinuxStatfsDeadline();
}

std::chrono::milliseconds DriveQueryWaitNow()
{
    return LinuxQueryWait();
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
