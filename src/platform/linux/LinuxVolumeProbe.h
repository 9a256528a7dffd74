// SPDX-License-Identifier: MIT
#pragma once

// The query of the drives' figures: what the system knows about the file
// system behind each mount, the device facts (LinuxDeviceProbe.h) and the
// figures, label and UUID that need the file system or the device to answer
// (LinuxStatfsPool.h).
//
// statvfs on a mount of a dead network server (or a stuck FUSE daemon) blocks
// in the kernel, uninterruptibly for hard NFS mounts. So every call that could
// wait on anything but memory runs on a worker of the pool and the caller
// waits for all of them up to one common wait (LinuxQueryWait): N hung mounts
// still cost one wait. Only the file systems that answer statvfs from the
// kernel's memory (AnswersFromMemory), and not mounted below a mount that may
// hang, are asked on the caller's thread, as handing them to a worker costs
// more than the call.

#include "platform/linux/LinuxDeviceProbe.h"
#include "platform/linux/LinuxMountTable.h"
#include "platform/linux/LinuxStatfsPool.h"

#include <vector>

namespace platform {

// What the query needs of one drive besides its mount entry.
struct LinuxVolume
{
    DeviceFacts device; // as ProbeLinuxDevice gives them
    LinuxVolumeAnswer answer;
};

// Asks every drive; the result has one volume per drive, in order. Waits at
// most LinuxQueryWait() in all.
//
// The device facts and the /dev/disk/by-label and by-uuid links are kept
// between queries: the facts as long as the drives are the same and the
// device's sysfs link is unchanged, the links as long as their folder is.
// Figures, and a label or UUID read from the superblock, are read every time.
//
// withNames false leaves label and UUID empty and reads neither the udev
// links nor any superblock, for a caller that shows neither.
std::vector<LinuxVolume> QueryLinuxVolumes(const std::vector<LinuxMountEntry> &drives, bool withNames = true);

} // namespace platform
