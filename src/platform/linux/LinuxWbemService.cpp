// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxWbemService.h"

#include "platform/ThisMachine.h"
#include "platform/linux/LinuxLogicalDisk.h"
#include "wbem/WbemTextObjects.h"

#include <algorithm>
#include <mutex>

namespace platform {

namespace {

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
            const TDriveType type = ClassifyDrive(entry, volumes[i].device);
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
            drives = SelectLogicalDisks(ReadLinuxMountTable());
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
                const TDriveType type = ClassifyDrive(drives[i], volumes[i].device);
                objects.push_back(LinuxLogicalDiskProperties(drives[i], type, volumes[i].answer));
            }
            texts = RenderLogicalDisks(query, objects);
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
    p.push_back(NumberProperty("Access", static_cast<std::uint64_t>(DriveAccess(entry)), MofType::Number));
    p.push_back(TextProperty("Caption", entry.target));
    p.push_back(BooleanProperty("Compressed", IsCompressed(entry)));
    if (std::string description = DriveDescription(type); !description.empty())
        p.push_back(TextProperty("Description", std::move(description)));
    p.push_back(TextProperty("DeviceID", entry.target));
    p.push_back(NumberProperty("DriveType", static_cast<std::uint64_t>(type), MofType::Number));
    if (!entry.fsType.empty())
        p.push_back(TextProperty("FileSystem", entry.fsType));
    if (sized)
        p.push_back(NumberProperty("FreeSpace", answer.freeBytes, MofType::UInt64));
    p.push_back(TextProperty("Name", entry.target));
    if (type == TDriveType::NetworkDrive && !entry.source.empty())
        p.push_back(TextProperty("ProviderName", entry.source));
    if (sized)
        p.push_back(NumberProperty("Size", answer.sizeBytes, MofType::UInt64));
    if (!answer.label.empty())
        p.push_back(TextProperty("VolumeName", answer.label));
    if (!answer.uuid.empty())
        p.push_back(TextProperty("VolumeSerialNumber", answer.uuid));
    return p;
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
