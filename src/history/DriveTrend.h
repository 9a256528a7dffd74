// SPDX-License-Identifier: MIT
#pragma once

// A drive's trend as the store's history tells it: the forecasts of both
// windows over its samples.

#include "history/Forecast.h"
#include "history/HistoryStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace history {

struct DriveTrend
{
    std::string key;
    std::string name;
    bool readOnly = false;
    std::int64_t lastSeen = 0;
    std::uint64_t freeBytes = 0; // the newest sample's
    std::uint64_t sizeBytes = 0;
    std::uint64_t files = 0; // 0: the file system does not count inodes
    std::uint64_t filesFree = 0;
    Forecast fast;
    Forecast longView;
    Forecast combined; // CombineForecasts(fast, longView)
};

// The trend of one volume at now.
DriveTrend TrendOf(const HistoryStore &store, const Volume &volume, std::int64_t now);

// The trends of the volumes seen since seenSince, in the store's order.
std::vector<DriveTrend> TrendsOf(const HistoryStore &store, std::int64_t now, std::int64_t seenSince);

} // namespace history
