// SPDX-License-Identifier: MIT
// The drive window's first partial breakdown: from opening the window of a
// drive (what "Analizar…" does) to the treemap painting the drive's top
// folders while the scan still runs (aim: within 250 ms), next to its floor,
// the scanner alone giving its first partial totals. On a generated tree of
// 100,000 files in 10,000 folders, 4 levels deep, in the temporary folder
// (cache warm after the first run).
#include "analysis/DriveWindow.h"
#include "analysis/DriveWindows.h"
#include "analysis/TreemapView.h"
#include "localization/LangManager.h"
#include "usage/Scanner.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string gRoot;

void MakeTree(const fs::path &root)
{
    // 10 x 10 x 10 x 10 folders; 10 files in each of the deepest.
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c)
                for (int d = 0; d < 10; ++d) {
                    const fs::path dir = root / ("a" + std::to_string(a)) / ("b" + std::to_string(b))
                        / ("c" + std::to_string(c)) / ("d" + std::to_string(d));
                    fs::create_directories(dir);
                    for (int f = 0; f < 10; ++f) {
                        const int fd = ::open((dir / ("f" + std::to_string(f))).c_str(), O_WRONLY | O_CREAT, 0644);
                        if (fd >= 0) {
                            const bool written = f != 0 || ::write(fd, "0123456789abcdef", 16) == 16;
                            ::close(fd);
                            if (!written)
                                std::abort();
                        }
                    }
                }
}

void BM_FirstPartialBreakdownPainted(benchmark::State &state)
{
    for (auto _ : state) {
        TDriveWindows windows;
        QElapsedTimer clock;
        clock.start();
        TDriveWindow *window = windows.Open(QStringLiteral("bench"), gRoot);
        while (window->Treemap()->PaintedWithItems() == 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["scanning"] = window->Analysis().State() == TDriveAnalysis::TState::Scanning ? 1 : 0;
        window->close();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_FirstPartialBreakdownPainted)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Floor_ScannerFirstPartialTotals(benchmark::State &state)
{
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        usage::Scanner scan({.root = gRoot});
        std::string error;
        if (!scan.Start(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        while (scan.Snapshot().branches.empty() && !scan.Finished())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        scan.Cancel();
    }
}
BENCHMARK(BM_Floor_ScannerFirstPartialTotals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    LangManager::Start();
    const fs::path root = fs::temp_directory_path() / ("velmora-bench-drive-" + std::to_string(::getpid()));
    MakeTree(root);
    gRoot = root.string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(root, ignored);
    LangManager::Shutdown();
    return 0;
}
