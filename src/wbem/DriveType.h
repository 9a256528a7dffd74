// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace platform {

// The kind of a logical drive: the DriveType numbers of Win32_LogicalDisk.
// The drive query gives them, the panels show a picture for each.
enum class TDriveType : std::uint8_t {
    Unknown = 0,
    NoRootDirectory = 1,
    RemovableDisk = 2,
    LocalDisk = 3,
    NetworkDrive = 4,
    CompactDisc = 5,
    RAMDisk = 6,
};

} // namespace platform
