// SPDX-License-Identifier: MIT
#pragma once

// What the history chart draws, worked out from a drive's history rows
// without Qt: the used space over the chosen span, thinned to a few hundred
// points, and the forecast line from now to where the drive is full.

#include "history/Forecast.h"
#include "history/HistoryStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace analysis {

enum class ChartSpan { Day, Month, Quarter }; // 24 hours, 30 days, 90 days

std::int64_t SpanSeconds(ChartSpan span);

// Points drawn at most for the used space: one for each column of a wide
// chart; a column keeps the most that was used in it.
inline constexpr std::size_t kMaxChartPoints = 720;

struct ChartPoint
{
    std::int64_t time = 0; // seconds since the epoch
    std::uint64_t used = 0;
};

// A drive's history as read from the store, for every span: minute rows
// (48 hours) and quarter-hour rows (90 days).
struct ChartHistory
{
    std::vector<history::Point> minutes;
    std::vector<history::Point> quarters;
    std::uint64_t sizeBytes = 0;
    history::Forecast forecast; // the drive's combined forecast
};

struct ChartData
{
    // The time axis: from now - span to now, reaching further when the
    // forecast line does (at most one span more).
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int64_t now = 0;
    std::uint64_t sizeBytes = 0;  // the full line
    std::vector<ChartPoint> used; // in time order
    // From now to where the drive is full, or to the right end of the axis
    // at what the drive would hold then, when the fill reaches past it.
    std::optional<ChartPoint> forecastFrom;
    std::optional<ChartPoint> forecastTo;
    bool forecastReachesFull = false;
};

// The chart of span at now. The 24 hours come from the minute rows, the
// longer spans from the quarter-hour rows (the minute rows where no quarter
// row is). Rows outside the span, and free space above the size (a damaged
// row), are left out / taken as an empty drive. The forecast line only for
// a drive that is filling, with at least one row.
ChartData ChartDataOf(const ChartHistory &history, std::int64_t now, ChartSpan span);

// Reads what the chart needs of the drive whose identity is key (DriveKey)
// from the history at path, read only. Waits for the file: call it off the
// window's thread. Throws history::HistoryError when the file cannot be
// read; a drive not in it gives an empty history.
ChartHistory ReadChartHistory(const std::string &path, const std::string &key, std::int64_t now);

} // namespace analysis
