// SPDX-License-Identifier: MIT
// The forecast on traces written down as formulas of the free space over
// time, sampled once a minute into a history in memory as the widget's
// refreshes would, and read back through the store.
#include "history/DriveTrend.h"
#include "history/FillingNotice.h"
#include "history/Forecast.h"
#include "history/HistoryStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

using namespace history;

namespace {

constexpr std::int64_t T0 = 1'800'000'000; // 2027-01-15 08:00:00 UTC
constexpr double GB = 1e9;
constexpr double H = 3600;
constexpr double D = 86400;

// Free bytes at a time (seconds since T0).
using Trace = std::function<double(double)>;

struct Drive
{
    std::unique_ptr<HistoryStore> store = HistoryStore::Open(":memory:");
    std::uint64_t size = static_cast<std::uint64_t>(100 * GB);
    bool readOnly = false;

    void sample(std::int64_t wall, double free)
    {
        DriveSample d;
        d.key = "uuid:0f0e";
        d.name = "/data";
        d.fileSystem = "ext4";
        d.readOnly = readOnly;
        d.sizeBytes = size;
        d.freeBytes = static_cast<std::uint64_t>(std::max(0.0, free));
        store->Record(wall, {d});
    }
    DriveTrend trend(std::int64_t now) const { return TrendOf(*store, store->Volumes().at(0), now); }
};

// Samples the trace once a minute over [from, to) seconds after T0.
void feed(Drive &run, const Trace &trace, double from, double to)
{
    for (double s = from; s < to; s += 60)
        run.sample(T0 + static_cast<std::int64_t>(s), trace(s));
}

// Every minute from `from` to `to`, what the notices would say.
std::vector<FillingNoticeWatch::Notice> noticesAlong(Drive &run, const Trace &trace, double from, double to)
{
    FillingNoticeWatch watch;
    std::vector<FillingNoticeWatch::Notice> told;
    for (double s = from; s < to; s += 60) {
        const std::int64_t now = T0 + static_cast<std::int64_t>(s);
        run.sample(now, trace(s));
        const DriveTrend t = run.trend(now);
        for (auto &n : watch.Update(now, {{t.key, FillingLevelOf(t.fast, t.freeBytes, t.sizeBytes)}}))
            told.push_back(n);
    }
    return told;
}

double sawtooth(double s, double period, double fillTime, double amount)
{
    const double phase = std::fmod(s, period);
    return phase < fillTime ? amount * phase / fillTime : 0;
}

} // namespace

struct LinearCase
{
    const char *what;
    double free0, ratePerHour; // bytes, bytes per hour
    double hours;              // of history before now
};

class LinearFill : public ::testing::TestWithParam<LinearCase>
{};

TEST_P(LinearFill, ForecastWithinTwentyPercentOfTheTrueTime)
{
    const LinearCase c = GetParam();
    Drive run;
    const Trace trace = [&](double s) { return c.free0 - c.ratePerHour * s / H; };
    const double end = c.hours * H;
    feed(run, trace, 0, end);
    const std::int64_t now = T0 + static_cast<std::int64_t>(end - 60);
    const DriveTrend t = run.trend(now);
    const double trueFullIn = trace(end - 60) / c.ratePerHour * H;
    ASSERT_EQ(t.combined.state, Forecast::State::Filling);
    EXPECT_NEAR(t.combined.fullIn, trueFullIn, trueFullIn * 0.2);
    EXPECT_NEAR(t.combined.fillRate * H, c.ratePerHour, c.ratePerHour * 0.2);
}

INSTANTIATE_TEST_SUITE_P(Traces, LinearFill,
                         ::testing::Values(LinearCase{"fast, six hours", 40 * GB, 2 * GB, 6},
                                           LinearCase{"fast, one hour and a bit", 30 * GB, 3 * GB, 1.2},
                                           LinearCase{"slow, three days", 60 * GB, 0.25 * GB, 72},
                                           LinearCase{"slow, two weeks", 80 * GB, 0.1 * GB, 14 * 24}));

TEST(Forecast, TooLittleHistoryGivesNothing)
{
    Drive run;
    feed(
        run, [](double s) { return 40 * GB - 2 * GB * s / H; }, 0, 50 * 60);
    const DriveTrend t = run.trend(T0 + 50 * 60);
    EXPECT_EQ(t.fast.state, Forecast::State::Unknown);
    EXPECT_EQ(t.longView.state, Forecast::State::Unknown);
    EXPECT_EQ(t.combined.state, Forecast::State::Unknown);
}

