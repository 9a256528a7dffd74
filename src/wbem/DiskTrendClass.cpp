// SPDX-License-Identifier: MIT
#include "wbem/DiskTrendClass.h"

#include "wbem/InstanceSelection.h"
#include "wbem/WbemService.h"
#include "wbem/WbemTextObjects.h"

#include <cstdio>
#include <set>

namespace platform {

namespace {

const char *const kProperties[] = {"FillRate", "FreeSpace", "FullIn", "Name",
                                   "Samples",  "Since",     "Size",   "SystemName"};

std::string canonicalName(const std::string &name)
{
    for (const char *p : kProperties)
        if (WqlNamesEqual(name, p))
            return p;
    return {};
}

// Howard Hinnant's days_from_civil inverse: the proleptic Gregorian date of
// a day count since 1970-01-01.
void civilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

} // namespace

std::string CimDateTime(std::int64_t t)
{
    std::int64_t days = t / 86400;
    std::int64_t rest = t % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld%02u%02u%02u%02u%02u.000000+000", static_cast<long long>(y), m, d,
                  static_cast<unsigned>(rest / 3600), static_cast<unsigned>(rest / 60 % 60),
                  static_cast<unsigned>(rest % 60));
    return buffer;
}

std::vector<MofProperty> DiskTrendProperties(const DiskTrendValues &v)
{
    std::vector<MofProperty> p;
    p.reserve(8);
    if (v.fillRatePerHour)
        p.push_back(MofProperty{"FillRate", MofType::UInt64, std::to_string(*v.fillRatePerHour)});
    p.push_back(MofProperty{"FreeSpace", MofType::UInt64, std::to_string(v.freeBytes)});
    if (v.fullInSeconds)
        p.push_back(MofProperty{"FullIn", MofType::UInt64, std::to_string(*v.fullInSeconds)});
    p.push_back(MofProperty{"Name", MofType::String, v.name});
    p.push_back(MofProperty{"Samples", MofType::Number, std::to_string(v.samples)});
    if (v.since > 0)
        p.push_back(MofProperty{"Since", MofType::String, CimDateTime(v.since)});
    p.push_back(MofProperty{"Size", MofType::UInt64, std::to_string(v.sizeBytes)});
    if (!v.systemName.empty())
        p.push_back(MofProperty{"SystemName", MofType::String, v.systemName});
    return p;
}

bool IsDiskTrendQuery(const std::string &wql)
{
    try {
        return WqlNamesEqual(ParseWql(wql).className, kDiskTrendClass);
    } catch (const WqlSyntaxError &) {
        return false;
    }
}

WqlQuery ParseDiskTrendQuery(const std::string &wql)
{
    WqlQuery query;
    try {
        query = ParseWql(wql);
    } catch (const WqlSyntaxError &) {
        throw WbemError("Invalid query", wbem_code::InvalidQuery);
    }
    if (!WqlNamesEqual(query.className, kDiskTrendClass))
        throw WbemError("Invalid class", wbem_code::InvalidClass);
    std::vector<std::string> named = query.properties;
    if (query.where)
        for (std::string &p : WqlConditionProperties(*query.where))
            named.push_back(std::move(p));
    for (const std::string &p : named)
        if (canonicalName(p).empty())
            throw WbemError("Invalid query", wbem_code::InvalidQuery);
    return query;
}

std::vector<std::string> RenderDiskTrends(const WqlQuery &query, const std::vector<DiskTrendValues> &objects)
{
    std::set<std::string> keep;
    if (!query.properties.empty()) {
        keep.insert("Name");
        keep.insert("SystemName");
        for (const std::string &p : query.properties)
            keep.insert(canonicalName(p));
    }
    std::vector<std::vector<MofProperty>> properties;
    properties.reserve(objects.size());
    for (const DiskTrendValues &values : objects)
        properties.push_back(DiskTrendProperties(values));
    return RenderSelectedInstances(kDiskTrendClass, query, keep, properties);
}

} // namespace platform
