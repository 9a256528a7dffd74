// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxWbemService.h"

#include "platform/ThisMachine.h"
#include "platform/WbemTextObjects.h"
#include "platform/linux/LinuxLogicalDisk.h"

#include <algorithm>
#include <mutex>
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

WqlValue valueOf(const MofProperty &p)
{
    switch (p.type) {
    case MofType::String:
        return p.text;
    case MofType::Boolean:
        return p.text == "TRUE";
    case MofType::UInt64:
    case MofType::Number:
        return WqlUnsigned(std::stoull(p.text));
    }
    return WqlNull{};
}

// Paths, sources and labels are bytes; one that is not UTF-8 keeps its
// bytes apart from another's in a visible \xNN (so /mnt/\xFF and /mnt/\xFE
// are two drives), while UTF-8 stays as it is.
MofProperty text(const char *name, std::string value)
{
    return MofProperty{name, MofType::String, VisibleUtf8(std::move(value))};
}

MofProperty number(const char *name, std::uint64_t value, MofType type)
{
    return MofProperty{name, type, std::to_string(value)};
}

bool isDefaultNamespace(const std::string &ns)
{
    return ns.empty() || WqlNamesEqual(ns, "root\\cimv2") || WqlNamesEqual(ns, "root/cimv2");
}

// The whole object texts of the last query that asked for every property,
// with the values each was made from, in table order. A text is a function
// of those values alone, so an unchanged drive can keep it.
class LastObjectTexts
{
public:
    std::vector<std::string> Render(const std::vector<LinuxMountEntry> &drives,
                                    const std::vector<LinuxVolume> &volumes, const std::vector<std::size_t> &shown)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Object> objects;
        objects.reserve(shown.size());
        std::vector<std::string> texts;
        texts.reserve(shown.size());
        for (std::size_t i : shown) {
            const LinuxMountEntry &entry = drives[i];
            const TDriveType type = ClassifyLinuxDrive(entry, volumes[i].device);
            const LinuxVolumeAnswer &answer = volumes[i].answer;
            const std::size_t at = objects.size();
            if (at < m_objects.size() && m_objects[at].type == type && m_objects[at].answer == answer
                && m_objects[at].entry == entry) {
                objects.push_back(std::move(m_objects[at]));
            } else {
                objects.push_back(
                    Object{entry, type, answer,
                           RenderMofInstance(kLogicalDiskClass, LinuxLogicalDiskProperties(entry, type, answer))});
            }
            texts.push_back(objects.back().text);
        }
        m_objects = std::move(objects);
        return texts;
    }

private:
    struct Object
    {
        LinuxMountEntry entry;
        TDriveType type;
        LinuxVolumeAnswer answer;
        std::string text;
    };
    std::mutex m_mutex;
    std::vector<Object> m_objects;
};

LastObjectTexts &lastTexts()
{
    static LastObjectTexts texts;
    return texts;
}

class LinuxWbemServices : public WbemServices
{
public:
    std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &wql) override
    {
        const WqlQuery query = ParseLogicalDiskQuery(wql);

        std::vector<LinuxMountEntry> drives;
        try {
            drives = SelectLinuxLogicalDisks(ReadLinuxMountTable());
        } catch (const std::exception &e) {
            throw WbemError(e.what());
        }
        // Label and UUID may need the disk itself: read only when shown or tested.
        const auto namesLabelOrUuid = [](const std::string &p) {
            return WqlNamesEqual(p, "VolumeName") || WqlNamesEqual(p, "VolumeSerialNumber");
        };
        const std::vector<std::string> named = LogicalDiskQueryProperties(query);
        const bool withNames = query.properties.empty()
            || std::any_of(named.begin(), named.end(), namesLabelOrUuid);
        const std::vector<LinuxVolume> volumes = QueryLinuxVolumes(drives, withNames);
        std::vector<std::size_t> shown;
        shown.reserve(drives.size());
        for (std::size_t i = 0; i < drives.size(); ++i) {
            const LinuxVolumeAnswer &answer = volumes[i].answer;
            // A file system that reports no blocks at all holds nothing to show.
            if (answer.statvfsOk && answer.sizeBytes == 0)
                continue;
            shown.push_back(i);
        }
        std::vector<std::string> texts;
        if (query.properties.empty() && !query.where) {
            // Every property of every drive, as the widget asks each refresh:
            // a drive whose values did not change keeps its last text.
            texts = lastTexts().Render(drives, volumes, shown);
        } else {
            std::vector<std::vector<MofProperty>> objects;
            objects.reserve(shown.size());
            for (std::size_t i : shown) {
                const TDriveType type = ClassifyLinuxDrive(drives[i], volumes[i].device);
                objects.push_back(LinuxLogicalDiskProperties(drives[i], type, volumes[i].answer));
            }
            texts = RenderLinuxLogicalDisks(query, objects);
        }
        return std::make_unique<TextWbemObjectSet>(std::move(texts));
    }
};

} // namespace

