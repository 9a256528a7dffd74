// SPDX-License-Identifier: MIT
// One refresh tick of the widget, its parts and its floor, on this machine's
// mounts:
//   BM_Floor        the libmount read of /proc/self/mountinfo and one statvfs
//                   per drive, one after the other, nothing around them
//   BM_Query        the drive query through the query component (connect,
//                   ExecQuery, every object's property list)
//   BM_RefreshTick  the widget window's tick when no drive came or went: the
//                   query, each drive's property list read, its panel found
//                   and its free space written and shown in place (less the
//                   query: the panel half)
//   BM_Rebuild      the window's tick after a mount change: the query and a
//                   new panel per drive, built from its property list
// With VELMORA_BENCH_MOUNTS=<n> (root only) the program first mounts n small
// tmpfs file systems in a mount namespace of its own, so that the same
// figures are taken with n more drives; they go when it ends.
#include "platform/linux/LinuxMountTable.h"
#include "shell/FMain.h"
#include "wmi/CWMISQL.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "MountFloor.h"

#include <benchmark/benchmark.h>
#include <libmount/libmount.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TWMISQL> NewQuery()
{
    auto query = std::make_unique<TWMISQL>();
    query->SetHost(QStringLiteral("."));
    query->SetSQL(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    return query;
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond);

void BM_Query(benchmark::State &state)
{
    auto query = NewQuery();
    for (auto _ : state) {
        query->SetActive(false);
        query->SetActive(true);
        for (int i = 1; i <= query->ObjectsCount(); ++i) {
            query->SetObjectIndex(i);
            QString text = query->PropertiesText();
            benchmark::DoNotOptimize(text);
        }
    }
    state.counters["drives"] = query->ObjectsCount();
}
BENCHMARK(BM_Query)->Unit(benchmark::kMicrosecond);

// The widget's own window on this machine's drives, created in main().
TFormMain *gWindow = nullptr;

void BM_RefreshTick(benchmark::State &state)
{
    gWindow->TimerDiscosTimer(nullptr); // the list of the last tick is this one's
    for (auto _ : state)
        gWindow->TimerDiscosTimer(nullptr);
    state.counters["drives"] = static_cast<double>(gWindow->Frames().size());
}
BENCHMARK(BM_RefreshTick)->Unit(benchmark::kMicrosecond);

void BM_Rebuild(benchmark::State &state)
{
    for (auto _ : state)
        gWindow->MountsChanged();
    state.counters["drives"] = static_cast<double>(gWindow->Frames().size());
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMicrosecond);

// n tmpfs mounts in a private mount namespace; false when not possible.
bool MountMany(int n)
{
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    char base[] = "/tmp/velmora-bench-mounts.XXXXXX";
    if (!::mkdtemp(base))
        return false;
    for (int i = 0; i < n; ++i) {
        const std::string dir = std::string(base) + "/vol" + std::to_string(i);
        if (::mkdir(dir.c_str(), 0755) != 0 || ::mount("velmora-bench", dir.c_str(), "tmpfs", 0, "size=1m") != 0)
            return false;
    }
    // The folders are left to the namespace's end; the mounts die with it.
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *n = std::getenv("VELMORA_BENCH_MOUNTS"); n && *n) {
        if (!MountMany(std::atoi(n))) {
            std::fprintf(stderr, "VELMORA_BENCH_MOUNTS needs root and mount namespaces\n");
            return 77;
        }
    }
    // The window with a settings file of its own (no first-run question) and
    // a refresh interval long enough that its own timer never ticks.
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    qunsetenv("VELMORA_FAKE_WBEM");
    {
        QDir().mkpath(home.path() + QStringLiteral("/.config/Brindlewick/Velmora"));
        QFile ini(home.path() + QStringLiteral("/.config/Brindlewick/Velmora/config.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write("[CONFIG]\r\nTop=0\r\nLeft=0\r\nIntervalo=60\r\nOpacidad=255\r\n"
                  "EjecutarInicio=False\r\nVerDiscosRed=True\r\nIdioma=0\r\n");
    }
    QApplication app(argc, argv);
    auto window = std::make_unique<TFormMain>();
    window->SetShutdownReport([](const QString &) {});
    window->show();
    QCoreApplication::processEvents();
    gWindow = window.get();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.reset();
    return 0;
}