TEST(Forecast, FlatAndFallingUsageAreStable)
{
    struct Case
    {
        const char *what;
        Trace trace;
    } cases[] = {
        {"flat with a little noise", [](double s) { return 50 * GB + 1e6 * std::sin(s / 97); }},
        {"space freed steadily", [](double s) { return 20 * GB + 1 * GB * s / H; }},
        {"a year's worth of a slow fill", [](double s) { return 50 * GB - 10 * s / H; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Drive run;
        feed(run, c.trace, 0, 30 * H);
        const DriveTrend t = run.trend(T0 + 30 * H - 60);
        EXPECT_EQ(t.fast.state, Forecast::State::Stable);
        EXPECT_EQ(t.longView.state, Forecast::State::Stable);
        EXPECT_EQ(t.combined.state, Forecast::State::Stable);
        EXPECT_GE(t.combined.fullIn, 0);
    }
}

TEST(Forecast, FreedSpaceHasANegativeRate)
{
    Drive run;
    feed(
        run, [](double s) { return 20 * GB + 1 * GB * s / H; }, 0, 3 * H);
    const DriveTrend t = run.trend(T0 + 3 * H - 60);
    EXPECT_EQ(t.fast.state, Forecast::State::Stable);
    EXPECT_LT(t.fast.fillRate, 0);
}

TEST(Forecast, FillThenDeleteNeverTellsAnyone)
{
    // 30 GB free of 100: every fill of the pattern would, taken alone, fill
    // the drive within a few hours.
    struct Case
    {
        const char *what;
        Trace trace;
    } cases[] = {
        {"builds: 6 GB in 40 minutes, deleted, every hour",
         [](double s) { return 30 * GB - sawtooth(s, H, 40 * 60, 6 * GB); }},
        {"downloads: 12 GB in 20 minutes, kept 30, deleted, every 90 minutes",
         [](double s) {
             const double phase = std::fmod(s, 1.5 * H);
             return 30 * GB - (phase < 50 * 60 ? 12 * GB * std::min(1.0, phase / (20 * 60)) : 0);
         }},
        {"a cache trimmed back every 2 hours",
         [](double s) { return 25 * GB - sawtooth(s, 2 * H, 110 * 60, 8 * GB); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // The history already shows the pattern: the first fill of a fresh
        // history looks like any steady fill, and is one until it is undone.
        Drive run;
        feed(run, c.trace, 0, 6 * H);
        EXPECT_TRUE(noticesAlong(run, c.trace, 6 * H, 24 * H).empty());
    }
}

TEST(Forecast, OneLargeDownloadIsAStepNotATrend)
{
    // 40 GB free, a 25 GB download at hour 3 that stays: afterwards 15 % free.
    // It takes 5 minutes, or 45 on a slow line.
    for (double minutes : {5.0, 45.0})
        for (double at : {3.0, 4.5, 6.0, 8.0}) {
            SCOPED_TRACE(std::to_string(minutes) + " minutes at hour " + std::to_string(at));
            Drive run;
            const Trace trace = [at, minutes](double s) {
                const double d = (s - at * H) / (minutes * 60);
                return 40 * GB - 25 * GB * std::clamp(d, 0.0, 1.0);
            };
            EXPECT_TRUE(noticesAlong(run, trace, 0, 12 * H).empty());
            const DriveTrend t = run.trend(T0 + 12 * H - 60);
            EXPECT_NE(t.combined.state, Forecast::State::Filling);
        }
}

TEST(Forecast, AGapOfDaysKeepsTheLongViewAndWaitsForTheFastOne)
{
    // 1 GB a day for 5 days, the machine off for 3 days, 2 more days.
    Drive run;
    const Trace trace = [](double s) { return 60 * GB - 1 * GB * s / D; };
    feed(run, trace, 0, 5 * D);
    feed(run, trace, 8 * D, 10 * D);
    const DriveTrend t = run.trend(T0 + 10 * D - 60);
    ASSERT_EQ(t.longView.state, Forecast::State::Filling);
    const double trueFullIn = trace(10 * D) / (1 * GB) * D;
    EXPECT_NEAR(t.longView.fullIn, trueFullIn, trueFullIn * 0.2);

    // Just after the gap the last 6 hours hold 20 minutes: no fast view.
    Drive resumed;
    feed(resumed, trace, 0, 5 * D);
    feed(resumed, trace, 8 * D, 8 * D + 20 * 60);
    EXPECT_EQ(resumed.trend(T0 + 8 * D + 20 * 60).fast.state, Forecast::State::Unknown);
}

TEST(Forecast, AClockPutRightDoesNotMakeItAbsurd)
{
    // 2 GB an hour for 8 hours of real time; at 4 hours the wall clock is
    // put back by an hour (or forward by two), and samples carry wall time.
    for (double shift : {-1.0, 2.0}) {
        SCOPED_TRACE(shift);
        Drive run;
        const Trace trace = [](double s) { return 40 * GB - 2 * GB * s / H; };
        std::int64_t wall = 0;
        for (double s = 0; s < 8 * H; s += 60) {
            wall = T0 + static_cast<std::int64_t>(s + (s >= 4 * H ? shift * H : 0));
            run.sample(wall, trace(s));
        }
        const DriveTrend t = run.trend(wall);
        ASSERT_EQ(t.combined.state, Forecast::State::Filling);
        const double trueFullIn = trace(8 * H - 60) / (2 * GB) * H;
        EXPECT_GT(t.combined.fullIn, 0);
        EXPECT_NEAR(t.combined.fullIn, trueFullIn, trueFullIn * 0.2);
    }
}

TEST(Forecast, ReadOnlyFileSystemsGetNone)
{
    Drive run;
    run.readOnly = true;
    feed(
        run, [](double s) { return 40 * GB - 2 * GB * s / H; }, 0, 30 * H);
    const DriveTrend t = run.trend(T0 + 30 * H - 60);
    EXPECT_EQ(t.combined.state, Forecast::State::Unknown);
}

TEST(Forecast, AFullDriveIsFullNowNeverBefore)
{
    Drive run;
    feed(
        run, [](double s) { return 4 * GB - 2 * GB * s / H; }, 0, 3 * H);
    const DriveTrend t = run.trend(T0 + 3 * H - 60);
    EXPECT_EQ(t.freeBytes, 0u);
    ASSERT_EQ(t.combined.state, Forecast::State::Filling);
    EXPECT_EQ(t.combined.fullIn, 0);
}

TEST(FillingNotice, ASteadyFillIsToldOnceAfterHalfAnHourThenUrgentOnce)
{
    // 38 GB of 100 free, 2.5 GB an hour: under 40 % and full within a day at
    // once; under 20 % and within 4 hours from about hour 8.
    Drive run;
    FillingNoticeWatch watch;
    std::vector<std::pair<double, FillingLevel>> told;
    const Trace trace = [](double s) { return 38 * GB - 2.5 * GB * s / H; };
    for (double s = 0; s < 12 * H; s += 60) {
        const std::int64_t now = T0 + static_cast<std::int64_t>(s);
        run.sample(now, trace(s));
        const DriveTrend t = run.trend(now);
        for (auto &n : watch.Update(now, {{t.key, FillingLevelOf(t.fast, t.freeBytes, t.sizeBytes)}}))
            told.emplace_back(s / H, n.level);
    }
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].second, FillingLevel::Warning);
    EXPECT_NEAR(told[0].first, 1.5, 0.1); // an hour of history, then 30 minutes held
    EXPECT_EQ(told[1].second, FillingLevel::Urgent);
    EXPECT_GT(told[1].first, 7.5);
}

TEST(FillingNotice, ANewEpisodeOnlyAfterHalfAnHourQuiet)
{
    FillingNoticeWatch w;
    auto at = [&](std::int64_t minute, FillingLevel level) {
        return w.Update(minute * 60, {{"k", level}}).size();
    };
    std::size_t told = 0;
    for (int m = 0; m <= 30; ++m)
        told += at(m, FillingLevel::Warning);
    EXPECT_EQ(told, 1u);
    // A short quiet spell does not end the episode.
    for (int m = 31; m < 50; ++m)
        told += at(m, FillingLevel::None);
    for (int m = 50; m <= 90; ++m)
        told += at(m, FillingLevel::Warning);
    EXPECT_EQ(told, 1u);
    // Half an hour quiet does.
    for (int m = 91; m <= 125; ++m)
        told += at(m, FillingLevel::None);
    for (int m = 126; m <= 160; ++m)
        told += at(m, FillingLevel::Warning);
    EXPECT_EQ(told, 2u);
}
