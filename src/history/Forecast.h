// SPDX-License-Identifier: MIT
#pragma once

// When will a drive be full: a robust slope of its free space over a window
// of its history.
//
// The free space of a drive in use is not a line: downloads and builds fill
// it and are deleted again, caches grow and are trimmed, one large download
// steps it down once. A forecast that follows every such move cries wolf. So:
//
// 1. The points of the window are put in buckets (5 minutes for the last 6
//    hours, an hour for the last 14 days) and each bucket keeps its least
//    free space: the most the drive held in it.
// 2. Of that, the upper envelope seen from now: at each bucket, the most
//    free space there was from then on. Space taken and given back later
//    (fill then delete) leaves the envelope flat; only space that stays
//    taken lowers it.
// 3. The slope of the envelope is the Theil-Sen estimate: the median of the
//    slopes between every two buckets. Up to half of the buckets can be
//    anything (a burst, a clock that jumped) without moving it far.
// 4. A fill is a trend only when it is spread over time and still going on:
//    when one bucket holds more than half of the envelope's fall in the
//    window, the fall is one event (a large download, a copied image), not a
//    rate; and each half of the window must have fallen by at least a
//    quarter of what the slope gives it, so a fill that has stopped, or has
//    only just begun, is not a trend either. Such a drive counts as stable.
//
// The result is never negative: a drive that is not filling, or that would
// take more than a year, is stable. Too little history gives no forecast at
// all: the window must reach back its minimum (1 hour, 24 hours) and hold
// points in at least half of the buckets of that minimum. A read-only file
// system gets no forecast.

#include <cstdint>
#include <vector>

namespace history {

struct TrendPoint
{
    std::int64_t time = 0; // seconds since the epoch
    std::uint64_t freeBytes = 0;
};

struct ForecastWindow
{
    std::int64_t span;       // how far back the window reaches
    std::int64_t minHistory; // how far back the history must reach
    std::int64_t bucket;     // the width of one bucket
};

// "Filling fast": the minute points of the last 6 hours.
inline constexpr ForecastWindow kFastWindow{6 * 3600, 3600, 300};
// The long view: the quarter-hour minimums of the last 14 days.
inline constexpr ForecastWindow kLongWindow{14 * 86400, 86400, 3600};

// Beyond this a drive counts as stable.
inline constexpr double kMaxFullInSeconds = 365.0 * 86400;

struct Forecast
{
    enum class State { Unknown, Stable, Filling };
    State state = State::Unknown;
    // Bytes per second, positive when filling, negative when space is being
    // freed; 0 for Unknown and for a fall that is not a trend (step 4).
    double fillRate = 0;
    // Seconds until no space is left; Filling only.
    double fullIn = 0;
    std::int64_t samples = 0; // points of the window
    std::int64_t since = 0;   // time of the window's oldest point
};

// points: in any order; those outside [now - span, now] are left out (a
// clock that was put back leaves points "in the future"). freeNow: the
// drive's free space at now.
Forecast ForecastFill(const std::vector<TrendPoint> &points, std::int64_t now, std::uint64_t freeNow,
                      const ForecastWindow &window, bool readOnly = false);

// The two windows together: the sooner of the fills they see; stable when
// neither sees one and at least one has enough history; Unknown otherwise.
Forecast CombineForecasts(const Forecast &fast, const Forecast &longView);

} // namespace history
