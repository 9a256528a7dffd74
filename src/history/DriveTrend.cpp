// SPDX-License-Identifier: MIT
#include "history/DriveTrend.h"

namespace history {

namespace {

std::vector<TrendPoint> trendPoints(const std::vector<Point> &points)
{
    std::vector<TrendPoint> result;
    result.reserve(points.size());
    for (const Point &p : points)
        result.push_back(TrendPoint{p.time, p.freeBytes});
    return result;
}

} // namespace

DriveTrend TrendOf(const HistoryStore &store, const Volume &volume, std::int64_t now)
{
    DriveTrend t;
    t.key = volume.key;
    t.name = volume.name;
    t.readOnly = volume.readOnly;
    t.lastSeen = volume.lastSeen;
    t.sizeBytes = volume.sizeBytes;
    t.files = volume.files;
    const std::vector<Point> minutes = store.Minutes(volume.id, now - kFastWindow.span, now);
    const std::vector<Point> quarters = store.Quarters(volume.id, now - kLongWindow.span, now);
    // The newest figure: the last minute row, or the last quarter's least.
    const Point *newest = !minutes.empty() ? &minutes.back() : !quarters.empty() ? &quarters.back() : nullptr;
    if (!newest)
        return t;
    // A damaged row may claim more free space than the drive has.
    t.freeBytes = std::min(newest->freeBytes, t.sizeBytes);
    // Free inodes: the least of the newest quarter.
    t.filesFree = t.files && !quarters.empty() ? std::min(quarters.back().filesFree, t.files) : 0;
    t.fast = ForecastFill(trendPoints(minutes), now, t.freeBytes, kFastWindow, t.readOnly);
    t.longView = ForecastFill(trendPoints(quarters), now, t.freeBytes, kLongWindow, t.readOnly);
    t.combined = CombineForecasts(t.fast, t.longView);
    return t;
}

std::vector<DriveTrend> TrendsOf(const HistoryStore &store, std::int64_t now, std::int64_t seenSince)
{
    std::vector<DriveTrend> result;
    for (const Volume &v : store.Volumes())
        if (v.lastSeen >= seenSince)
            result.push_back(TrendOf(store, v, now));
    return result;
}

} // namespace history
