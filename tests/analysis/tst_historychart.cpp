// SPDX-License-Identifier: MIT
// The history chart: what it draws from a drive's history rows (a table of
// traces), and the widget itself painted offscreen into an image.
#include "analysis/HistoryChart.h"
#include "localization/LangManager.h"

#include <QApplication>
#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace analysis;

namespace {

constexpr std::int64_t Now = 1'800'000'000;
constexpr std::uint64_t GB = 1'000'000'000;

// Free space falling by rate bytes an hour from free at now, one row every
// step seconds over the hours before now.
std::vector<history::Point> trace(std::int64_t hours, std::int64_t step, std::uint64_t free, double rate)
{
    std::vector<history::Point> rows;
    for (std::int64_t t = Now - hours * 3600; t <= Now; t += step)
        rows.push_back({t, static_cast<std::uint64_t>(static_cast<double>(free) + rate * (Now - t) / 3600.0), 0});
    return rows;
}

history::Forecast filling(double bytesPerHour, std::uint64_t free)
{
    history::Forecast f;
    f.state = history::Forecast::State::Filling;
    f.fillRate = bytesPerHour / 3600;
    f.fullIn = static_cast<double>(free) / f.fillRate;
    return f;
}

history::Forecast stable()
{
    history::Forecast f;
    f.state = history::Forecast::State::Stable;
    return f;
}

QApplication &app()
{
    static int argc = 1;
    static char name[] = "tst_historychart";
    static char *argv[] = {name, nullptr};
    static QApplication *a = new QApplication(argc, argv);
    return *a;
}

} // namespace

TEST(HistoryChartData, TracesToPointsAndTheForecastLine)
{
    struct Case
    {
        const char *what;
        ChartHistory history;
        ChartSpan span;
        std::size_t points;   // used-space points drawn
        bool rising;          // the last point uses more than the first
        bool forecast;        // a forecast line is drawn
        bool reachesFull;     // ... and it ends on the full line
        std::int64_t axisEnd; // the time axis's end; 0: now
    } cases[] = {
        {"no rows", {{}, {}, 100 * GB, {}}, ChartSpan::Day, 0, false, false, false, 0},
        {"no size", {trace(24, 60, 50 * GB, 0), {}, 0, stable()}, ChartSpan::Day, 0, false, false, false, 0},
        // 2 GB an hour with 20 GB left: full in 10 hours, inside the span.
        {"filling fast",
         {trace(24, 60, 20 * GB, 2e9), {}, 100 * GB, filling(2e9, 20 * GB)},
         ChartSpan::Day,
         720,
         true,
         true,
         true,
         Now + 10 * 3600},
        // 100 MB an hour with 20 GB left: 200 hours, past one day more.
        {"filling slowly",
         {trace(24, 60, 20 * GB, 1e8), {}, 100 * GB, filling(1e8, 20 * GB)},
         ChartSpan::Day,
         720,
         true,
         true,
         false,
         Now + 86400},
        {"flat", {trace(24, 60, 50 * GB, 0), {}, 100 * GB, stable()}, ChartSpan::Day, 720, false, false, false, 0},
        // 90 days of quarters on the 30 days: the last 30 days, thinned.
        {"a month of quarters",
         {{}, trace(90 * 24, 900, 20 * GB, 1e7), 100 * GB, stable()},
         ChartSpan::Month,
         720,
         true,
         false,
         false,
         0},
        // 5 MB an hour with 20 GB left: 166 days, past the 90.
        {"a quarter of quarters",
         {{}, trace(90 * 24, 900, 20 * GB, 5e6), 100 * GB, filling(5e6, 20 * GB)},
         ChartSpan::Quarter,
         720,
         true,
         true,
         false,
         Now + 90 * 86400},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ChartData d = ChartDataOf(c.history, Now, c.span);
        EXPECT_EQ(d.from, Now - SpanSeconds(c.span));
        EXPECT_EQ(d.to, c.axisEnd ? c.axisEnd : Now);
        // One point a column (the first and the last are partial).
        EXPECT_LE(d.used.size(), kMaxChartPoints + 1);
        EXPECT_GE(d.used.size() + 1, c.points);
        for (std::size_t i = 1; i < d.used.size(); ++i)
            ASSERT_LT(d.used[i - 1].time, d.used[i].time);
        if (!d.used.empty()) {
            EXPECT_GE(d.used.front().time, d.from);
            EXPECT_EQ(d.used.back().time, Now);
            EXPECT_EQ(d.used.back().used > d.used.front().used, c.rising);
        }
        ASSERT_EQ(d.forecastTo.has_value(), c.forecast);
        EXPECT_EQ(d.forecastReachesFull, c.reachesFull);
        if (c.forecast) {
            EXPECT_EQ(d.forecastFrom->time, Now);
            EXPECT_EQ(d.forecastFrom->used, d.used.back().used);
            EXPECT_EQ(d.forecastTo->time, d.to);
            if (c.reachesFull)
                EXPECT_EQ(d.forecastTo->used, d.sizeBytes);
            else
                EXPECT_LT(d.forecastTo->used, d.sizeBytes);
        }
    }
}

