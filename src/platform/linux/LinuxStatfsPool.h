// SPDX-License-Identifier: MIT
#pragma once

// The calls that need a mount's file system to answer (statvfs, and the
// superblock for a label or UUID), made on a pool of detached worker threads
// so that a mount that hangs never holds the caller longer than its wait.
//
// The calls of one query go to a queue that a few workers empty, each taking
// the next mount when it is done with its last; when none of them finished a
// call for a while and mounts are still waiting, more workers join, so mounts
// that hang hold one worker each and never the rest of the queue. A mount
// whose call is still running is not asked again: later queries wait on the
// same call, so a hung mount holds one worker however many queries ask for
// it.
//
// A call that runs past the deadline (LinuxStatfsDeadline) belongs to a mount
// that does not answer: it is shown without figures. A call that did not
// answer within a shorter wait but is not yet past the deadline is late: the
// mount shows what its last call answered (nothing when there was none), and
// the late answer is kept for the next query.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct LinuxVolumeAnswer
{
    bool answered = false;       // false: the call did not finish by the deadline
    bool statvfsOk = false;      // statvfs succeeded
    std::uint64_t sizeBytes = 0; // f_blocks x f_frsize
    std::uint64_t freeBytes = 0; // f_bavail x f_frsize
    std::uint64_t files = 0;     // f_files: inodes in all, 0 when not counted
    std::uint64_t filesFree = 0; // f_favail: inodes a user can still take
    std::string label;           // empty when unknown
    std::string uuid;

    bool operator==(const LinuxVolumeAnswer &) const = default;
};

// What one call asks of one mount.
struct LinuxStatfsJob
{
    std::string target;
    std::string mount;      // which mounted file system the path holds: a last answer counts only for the same one
    std::string deviceNode; // empty: no superblock probe
    std::string knownLabel;
    std::string knownUuid;
    std::string superblockKey; // kept with what the probe finds; empty: not kept
};

using LinuxStatfsClock = std::chrono::steady_clock;

// Asks on the calling thread: statvfs, then the superblock when udev did not
// give both label and UUID.
LinuxVolumeAnswer AskLinuxVolume(const LinuxStatfsJob &job);

struct LinuxWorkerAnswer
{
    bool fresh = false;                      // answered by a call that finished in time
    std::optional<LinuxVolumeAnswer> answer; // otherwise the last answer of a late call, if any
};

// Asks every job on the workers and waits for them until waitEnd at most;
// one answer per job, in order. start is when the query began (a call queued
// then is late until start + deadline).
std::vector<LinuxWorkerAnswer> AskOnLinuxWorkers(const std::vector<LinuxStatfsJob> &jobs,
                                                 LinuxStatfsClock::time_point start,
                                                 LinuxStatfsClock::time_point waitEnd,
                                                 std::chrono::milliseconds deadline);

// The deadline: the value given to SetLinuxStatfsDeadline, otherwise the
// environment variable VELMORA_STATFS_DEADLINE_MS (milliseconds, 1 to
// 600000), otherwise one second.
std::chrono::milliseconds LinuxStatfsDeadline();
void SetLinuxStatfsDeadline(std::optional<std::chrono::milliseconds> deadline);

// How long a query waits for its calls in all: the value given to
// SetLinuxQueryWait (or SetDriveQueryWait), never more than the deadline;
// the deadline when none was given.
std::chrono::milliseconds LinuxQueryWait();
void SetLinuxQueryWait(std::optional<std::chrono::milliseconds> wait);

// Calls started so far and calls still running (for tests and diagnostics).
std::size_t LinuxStatfsCallsStarted();
std::size_t LinuxStatfsCallsInFlight();
// Calls started so far for mounts below folder (not folder itself).
std::size_t LinuxStatfsCallsStartedBelow(const std::string &folder);

} // namespace platform
