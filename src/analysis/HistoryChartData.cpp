// SPDX-License-Identifier: MIT
#include "analysis/HistoryChartData.h"

#include "history/DriveTrend.h"

#include <algorithm>
#include <cmath>

namespace analysis {

std::int64_t SpanSeconds(ChartSpan span)
{
    switch (span) {
    case ChartSpan::Day:
        return 86400;
    case ChartSpan::Month:
        return 30 * 86400;
    case ChartSpan::Quarter:
        return 90 * 86400;
    }
    return 86400;
}

ChartData ChartDataOf(const ChartHistory &history, std::int64_t now, ChartSpan span)
{
    ChartData data;
    const std::int64_t seconds = SpanSeconds(span);
    data.now = now;
    data.from = now - seconds;
    data.to = now;
    data.sizeBytes = history.sizeBytes;
    if (history.sizeBytes == 0)
        return data;

    // The quarter rows hold the least free space of their quarter: the
    // longer spans read them, and the minute rows fill in the newest
    // quarters the store has not closed yet.
    std::vector<history::Point> rows;
    if (span == ChartSpan::Day) {
        rows = history.minutes;
    } else {
        rows = history.quarters;
        // The newest quarter up to now: a row from a clock that ran ahead
        // must not hide the minutes.
        std::int64_t lastQuarter = data.from - 900;
        for (const history::Point &p : rows)
            if (p.time <= now)
                lastQuarter = std::max(lastQuarter, p.time);
        for (const history::Point &p : history.minutes)
            if (p.time >= lastQuarter + 900)
                rows.push_back(p);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const history::Point &a, const history::Point &b) { return a.time < b.time; });

    // One point per column of the span: the most used within it, at the
    // time of its first row.
    const std::int64_t column = std::max<std::int64_t>(1, seconds / static_cast<std::int64_t>(kMaxChartPoints));
    std::int64_t current = 0;
    for (const history::Point &p : rows) {
        if (p.time < data.from || p.time > now)
            continue;
        const std::uint64_t used = history.sizeBytes - std::min(p.freeBytes, history.sizeBytes);
        const std::int64_t c = (p.time - data.from) / column;
        if (!data.used.empty() && c == current) {
            data.used.back().used = std::max(data.used.back().used, used);
            continue;
        }
        current = c;
        data.used.push_back(ChartPoint{p.time, used});
    }

    const history::Forecast &f = history.forecast;
    if (data.used.empty() || f.state != history::Forecast::State::Filling || !(f.fillRate > 0)
        || !std::isfinite(f.fullIn) || f.fullIn < 0)
        return data;
    // From the drive as it is now (the newest row), along the fill rate.
    const std::uint64_t usedNow = data.used.back().used;
    const double toFull = static_cast<double>(history.sizeBytes - usedNow) / f.fillRate;
    data.forecastFrom = ChartPoint{now, usedNow};
    if (toFull <= static_cast<double>(seconds)) {
        const std::int64_t full = now + static_cast<std::int64_t>(std::ceil(toFull));
        data.forecastTo = ChartPoint{full, history.sizeBytes};
        data.forecastReachesFull = true;
        data.to = std::max(now + 1, full);
    } else {
        data.to = now + seconds;
        const double reached = static_cast<double>(usedNow) + f.fillRate * static_cast<double>(seconds);
        data.forecastTo = ChartPoint{
            data.to, static_cast<std::uint64_t>(std::min(reached, static_cast<double>(history.sizeBytes)))};
    }
    return data;
}

ChartHistory ReadChartHistory(const std::string &path, const std::string &key, std::int64_t now)
{
    ChartHistory h;
    const auto store = history::HistoryStore::Open(path, history::HistoryStore::Mode::ReadOnly);
    for (const history::Volume &v : store->Volumes()) {
        if (v.key != key)
            continue;
        h.sizeBytes = v.sizeBytes;
        h.minutes = store->Minutes(v.id, now - 86400, now);
        h.quarters = store->Quarters(v.id, now - SpanSeconds(ChartSpan::Quarter), now);
        h.forecast = history::TrendOf(*store, v, now).combined;
        break;
    }
    return h;
}

} // namespace analysis
