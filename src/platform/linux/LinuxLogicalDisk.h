// SPDX-License-Identifier: MIT
#pragma once

// Win32_LogicalDisk objects built from mount entries: the property values, the
// WHERE evaluation and the object text, apart from reading the system.

#include "platform/MofText.h"
#include "platform/Wql.h"
#include "platform/linux/LinuxMountTable.h"
#include "platform/linux/LinuxVolumeProbe.h"

#include <string>
#include <vector>

namespace platform {

inline constexpr const char *kLogicalDiskClass = "Win32_LogicalDisk";

// The values of one drive, in the alphabetical order in which Windows lists
// them; a property without a value is left out. Size and FreeSpace only when
// statvfs answered in time; Compressed always; ProviderName for network
// drives only.
std::vector<MofProperty> LinuxLogicalDiskProperties(const LinuxMountEntry &entry, TDriveType type,
                                                    const LinuxVolumeAnswer &answer);

// The class's canonical name of a property (any letter case in, Windows' case
// out), or empty text when Win32_LogicalDisk has no such property.
std::string LinuxLogicalDiskPropertyName(const std::string &name);

// Parses a query for Win32_LogicalDisk; a syntax error or a property the class
// does not have gives "Invalid query", another class "Invalid class" (WbemError).
WqlQuery ParseLogicalDiskQuery(const std::string &wql);

// Every property a query names: its property list, then those its WHERE tests.
std::vector<std::string> LogicalDiskQueryProperties(const WqlQuery &query);

// Applies a parsed query to the drive objects: WHERE filters, a property list
// keeps the named properties plus the key DeviceID. Returns the object texts.
std::vector<std::string> RenderLinuxLogicalDisks(const WqlQuery &query,
                                                 const std::vector<std::vector<MofProperty>> &objects);

} // namespace platform
