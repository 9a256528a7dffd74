// SPDX-License-Identifier: MIT
#include "wbem/LogicalDisk.h"

#include "wbem/InstanceSelection.h"
#include "wbem/WbemTextObjects.h"

#include <set>

namespace platform {

namespace {

// Every property of Win32_LogicalDisk, in Windows' spelling; the ones this
// system cannot fill are valid in a query and simply have no value.
const char *const kClassProperties[] = {
    "Access",
    "Availability",
    "BlockSize",
    "Caption",
    "Compressed",
    "ConfigManagerErrorCode",
    "ConfigManagerUserConfig",
    "CreationClassName",
    "Description",
    "DeviceID",
    "DriveType",
    "ErrorCleared",
    "ErrorDescription",
    "ErrorMethodology",
    "FileSystem",
    "FreeSpace",
    "InstallDate",
    "LastErrorCode",
    "MaximumComponentLength",
    "MediaType",
    "Name",
    "NumberOfBlocks",
    "PNPDeviceID",
    "PowerManagementCapabilities",
    "PowerManagementSupported",
    "ProviderName",
    "Purpose",
    "QuotasDisabled",
    "QuotasIncomplete",
    "QuotasRebuilding",
    "Size",
    "Status",
    "StatusInfo",
    "SupportsDiskQuotas",
    "SupportsFileBasedCompression",
    "SystemCreationClassName",
    "SystemName",
    "VolumeDirty",
    "VolumeName",
    "VolumeSerialNumber",
};

} // namespace

MofProperty TextProperty(const char *name, std::string value)
{
    return MofProperty{name, MofType::String, std::move(value)};
}

MofProperty NumberProperty(const char *name, std::uint64_t value, MofType type)
{
    return MofProperty{name, type, std::to_string(value)};
}

MofProperty BooleanProperty(const char *name, bool value)
{
    return MofProperty{name, MofType::Boolean, value ? "TRUE" : "FALSE"};
}

std::vector<std::string> LogicalDiskQueryProperties(const WqlQuery &query)
{
    std::vector<std::string> named = query.properties;
    if (query.where)
        for (std::string &p : WqlConditionProperties(*query.where))
            named.push_back(std::move(p));
    return named;
}

WqlQuery ParseLogicalDiskQuery(const std::string &wql)
{
    WqlQuery query;
    try {
        query = ParseWql(wql);
    } catch (const WqlSyntaxError &) {
        throw WbemError("Invalid query", wbem_code::InvalidQuery);
    }
    if (!WqlNamesEqual(query.className, kLogicalDiskClass))
        throw WbemError("Invalid class", wbem_code::InvalidClass);
    for (const std::string &p : LogicalDiskQueryProperties(query))
        if (LogicalDiskPropertyName(p).empty())
            throw WbemError("Invalid query", wbem_code::InvalidQuery);
    return query;
}

std::string LogicalDiskPropertyName(const std::string &name)
{
    for (const char *p : kClassProperties)
        if (WqlNamesEqual(name, p))
            return p;
    return {};
}

std::vector<std::string> RenderLogicalDisks(const WqlQuery &query,
                                            const std::vector<std::vector<MofProperty>> &objects)
{
    std::set<std::string> keep;
    if (!query.properties.empty()) {
        keep.insert("DeviceID"); // the key stays, as in WMI's answer to a property list
        for (const std::string &p : query.properties)
            keep.insert(LogicalDiskPropertyName(p));
    }
    return RenderSelectedInstances(kLogicalDiskClass, query, keep, objects);
}

} // namespace platform
