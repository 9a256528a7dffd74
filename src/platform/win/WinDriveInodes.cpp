// SPDX-License-Identifier: MIT
#include "platform/DriveInodes.h"

namespace platform {

std::vector<DriveInodes> ReadDriveInodes()
{
    // NTFS, FAT and ReFS hold as many files as their space allows.
    return {};
}

} // namespace platform