// What a store may hold that a drive cannot: rows outside the span (a clock
// put right) and free space above the size. A column keeps the most used in
// it, so a peak of an hour shows on 90 days; the newest quarter the store
// has not closed yet comes from the minute rows.
TEST(HistoryChartData, RowsOutsideTheSpanPeaksAndTheNewestMinutes)
{
    ChartHistory h;
    h.sizeBytes = 100 * GB;
    h.quarters = trace(90 * 24, 900, 50 * GB, 0);
    h.quarters.push_back({Now - 91 * 86400, 1 * GB, 0}); // before the span
    h.quarters.push_back({Now + 3600, 1 * GB, 0});       // after now
    for (history::Point &p : h.quarters)
        if (p.time == Now - 45 * 86400)
            p.freeBytes = 5 * GB; // an hour nearly full
    std::sort(h.quarters.begin(), h.quarters.end(),
              [](const history::Point &a, const history::Point &b) { return a.time < b.time; });
    h.quarters.erase(h.quarters.end() - 2, h.quarters.end() - 1); // the one at now: not closed yet
    h.minutes = {{Now - 600, 200 * GB, 0}, {Now, 40 * GB, 0}};

    const ChartData d = ChartDataOf(h, Now, ChartSpan::Quarter);
    std::uint64_t most = 0;
    for (const ChartPoint &p : d.used) {
        EXPECT_GE(p.time, d.from);
        EXPECT_LE(p.time, Now);
        most = std::max(most, p.used);
    }
    EXPECT_EQ(most, 95 * GB) << "the peak is kept";
    ASSERT_FALSE(d.used.empty());
    EXPECT_EQ(d.used.back().time, Now);
    EXPECT_EQ(d.used.back().used, 60 * GB);
    EXPECT_TRUE(d.used.size() <= kMaxChartPoints + 1);

    const ChartData day = ChartDataOf(h, Now, ChartSpan::Day);
    ASSERT_EQ(day.used.size(), 2u);
    EXPECT_EQ(day.used[0].used, 0u) << "more free than the size is an empty drive";
}

namespace {

// The topmost pixel of column x near colour, or -1.
int topmost(const QImage &image, int x, const QColor &colour, int top, int bottom)
{
    for (int y = top; y <= bottom; ++y) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                + std::abs(c.blue() - colour.blue())
            < 60)
            return y;
    }
    return -1;
}

QImage paint(THistoryChart &chart)
{
    chart.resize(480, 260);
    QImage image(chart.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    chart.render(&image);
    return image;
}

} // namespace

