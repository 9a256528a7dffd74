// SPDX-License-Identifier: MIT
#include "history/DiskTrendService.h"

#include "history/HistoryRecorder.h"
#include "platform/ThisMachine.h"
#include "wbem/WbemTextObjects.h"

#include <chrono>
#include <cmath>

namespace history {

namespace {

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class TrendServices : public platform::WbemServices
{
public:
    TrendServices(std::unique_ptr<platform::WbemServices> inner, std::string path)
        : m_inner(std::move(inner)), m_path(std::move(path))
    {}

    std::unique_ptr<platform::WbemObjectSet> ExecQuery(const std::string &wql) override
    {
        if (!platform::IsDiskTrendQuery(wql))
            return m_inner->ExecQuery(wql);
        return std::make_unique<platform::TextWbemObjectSet>(QueryDiskTrends(wql, m_path, secondsNow()));
    }

private:
    std::unique_ptr<platform::WbemServices> m_inner;
    std::string m_path;
};

class TrendLocator : public platform::WbemLocator
{
public:
    TrendLocator(std::unique_ptr<platform::WbemLocator> inner, std::string path)
        : m_inner(std::move(inner)), m_path(std::move(path))
    {}

    std::unique_ptr<platform::WbemServices> ConnectServer(const std::string &host,
                                                          const std::string &nameSpace) override
    {
        // The wrapped locator checks host and namespace for this machine.
        std::unique_ptr<platform::WbemServices> inner = m_inner->ConnectServer(host, nameSpace);
        // Another machine, or a server (a Prometheus address), answers for itself.
        if (!platform::IsThisMachine(host))
            return inner;
        return std::make_unique<TrendServices>(std::move(inner), m_path);
    }

private:
    std::unique_ptr<platform::WbemLocator> m_inner;
    std::string m_path;
};

} // namespace

platform::DiskTrendValues DiskTrendValuesOf(const DriveTrend &trend)
{
    platform::DiskTrendValues v;
    v.name = trend.name;
    v.freeBytes = trend.freeBytes;
    v.sizeBytes = trend.sizeBytes;
    const Forecast &f = trend.combined;
    if (f.state != Forecast::State::Unknown)
        v.fillRatePerHour = static_cast<std::int64_t>(std::llround(f.fillRate * 3600));
    if (f.state == Forecast::State::Filling)
        v.fullInSeconds = static_cast<std::uint64_t>(std::llround(f.fullIn));
    v.samples = static_cast<std::uint64_t>(f.samples);
    v.since = f.since;
    return v;
}

std::vector<std::string> QueryDiskTrends(const std::string &wql, const std::string &path, std::int64_t now)
{
    const platform::WqlQuery query = platform::ParseDiskTrendQuery(wql);
    const std::string file = path.empty() ? HistoryRecorder::DefaultPath() : path;
    std::vector<platform::DiskTrendValues> objects;
    try {
        const auto store = HistoryStore::Open(file, HistoryStore::Mode::ReadOnly);
        for (const DriveTrend &t : TrendsOf(*store, now, now - kTrendListedSeconds))
            objects.push_back(DiskTrendValuesOf(t));
    } catch (const HistoryError &) {
        // No history (yet), or none this program can read: no drives.
    }
    return platform::RenderDiskTrends(query, objects);
}

std::unique_ptr<platform::WbemLocator> WithDiskTrends(std::unique_ptr<platform::WbemLocator> inner,
                                                      std::string path)
{
    return std::make_unique<TrendLocator>(std::move(inner), std::move(path));
}

} // namespace history
