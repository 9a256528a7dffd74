// SPDX-License-Identifier: MIT
#pragma once

// How many files a drive can still hold, where its file system has a fixed
// number of inodes (ext4, tmpfs, XFS). Such a drive is full when its inodes
// run out, however much space it has left.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DriveInodes
{
    std::string name;            // the drive's Name, its very bytes (not escaped)
    std::uint64_t files = 0;     // inodes in all
    std::uint64_t filesFree = 0; // inodes a user can still take
};

// Every logical disk of this machine whose file system counts inodes. Waits
// no longer than a drive query does (a mount that does not answer is left
// out). Windows: none (NTFS has no fixed number of files).
std::vector<DriveInodes> ReadDriveInodes();

} // namespace platform
