// SPDX-License-Identifier: MIT
#pragma once

// What the system knows about the file system behind a mount: the block
// device facts from sysfs, and the figures, label and UUID that need the file
// system or the device to answer.
//
// statvfs on a mount of a dead network server (or a stuck FUSE daemon) blocks
// in the kernel, uninterruptibly for hard NFS mounts. So every call that could
// wait on anything but memory runs on a detached worker thread and the caller
// waits for all of them up to one common wait (LinuxQueryWait): N hung mounts
// still cost one wait. A mount whose call is still running is not asked
// again: later queries wait on the same call, so a hung mount holds one
// worker however many queries ask for it. Only the file systems that answer
// statvfs from the kernel's memory (RAM-backed ones, read-only images, and the
// usual disk file systems on a fixed local disk), and not mounted below a FUSE or network
// mount, are asked on the caller's thread, as handing them to a worker costs
// more than the call.
//
// A call that runs past the deadline (LinuxStatfsDeadline) belongs to a mount
// that does not answer: it is shown without figures. A call that did not
// answer within a shorter wait but is not yet past the deadline is late: the
// mount shows what its last call answered (nothing when there was none), and
// the late answer is kept for the next query.

#include "platform/linux/LinuxMountTable.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// sysfs facts of the block device behind the mount (none for a file system
// without one). Reads only /sys and stats device nodes in /dev: no call here
// waits for a file system to answer.
LinuxDeviceFacts ProbeLinuxDevice(const LinuxMountEntry &entry);

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

// What the query needs of one drive besides its mount entry.
struct LinuxVolume
{
    LinuxDeviceFacts device; // as ProbeLinuxDevice gives them
    LinuxVolumeAnswer answer;
};

// Asks every drive; the result has one volume per drive, in order. Waits at
// most LinuxQueryWait() in all.
//
// The calls of one query go to a queue that a few workers empty, each taking
// the next mount when it is done with its last; when none of them finished a
// call for a while and mounts are still waiting, more workers join, so mounts
// that hang hold one worker each and never the rest of the queue.
//
// The device facts and the /dev/disk/by-label and by-uuid links are kept
// between queries: the facts as long as the drives are the same and the
// device's sysfs link is unchanged, the links as long as their folder is.
// Figures, and a label or UUID read from the superblock, are read every time.
//
// withNames false leaves label and UUID empty and reads neither the udev
// links nor any superblock, for a caller that shows neither.
std::vector<LinuxVolume> QueryLinuxVolumes(const std::vector<LinuxMountEntry> &drives, bool withNames = true);

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
