// SPDX-License-Identifier: MIT
// The drive history:
//   BM_HistorySize       90 days of samples for 20 drives as the widget
//                        leaves them (15-minute minimums for 88 days, minutes
//                        for the last 48 hours): the file's bytes per drive
//                        (the aim: under 300 KB)
//   BM_StoreBatch        one batch on the recorder's thread: the samples of n
//                        drives written in one transaction, their trends read
//                        back and worked out, on a history of 6 hours
//   BM_WindowSide        what a refresh costs the window's thread with the
//                        history: TDriveHistory::Refreshed for n drives (the
//                        hand-over to the recorder and the trends read back);
//                        the refresh without the history does none of it, so
//                        this is the whole extra cost
//   BM_WindowSideNewMinute the same for the refresh that starts a minute and
//                        so hands a batch over
#include "desktop/DesktopNotifier.h"
#include "history/DriveTrend.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "shell/DriveHistory.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace {

constexpr std::int64_t T0 = 1'800'000'000;

std::vector<history::DriveSample> drives(int n, std::mt19937_64 &random, std::int64_t minute)
{
    std::vector<history::DriveSample> result;
    for (int d = 0; d < n; ++d) {
        history::DriveSample s;
        s.key = "uuid:2f1c6a4e-0000-4000-8000-" + std::to_string(100000000000 + d);
        s.name = "/srv/volume" + std::to_string(d);
        s.fileSystem = "ext4";
        s.sizeBytes = 2'000'000'000'000ull;
        // A drive in use: a slow fill with noise of a few hundred MB.
        s.freeBytes = 900'000'000'000ull - static_cast<std::uint64_t>(minute) * 50'000 + random() % 300'000'000;
        s.files = 122'093'568;
        s.filesFree = 120'000'000 - static_cast<std::uint64_t>(minute) % 1000 - random() % 5000;
        result.push_back(std::move(s));
    }
    return result;
}

void BM_HistorySize(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    double perDrive = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("history.sqlite")).toStdString();
        std::mt19937_64 random(7);
        {
            auto store = history::HistoryStore::Open(path);
            const std::int64_t end = T0 + 90 * 86400;
            // Quarters up to the last 48 hours, then a batch a minute.
            for (std::int64_t t = T0; t < end - history::kMinuteKeepSeconds; t += 900)
                store->Record(t, drives(n, random, (t - T0) / 60));
            for (std::int64_t t = end - history::kMinuteKeepSeconds; t < end; t += 60)
                store->Record(t, drives(n, random, (t - T0) / 60));
        }
        // Closed: the WAL is checkpointed into the file and removed.
        perDrive = static_cast<double>(std::filesystem::file_size(path)) / n;
    }
    state.counters["bytes_per_drive"] = perDrive;
}
BENCHMARK(BM_HistorySize)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond);

void BM_StoreBatch(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    auto store = history::HistoryStore::Open(dir.filePath(QStringLiteral("history.sqlite")).toStdString());
    std::mt19937_64 random(7);
    std::int64_t t = T0;
    for (; t < T0 + 6 * 3600; t += 60)
        store->Record(t, drives(n, random, (t - T0) / 60));
    for (auto _ : state) {
        const auto batch = drives(n, random, (t - T0) / 60);
        store->Record(t, batch);
        for (const history::Volume &v : store->Volumes())
            benchmark::DoNotOptimize(history::TrendOf(*store, v, t));
        t += 60;
    }
}
BENCHMARK(BM_StoreBatch)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

TDriveStates states(int n)
{
    TDriveStates result;
    for (int d = 0; d < n; ++d) {
        TDriveState s;
        s.Name = QStringLiteral("/srv/volume%1").arg(d);
        s.Free = 900'000'000'000ull + d;
        s.Size = 2'000'000'000'000ull;
        s.FileSystem = QStringLiteral("ext4");
        s.VolumeSerialNumber = QStringLiteral("2f1c6a4e-%1").arg(d);
        s.Shown = true;
        result.append(s);
    }
    return result;
}

void BM_WindowSide(benchmark::State &state)
{
    QTemporaryDir dir;
    TDesktopNotifier notifier(nullptr);
    TDriveHistory historyOfDrives(
        notifier,
        std::make_unique<history::HistoryRecorder>(dir.filePath(QStringLiteral("history.sqlite")).toStdString(),
                                                   [](std::vector<history::DriveSample> &) {}));
    const TDriveStates drives = states(static_cast<int>(state.range(0)));
    historyOfDrives.Refreshed(drives);
    for (auto _ : state)
        historyOfDrives.Refreshed(drives);
}
BENCHMARK(BM_WindowSide)->Arg(10)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_WindowSideNewMinute(benchmark::State &state)
{
    // The recorder's own hand-over and read-back with a minute that moves
    // on every time, as the refresh that starts a minute does it.
    QTemporaryDir dir;
    history::HistoryRecorder recorder(dir.filePath(QStringLiteral("history.sqlite")).toStdString(),
                                      [](std::vector<history::DriveSample> &) {});
    std::mt19937_64 random(7);
    const int n = static_cast<int>(state.range(0));
    std::int64_t t = T0;
    recorder.Submit(t, drives(n, random, 0));
    recorder.Flush();
    for (auto _ : state) {
        state.PauseTiming();
        auto batch = drives(n, random, (t - T0) / 60);
        t += 60;
        state.ResumeTiming();
        recorder.Submit(t, std::move(batch));
        benchmark::DoNotOptimize(recorder.Trends());
        state.PauseTiming();
        recorder.Flush(); // the worker's share is not the window's
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowSideNewMinute)->Arg(10)->Arg(20)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
