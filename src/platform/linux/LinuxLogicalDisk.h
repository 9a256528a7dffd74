// SPDX-License-Identifier: MIT
#pragma once

// Win32_LogicalDisk objects built from this machine's mount entries and what
// their file systems answered.

#include "platform/linux/LinuxMountTable.h"
#include "platform/linux/LinuxVolumeProbe.h"
#include "wbem/LogicalDisk.h"

#include <vector>

namespace platform {

// The values of one drive, in the alphabetical order in which Windows lists
// them; a property without a value is left out. Size and FreeSpace only when
// statvfs answered in time; Compressed always; ProviderName for network
// drives only.
std::vector<MofProperty> LinuxLogicalDiskProperties(const LinuxMountEntry &entry, TDriveType type,
                                                    const LinuxVolumeAnswer &answer);

} // namespace platform
