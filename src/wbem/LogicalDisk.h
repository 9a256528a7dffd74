// SPDX-License-Identifier: MIT
#pragma once

// Win32_LogicalDisk as every drive source answers it: the class's
// properties, the query checked against them, the property values made in
// one way, and a query's WHERE and property list applied to the objects.

#include "wbem/MofText.h"
#include "wbem/Wql.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr const char *kLogicalDiskClass = "Win32_LogicalDisk";

// A string property. Paths, sources and labels are bytes and kept as they
// are: the object text escapes the bytes that are not UTF-8 so that they read
// back exactly (so /mnt/\xFF, /mnt/\xFE and a path holding the four
// characters \xFF are three drives with three names).
MofProperty TextProperty(const char *name, std::string value);

// A number property: MofType::Number or MofType::UInt64.
MofProperty NumberProperty(const char *name, std::uint64_t value, MofType type);

// A boolean property: TRUE or FALSE.
MofProperty BooleanProperty(const char *name, bool value);

// The class's canonical name of a property (any letter case in, Windows' case
// out), or empty text when Win32_LogicalDisk has no such property.
std::string LogicalDiskPropertyName(const std::string &name);

// Parses a query for Win32_LogicalDisk; a syntax error or a property the class
// does not have gives "Invalid query", another class "Invalid class" (WbemError).
WqlQuery ParseLogicalDiskQuery(const std::string &wql);

// Every property a query names: its property list, then those its WHERE tests.
std::vector<std::string> LogicalDiskQueryProperties(const WqlQuery &query);

// Applies a parsed query to the drive objects: WHERE filters, a property list
// keeps the named properties plus the key DeviceID. Returns the object texts.
std::vector<std::string> RenderLogicalDisks(const WqlQuery &query,
                                            const std::vector<std::vector<MofProperty>> &objects);

} // namespace platform