TEST(HistoryChart, AFillingTraceRisesAndItsForecastReachesTheFullLine)
{
    app();
    THistoryChart chart;
    chart.SetHistory({trace(24, 60, 20 * GB, 2e9), {}, 100 * GB, filling(2e9, 20 * GB)}, Now);
    const QImage image = paint(chart);
    const QRectF plot = chart.PlotRect();
    const QColor line = chart.palette().color(QPalette::Highlight);
    const ChartData &d = chart.Data();
    ASSERT_TRUE(d.forecastReachesFull);

    // The used line: high on the right, low on the left, where the data say.
    const QPointF first = chart.ToPixel(d.used.front().time, d.used.front().used);
    const QPointF last = chart.ToPixel(d.used.back().time, d.used.back().used);
    const int yFirst = topmost(image, int(first.x()) + 2, line, int(plot.top()), int(plot.bottom()));
    const int yLast = topmost(image, int(last.x()) - 2, line, int(plot.top()), int(plot.bottom()));
    ASSERT_GE(yFirst, 0);
    ASSERT_GE(yLast, 0);
    EXPECT_LT(yLast, yFirst - plot.height() / 4) << "the line goes up";
    EXPECT_NEAR(yFirst, first.y(), 3);
    EXPECT_NEAR(yLast, last.y(), 3);

    // The forecast: a red dashed line from now up to the full line, which
    // it meets on the plot's right end.
    const QColor red(200, 40, 40);
    const QPointF end = chart.ToPixel(d.forecastTo->time, d.forecastTo->used);
    EXPECT_NEAR(end.x(), plot.right(), 1);
    EXPECT_NEAR(end.y(), chart.ToPixel(Now, 100 * GB).y(), 0.5);
    int reddest = -1;
    for (int x = int(end.x()) - 6; x < int(end.x()) - 1; ++x)
        reddest = std::max(reddest, topmost(image, x, red, int(plot.top()), int(plot.bottom())));
    ASSERT_GE(reddest, 0) << "no forecast drawn at the full line";
    EXPECT_NEAR(reddest, end.y(), 3);
    // Half way along it, the line is half way up from now's use to full.
    const QPointF from = chart.ToPixel(d.forecastFrom->time, d.forecastFrom->used);
    const QPointF middle = (from + end) / 2;
    int y = -1;
    for (int x = int(middle.x()) - 3; x <= int(middle.x()) + 3 && y < 0; ++x)
        y = topmost(image, x, red, int(middle.y()) - 6, int(middle.y()) + 6);
    EXPECT_GE(y, 0) << "the forecast line is not drawn between now and full";
}

TEST(HistoryChart, NoHistoryShowsAClearTextNotABlank)
{
    app();
    THistoryChart chart;
    const QImage empty = paint(chart);
    // Whatever differs from the background in the plot area is the text.
    const QColor background = chart.palette().color(QPalette::Window);
    const QRect plot = chart.PlotRect().toRect();
    int inked = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x)
            inked += empty.pixelColor(x, y) != background;
    EXPECT_GT(inked, 50) << "the plot area is blank";
    EXPECT_FALSE(THistoryChart::EmptyText().isEmpty());
    EXPECT_TRUE(chart.Data().used.empty());
}

TEST(HistoryChart, SelectorAndTextsFollowTheLanguage)
{
    app();
    THistoryChart chart;
    chart.SetHistory({{}, trace(90 * 24, 900, 20 * GB, 1e7), 100 * GB, stable()}, Now);
    const auto buttons = chart.findChildren<QToolButton *>();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("24 horas"));
    EXPECT_EQ(buttons[2]->text(), QStringLiteral("90 días"));
    EXPECT_TRUE(chart.Data().used.empty()) << "24 hours of no minute rows";

    buttons[2]->click();
    EXPECT_EQ(chart.Span(), ChartSpan::Quarter);
    EXPECT_EQ(chart.Data().from, Now - 90 * 86400);
    EXPECT_FALSE(chart.Data().used.empty());
    buttons[1]->click();
    EXPECT_EQ(chart.Data().from, Now - 30 * 86400);

    LangManager &manager = LangManager::Instance();
    ASSERT_TRUE(manager.AddLanguageFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/English.lng")));
    manager.SwitchLanguage(1033);
    chart.Retranslate();
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("24 hours"));
    EXPECT_EQ(THistoryChart::EmptyText(), QStringLiteral("No history of this drive yet."));
    manager.SwitchLanguage(3082);
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&chart, &change);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("24 horas"));
}
