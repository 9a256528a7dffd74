// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusDisks.h"

#include "wbem/DriveRules.h"
#include "wbem/LogicalDisk.h"

#include <libmount.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

namespace platform {

namespace {

constexpr const char *kSampleTimeLabel = "velmora_sample_time";
constexpr const char *kLastValueWindow = "10m";

// A byte count, when the value is one.
std::optional<std::uint64_t> asBytes(double v)
{
    if (!std::isfinite(v) || v < 0 || v >= 18446744073709551616.0)
        return std::nullopt;
    return static_cast<std::uint64_t>(v);
}

bool namesEqual(const std::string &a, const char *b)
{
    return WqlNamesEqual(a, b);
}

// RE2 syntax for a text that must match itself only.
std::string quoteRegex(const std::string &text)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c >= 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// A PromQL string literal.
std::string quotePromQL(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

bool isUtf8(const std::string &text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

// False when a required comparison cannot match any instance.
bool collectSelectors(const WqlCondition &c, std::vector<std::string> &out)
{
    if (c.kind == WqlCondition::Kind::And)
        return collectSelectors(*c.left, out) && collectSelectors(*c.right, out);
    if (c.kind != WqlCondition::Kind::Compare || c.op != WqlOp::Equal || !namesEqual(c.property, "SystemName"))
        return true;
    if (const std::string *s = std::get_if<std::string>(&c.literal)) {
        // A PromQL text must be UTF-8 (the server refuses the query
        // otherwise), and so is every label value.
        if (!isUtf8(*s))
            return false;
        out.push_back("instance=~" + quotePromQL("(?i)" + quoteRegex(*s)));
    }
    return true;
}

// One file system as the answers give it: its series' labels without the
// metric name, and the two figures.
struct Disk
{
    const PrometheusSample *labels = nullptr;
    bool windows = false;
    bool current = false; // at least one of its series is current
    std::optional<std::uint64_t> size, free;
    std::optional<bool> readonly; // node_exporter's node_filesystem_readonly
};

struct InstanceState
{
    std::optional<double> up;
    std::optional<double> sampleTime;
    double serverTime = 0; // when the server evaluated the query
};

using SeriesKey = std::vector<std::pair<std::string, std::string>>;

SeriesKey keyOf(const PrometheusSample &s)
{
    SeriesKey key;
    key.reserve(s.labels.size());
    for (const auto &label : s.labels)
        if (label.first != "__name__")
            key.push_back(label);
    return key;
}

std::string labelOr(const PrometheusSample &s, std::string_view name)
{
    const std::string *v = s.Label(name);
    return v ? *v : std::string();
}

// Why an instance counts as failing; empty when it does not (also when the
// answers hold no up sample for it).
std::string failure(const std::string &instance, const InstanceState *state)
{
    if (!state || !state->up)
        return {};
    if (*state->up == 0)
        return "Prometheus cannot scrape " + instance + " (up is 0)";
    if (state->sampleTime && state->serverTime - *state->sampleTime > kPrometheusStaleSeconds)
        return "The last sample of " + instance + " is "
            + std::to_string(static_cast<long long>(state->serverTime - *state->sampleTime)) + " s old";
    return {};
}

DeviceFacts deviceFacts(const std::string &device)
{
    DeviceFacts facts;
    facts.blockDevice = device.rfind("/dev/", 0) == 0;
    if (!facts.blockDevice)
        return facts;
    const std::string name = device.substr(5);
    const auto numbered = [&name](std::string_view prefix) {
        return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0
            && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                           [](unsigned char c) { return std::isdigit(c) != 0; });
    };
    facts.optical = numbered("sr");
    facts.ramDisk = numbered("zram") || numbered("ram");
    return facts;
}

std::vector<MofProperty> diskProperties(const std::string &instance, const std::string &path,
                                        const std::string &fsType, const std::string &provider, TDriveType type,
                                        const Disk &disk, const std::string &failing)
{
    const std::string name = instance + ":" + path;
    // Free space beyond the size is no figure a drive can have: neither is
    // shown, and the drive says why.
    std::string reason = failing;
    const bool figures = !(disk.size && disk.free && *disk.free > *disk.size);
    if (!figures && reason.empty())
        reason = instance + " reports " + std::to_string(*disk.free) + " bytes free on " + path + " of "
            + std::to_string(*disk.size) + " bytes";
    std::vector<MofProperty> p;
    p.reserve(15);
    // As for this machine's drives: 1 read-only, 3 read and write. Unknown
    // (windows_exporter says nothing of it) leaves the property out.
    if (disk.readonly)
        p.push_back(NumberProperty("Access", *disk.readonly ? 1u : 3u, MofType::Number));
    p.push_back(TextProperty("Caption", name));
    p.push_back(BooleanProperty("Compressed", false));
    if (std::string description = DriveDescription(type); !description.empty())
        p.push_back(TextProperty("Description", std::move(description)));
    p.push_back(TextProperty("DeviceID", name));
    p.push_back(NumberProperty("DriveType", static_cast<std::uint64_t>(type), MofType::Number));
    if (!reason.empty())
        p.push_back(TextProperty("ErrorDescription", reason));
    if (!fsType.empty())
        p.push_back(TextProperty("FileSystem", fsType));
    if (disk.free && figures)
        p.push_back(NumberProperty("FreeSpace", *disk.free, MofType::UInt64));
    p.push_back(TextProperty("Name", name));
    if (type == TDriveType::NetworkDrive && !provider.empty())
        p.push_back(TextProperty("ProviderName", provider));
    if (disk.size && figures)
        p.push_back(NumberProperty("Size", *disk.size, MofType::UInt64));
    p.push_back(TextProperty("Status", !failing.empty() ? "No Contact" : !reason.empty() ? "Error" : "OK"));
    p.push_back(TextProperty("SystemName", instance));
    p.push_back(TextProperty("VolumeName", ""));
    return p;
}

} // namespace

std::string PrometheusFamilyQuery(PrometheusFamily family, const std::string &selector)
{
    const auto series = [&selector](const char *name) { return std::string(name) + "{" + selector + "}"; };
    const auto withLast = [&](const char *name) {
        const std::string s = series(name);
        return s + " or last_over_time(" + s + "[" + kLastValueWindow + "])";
    };
    switch (family) {
    case PrometheusFamily::NodeSize:
        return withLast("node_filesystem_size_bytes");
    case PrometheusFamily::NodeAvail:
        return withLast("node_filesystem_avail_bytes");
    case PrometheusFamily::WindowsSize:
        return withLast("windows_logical_disk_size_bytes");
    case PrometheusFamily::WindowsFree:
        return withLast("windows_logical_disk_free_bytes");
    case PrometheusFamily::NodeReadonly:
        return withLast("node_filesystem_readonly");
    case PrometheusFamily::Up:
        return series("up") + " or label_replace(timestamp(" + series("up") + "), \"" + kSampleTimeLabel
            + "\", \"1\", \"\", \"\")";
    }
    return {};
}

std::optional<std::string> PrometheusSelector(const WqlCondition *where)
{
    std::vector<std::string> matchers;
    if (where && !collectSelectors(*where, matchers))
        return std::nullopt;
    std::string selector;
    for (const std::string &m : matchers)
        selector += (selector.empty() ? "" : ",") + m;
    return selector;
}

std::vector<std::vector<MofProperty>>
BuildPrometheusDisks(const std::array<std::vector<PrometheusSample>, kPrometheusFamilies> &answers)
{
    // (job, instance) -> what up says.
    std::map<std::pair<std::string, std::string>, InstanceState> states;
    for (const PrometheusSample &s : answers[static_cast<int>(PrometheusFamily::Up)]) {
        InstanceState &state = states[{labelOr(s, "job"), labelOr(s, "instance")}];
        if (s.Label(kSampleTimeLabel)) {
            state.sampleTime = s.value;
            state.serverTime = s.time;
        } else {
            state.up = s.value;
        }
    }

    std::map<SeriesKey, Disk> disks;
    const auto add = [&](PrometheusFamily family, bool windows, bool size) {
        for (const PrometheusSample &s : answers[static_cast<int>(family)]) {
            Disk &d = disks[keyOf(s)];
            if (!d.labels)
                d.labels = &s;
            d.windows = windows;
            d.current = d.current || s.Label("__name__") != nullptr;
            (size ? d.size : d.free) = asBytes(s.value);
        }
    };
    add(PrometheusFamily::NodeSize, false, true);
    add(PrometheusFamily::NodeAvail, false, false);
    add(PrometheusFamily::WindowsSize, true, true);
    add(PrometheusFamily::WindowsFree, true, false);
    // Read-only or not, for file systems the figures above named; a flag
    // alone makes no drive.
    for (const PrometheusSample &s : answers[static_cast<int>(PrometheusFamily::NodeReadonly)])
        if (const auto found = disks.find(keyOf(s));
            found != disks.end() && !found->second.windows && std::isfinite(s.value))
            found->second.readonly = s.value != 0;

    // Per instance, then per job: the disks that belong to it.
    std::map<std::tuple<std::string, std::string, bool>, std::vector<const Disk *>> groups;
    for (const auto &[key, disk] : disks)
        groups[{labelOr(*disk.labels, "instance"), labelOr(*disk.labels, "job"), disk.windows}].push_back(&disk);

    std::vector<std::vector<MofProperty>> objects;
    // The instance and job of each object, for the names below.
    std::vector<std::pair<const std::string *, const std::string *>> scrapes;
    for (const auto &[group, members] : groups) {
        const auto &[instance, job, windows] = group;
        const std::pair<const std::string *, const std::string *> scrape{&instance, &job};
        const auto emit = [&objects, &scrapes, scrape](std::vector<MofProperty> object) {
            objects.push_back(std::move(object));
            scrapes.push_back(scrape);
        };
        const auto found = states.find({job, instance});
        const InstanceState *state = found == states.end() ? nullptr : &found->second;
        const std::string failing = failure(instance, state);
        // With a current up of 1, a file system that has only its last value
        // is gone; without any up sample, that value is all there is and the
        // drive counts as failing on its own.
        const bool healthy = failing.empty() && state && state->up;
        std::vector<const Disk *> kept;
        std::vector<std::string> reasons;
        for (const Disk *d : members) {
            if (d->current || !failing.empty()) {
                kept.push_back(d);
                reasons.push_back(failing);
            } else if (!healthy) {
                kept.push_back(d);
                reasons.push_back(instance + " has no current sample");
            }
        }
        if (kept.empty())
            continue;

        if (windows) {
            std::vector<std::pair<std::string, std::size_t>> volumes;
            for (std::size_t i = 0; i < kept.size(); ++i)
                volumes.emplace_back(labelOr(*kept[i]->labels, "volume"), i);
            std::sort(volumes.begin(), volumes.end());
            for (const auto &[volume, i] : volumes) {
                const Disk &d = *kept[i];
                if (d.size && *d.size == 0)
                    continue;
                emit(diskProperties(instance, volume, {}, {}, TDriveType::LocalDisk, d, reasons[i]));
            }
            continue;
        }

        // The same rules as this machine's mount table: pseudo and system
        // mounts out, one entry per file system. node_exporter tells no
        // device numbers: block devices are told apart by their name (the
        // source stands for the file system), every other mount is a file
        // system of its own.
        std::vector<MountRecord> records;
        records.reserve(kept.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const PrometheusSample &s = *kept[i]->labels;
            MountRecord r;
            r.source = labelOr(s, "device");
            r.target = labelOr(s, "mountpoint");
            r.fsType = labelOr(s, "fstype");
            r.root = "/";
            r.pseudo = mnt_fstype_is_pseudofs(r.fsType.c_str()) != 0;
            r.netfs = mnt_fstype_is_netfs(r.fsType.c_str()) != 0;
            if (r.source.rfind("/dev/", 0) != 0)
                r.fileSystem = i + 1;
            records.push_back(std::move(r));
        }
        std::vector<const MountRecord *> byTarget;
        byTarget.reserve(records.size());
        for (const MountRecord &r : records)
            byTarget.push_back(&r);
        std::sort(byTarget.begin(), byTarget.end(),
                  [](const MountRecord *a, const MountRecord *b) { return a->target < b->target; });
        for (std::size_t chosen : ChooseLogicalDisks(byTarget)) {
            const MountRecord &e = *byTarget[chosen];
            const std::size_t i = static_cast<std::size_t>(&e - records.data());
            const Disk &d = *kept[i];
            if (d.size && *d.size == 0)
                continue;
            const TDriveType type = ClassifyDrive(e, deviceFacts(e.source));
            emit(diskProperties(instance, e.target, e.fsType, e.source, type, d, reasons[i]));
        }
    }

    // An instance that two jobs scrape has two sets of figures, which may
    // differ (another exporter, another relabelling): the job tells its
    // drives apart. Elsewhere the name stays the instance and the path.
    std::map<std::string_view, std::set<std::string_view>> jobsOf;
    for (const auto &[instance, job] : scrapes)
        jobsOf[*instance].insert(*job);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const auto &[instance, job] = scrapes[i];
        if (jobsOf[*instance].size() < 2)
            continue;
        for (MofProperty &p : objects[i])
            if (p.name == "Caption" || p.name == "DeviceID" || p.name == "Name")
                p.text.insert(instance->size(), " (" + *job + ")");
    }
    return objects;
}

} // namespace platform
