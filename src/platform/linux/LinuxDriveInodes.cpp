// SPDX-License-Identifier: MIT
#include "platform/DriveInodes.h"

#include "platform/linux/LinuxMountTable.h"
#include "platform/linux/LinuxVolumeProbe.h"
#include "wbem/DriveRules.h"

namespace platform {

std::vector<DriveInodes> ReadDriveInodes()
{
    std::vector<DriveInodes> result;
    std::vector<LinuxMountEntry> drives;
    try {
        drives = SelectLogicalDisks(ReadLinuxMountTable());
    } catch (const std::exception &) {
        return result;
    }
    // The same calls as the drive query: a hung mount costs one wait, shared.
    const std::vector<LinuxVolume> volumes = QueryLinuxVolumes(drives, false);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const LinuxVolumeAnswer &a = volumes[i].answer;
        if (!a.answered || !a.statvfsOk || a.files == 0)
            continue;
        // The drive's Name as its bytes, as the drive history keeps it.
        result.push_back(DriveInodes{drives[i].target, a.files, a.filesFree});
    }
    return result;
}

} // namespace platform
