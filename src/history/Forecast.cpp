// SPDX-License-Identifier: MIT
#include "history/Forecast.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace history {

namespace {

struct Bucket
{
    double time = 0;
    double free = 0;
};

double medianSlope(const std::vector<Bucket> &b)
{
    std::vector<double> slopes;
    slopes.reserve(b.size() * (b.size() - 1) / 2);
    for (std::size_t i = 0; i < b.size(); ++i)
        for (std::size_t j = i + 1; j < b.size(); ++j)
            slopes.push_back((b[j].free - b[i].free) / (b[j].time - b[i].time));
    if (slopes.empty())
        return 0;
    // The median; of an even count, the mean of the two middle slopes.
    const std::size_t mid = slopes.size() / 2;
    std::nth_element(slopes.begin(), slopes.begin() + static_cast<std::ptrdiff_t>(mid), slopes.end());
    double median = slopes[mid];
    if (slopes.size() % 2 == 0) {
        const double below = *std::max_element(slopes.begin(), slopes.begin() + static_cast<std::ptrdiff_t>(mid));
        median = (median + below) / 2;
    }
    return median;
}

} // namespace

Forecast ForecastFill(const std::vector<TrendPoint> &points, std::int64_t now, std::uint64_t freeNow,
                      const ForecastWindow &window, bool readOnly)
{
    Forecast f;
    if (readOnly)
        return f;
    const std::int64_t from = now - window.span;
    // Bucket start -> least free space in it.
    std::map<std::int64_t, std::uint64_t> buckets;
    std::int64_t oldest = now;
    for (const TrendPoint &p : points) {
        if (p.time < from || p.time > now)
            continue;
        ++f.samples;
        oldest = std::min(oldest, p.time);
        const std::int64_t at = from + (p.time - from) / window.bucket * window.bucket;
        auto [it, added] = buckets.emplace(at, p.freeBytes);
        if (!added)
            it->second = std::min(it->second, p.freeBytes);
    }
    f.since = f.samples ? oldest : 0;
    const std::int64_t needed = window.minHistory / window.bucket / 2;
    if (f.samples == 0 || now - oldest < window.minHistory || static_cast<std::int64_t>(buckets.size()) < needed)
        return f;

    std::vector<Bucket> b;
    b.reserve(buckets.size() + 1);
    for (const auto &[at, free] : buckets)
        b.push_back(Bucket{static_cast<double>(at) + window.bucket / 2.0, static_cast<double>(free)});
    if (b.back().time < static_cast<double>(now))
        b.push_back(Bucket{static_cast<double>(now), static_cast<double>(freeNow)});
    else
        b.back().free = std::min(b.back().free, static_cast<double>(freeNow));
    f.state = Forecast::State::Stable;
    // Space being freed shows as a negative rate, from the buckets as they are.
    if (const double raw = medianSlope(b); raw > 0 && std::isfinite(raw))
        f.fillRate = -raw;

    // The upper envelope from now backwards, now's own figure included.
    for (std::size_t i = b.size() - 1; i-- > 0;)
        b[i].free = std::max(b[i].free, b[i + 1].free);
    const double slope = medianSlope(b);
    if (!(slope < 0) || !std::isfinite(slope))
        return f;
    f.fillRate = -slope;

    // Spread: no single step may hold more than half of the fall.
    const double fall = b.front().free - b.back().free;
    double largest = 0;
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        largest = std::max(largest, b[i].free - b[i + 1].free);
    // Persistence: the older and the newer half of the window must each
    // have fallen by a quarter of what the rate gives them at least, so a
    // fill that stopped (a download that finished) or has only just begun
    // (the first half of a fill that will be deleted) is not a trend.
    const double mid = (b.front().time + b.back().time) / 2;
    double atMid = b.front().free;
    for (const Bucket &x : b)
        if (x.time <= mid)
            atMid = x.free;
    const double half = f.fillRate * (b.back().time - b.front().time) / 2;
    const bool persists = b.front().free - atMid >= half / 4 && atMid - b.back().free >= half / 4;
    if (fall <= 0 || largest > fall / 2 || !persists) {
        f.fillRate = 0;
        return f;
    }
    const double fullIn = static_cast<double>(freeNow) / f.fillRate;
    if (fullIn > kMaxFullInSeconds)
        return f;
    f.state = Forecast::State::Filling;
    f.fullIn = fullIn;
    return f;
}

Forecast CombineForecasts(const Forecast &fast, const Forecast &longView)
{
    using State = Forecast::State;
    if (fast.state == State::Filling && longView.state == State::Filling)
        return fast.fullIn <= longView.fullIn ? fast : longView;
    if (fast.state == State::Filling)
        return fast;
    if (longView.state == State::Filling)
        return longView;
    if (longView.state == State::Stable)
        return longView;
    return fast;
}

} // namespace history
