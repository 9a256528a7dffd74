// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusTrends.h"

#include <cmath>
#include <map>
#include <optional>

namespace platform {

namespace {

// Beyond a year a drive counts as stable, as in this machine's forecast.
constexpr double kMaxFullInSeconds = 365.0 * 86400;

std::string over(const std::string &selector, const char *pattern)
{
    // pattern holds F where the free-space series goes.
    std::string result;
    for (const char *family : {"node_filesystem_avail_bytes", "windows_logical_disk_free_bytes"}) {
        std::string one = pattern;
        one.replace(one.find('F'), 1, std::string(family) + "{" + selector + "}");
        result += (result.empty() ? "" : " or ") + one;
    }
    return result;
}

const MofProperty *find(const std::vector<MofProperty> &object, const char *name)
{
    for (const MofProperty &p : object)
        if (p.name == name)
            return &p;
    return nullptr;
}

std::uint64_t figure(const std::vector<MofProperty> &object, const char *name)
{
    const MofProperty *p = find(object, name);
    return p ? std::stoull(p->text) : 0;
}

struct Window
{
    std::optional<double> slope; // bytes per second of free space
    bool reaches = false;        // history old enough
    double count = 0;
};

} // namespace

std::string PrometheusTrendQueryText(PrometheusTrendQuery query, const std::string &selector)
{
    switch (query) {
    case PrometheusTrendQuery::FastSlope:
        return over(selector, "deriv(F[6h])");
    case PrometheusTrendQuery::LongSlope:
        return over(selector, "deriv(F[14d])");
    case PrometheusTrendQuery::FastReach:
        return over(selector, "present_over_time(F[5h] offset 1h)");
    case PrometheusTrendQuery::LongReach:
        return over(selector, "present_over_time(F[13d] offset 1d)");
    case PrometheusTrendQuery::FastCount:
        return over(selector, "count_over_time(F[6h])");
    case PrometheusTrendQuery::LongCount:
        return over(selector, "count_over_time(F[14d])");
    case PrometheusTrendQuery::Since:
        return over(selector, "min_over_time(timestamp(F)[14d:15m])");
    }
    return {};
}

std::vector<DiskTrendValues>
BuildPrometheusTrends(const std::array<std::vector<PrometheusSample>, kPrometheusFamilies> &disks,
                      const std::array<std::vector<PrometheusSample>, kPrometheusTrendQueries> &trends)
{
    // Drive name (instance:mountpoint, instance:volume) -> what each query said.
    std::map<std::string, std::array<std::optional<double>, kPrometheusTrendQueries>> answers;
    for (std::size_t q = 0; q < kPrometheusTrendQueries; ++q)
        for (const PrometheusSample &s : trends[q]) {
            const std::string *instance = s.Label("instance");
            const std::string *path = s.Label("mountpoint");
            if (!path)
                path = s.Label("volume");
            if (!instance || !path || !std::isfinite(s.value))
                continue;
            answers[*instance + ":" + *path][q] = s.value;
        }

    std::vector<DiskTrendValues> result;
    for (const std::vector<MofProperty> &object : BuildPrometheusDisks(disks)) {
        DiskTrendValues v;
        const MofProperty *name = find(object, "Name");
        const MofProperty *system = find(object, "SystemName");
        if (!name)
            continue;
        v.name = name->text;
        v.systemName = system ? system->text : std::string();
        v.freeBytes = figure(object, "FreeSpace");
        v.sizeBytes = figure(object, "Size");
        const MofProperty *access = find(object, "Access");
        const bool readOnly = access && access->text == "1";
        const auto found = answers.find(v.name);
        if (found == answers.end() || readOnly) {
            result.push_back(std::move(v));
            continue;
        }
        const auto &a = found->second;
        const auto at = [&a](PrometheusTrendQuery q) { return a[static_cast<std::size_t>(q)]; };
        const Window fast{at(PrometheusTrendQuery::FastSlope), at(PrometheusTrendQuery::FastReach).has_value(),
                          at(PrometheusTrendQuery::FastCount).value_or(0)};
        const Window slow{at(PrometheusTrendQuery::LongSlope), at(PrometheusTrendQuery::LongReach).has_value(),
                          at(PrometheusTrendQuery::LongCount).value_or(0)};
        // The sooner of the fills the two windows see; the long view's rate
        // when neither fills (this machine's rule, history/Forecast.h).
        std::optional<double> bestFullIn;
        const Window *chosen = nullptr;
        for (const Window *w : {&fast, &slow}) {
            if (!w->reaches || !w->slope)
                continue;
            const double rate = -*w->slope;
            if (rate > 0) {
                const double fullIn = static_cast<double>(v.freeBytes) / rate;
                if (fullIn <= kMaxFullInSeconds && (!bestFullIn || fullIn < *bestFullIn)) {
                    bestFullIn = fullIn;
                    chosen = w;
                    continue;
                }
            }
            if (!bestFullIn && (!chosen || w == &slow))
                chosen = w;
        }
        if (chosen) {
            v.fillRatePerHour = static_cast<std::int64_t>(std::llround(-*chosen->slope * 3600));
            if (bestFullIn)
                v.fullInSeconds = static_cast<std::uint64_t>(std::llround(*bestFullIn));
            v.samples = static_cast<std::uint64_t>(std::max(0.0, chosen->count));
        }
        if (const auto since = at(PrometheusTrendQuery::Since); since && *since > 0)
            v.since = static_cast<std::int64_t>(*since);
        result.push_back(std::move(v));
    }
    return result;
}

} // namespace platform