std::vector<MofProperty> LinuxLogicalDiskProperties(const LinuxMountEntry &entry, TDriveType type,
                                                    const LinuxVolumeAnswer &answer)
{
    std::vector<MofProperty> p;
    p.reserve(13);
    const bool sized = answer.answered && answer.statvfsOk;
    p.push_back(number("Access", static_cast<std::uint64_t>(LinuxDriveAccess(entry)), MofType::Number));
    p.push_back(text("Caption", entry.target));
    p.push_back(MofProperty{"Compressed", MofType::Boolean, IsLinuxCompressed(entry) ? "TRUE" : "FALSE"});
    if (std::string description = LinuxDriveDescription(type); !description.empty())
        p.push_back(text("Description", std::move(description)));
    p.push_back(text("DeviceID", entry.target));
    p.push_back(number("DriveType", static_cast<std::uint64_t>(type), MofType::Number));
    if (!entry.fsType.empty())
        p.push_back(text("FileSystem", entry.fsType));
    if (sized)
        p.push_back(number("FreeSpace", answer.freeBytes, MofType::UInt64));
    p.push_back(text("Name", entry.target));
    if (type == TDriveType::NetworkDrive && !entry.source.empty())
        p.push_back(text("ProviderName", entry.source));
    if (sized)
        p.push_back(number("Size", answer.sizeBytes, MofType::UInt64));
    if (!answer.label.empty())
        p.push_back(text("VolumeName", answer.label));
    if (!answer.uuid.empty())
        p.push_back(text("VolumeSerialNumber", answer.uuid));
    return p;
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
        if (LinuxLogicalDiskPropertyName(p).empty())
            throw WbemError("Invalid query", wbem_code::InvalidQuery);
    return query;
}

std::string LinuxLogicalDiskPropertyName(const std::string &name)
{
    for (const char *p : kClassProperties)
        if (WqlNamesEqual(name, p))
            return p;
    return {};
}

std::vector<std::string> RenderLinuxLogicalDisks(const WqlQuery &query,
                                                 const std::vector<std::vector<MofProperty>> &objects)
{
    std::set<std::string> keep;
    if (!query.properties.empty()) {
        keep.insert("DeviceID"); // the key stays, as in WMI's answer to a property list
        for (const std::string &p : query.properties)
            keep.insert(LinuxLogicalDiskPropertyName(p));
    }
    std::vector<std::string> texts;
    for (const auto &object : objects) {
        if (query.where) {
            const auto lookup = [&object](const std::string &name) -> WqlValue {
                for (const MofProperty &p : object)
                    if (WqlNamesEqual(p.name, name))
                        return valueOf(p);
                return WqlNull{};
            };
            if (!EvaluateWql(*query.where, lookup))
                continue;
        }
        if (keep.empty()) {
            texts.push_back(RenderMofInstance(kLogicalDiskClass, object));
            continue;
        }
        std::vector<MofProperty> projected;
        for (const MofProperty &p : object)
            if (keep.count(p.name))
                projected.push_back(p);
        texts.push_back(RenderMofInstance(kLogicalDiskClass, projected));
    }
    return texts;
}

std::unique_ptr<WbemServices> LinuxWbemLocator::ConnectServer(const std::string &host,
                                                              const std::string &nameSpace)
{
    if (!IsThisMachine(host))
        throw WbemError("The RPC server is unavailable.", wbem_code::RpcUnavailable);
    if (!isDefaultNamespace(nameSpace))
        throw WbemError("Invalid namespace", wbem_code::InvalidNamespace);
    return std::make_unique<LinuxWbemServices>();
}

} // namespace platform
