// SPDX-License-Identifier: MIT
// One refresh tick of the widget, its parts and its floor, on this machine's
// mounts:
//   BM_Floor        the libmount read of /proc/self/mountinfo and one statvfs
//                   per drive, one after the other, nothing around them
//   BM_Query        the drive query through the query component (connect,
//                   ExecQuery, every object's property list)
//   BM_RefreshTick  what a tick does when no drive came or went: the query,
//                   each drive's property list split, its panel found and
//                   its free space written and shown in place
//   BM_TickPanels   the same tick without the query: its panel half alone
//   BM_Rebuild      what a tick does when the drives changed: the query and
//                   a new panel per drive, built from its property list
// With VELMORA_BENCH_MOUNTS=<n> (root only) the program first mounts n small
// tmpfs file systems in a mount namespace of its own, so that the same
// figures are taken with n more drives; they go when it ends.
#include "panels/PropertyText.h"
#include "panels/frDisco.h"
#include "platform/linux/LinuxMountTable.h"
#include "wmi/CWMISQL.h"

#include <QApplication>
#include <QWidget>

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

// The panels of one window, found by name as the window finds them.
struct Window
{
    QWidget widget;
    std::vector<TFrameDrive *> frames;

    void Build(TWMISQL *query)
    {
        for (TFrameDrive *f : frames)
            delete f;
        frames.clear();
        for (int i = 1; i <= query->ObjectsCount(); ++i) {
            auto *frame = new TFrameDrive(&widget);
            frame->SetDiskDriveInfo(query);
            query->SetObjectIndex(i);
            frame->SetPropiedades(query->PropertiesText());
            frame->move(0, (i - 1) * frame->height());
            frame->show();
            frames.push_back(frame);
        }
    }
    TFrameDrive *Find(const QString &name) const
    {
        for (TFrameDrive *f : frames)
            if (f->Nombre() == name)
                return f;
        return nullptr;
    }
};

// The panel half of a tick: each object's property list split, its panel
// found and its free space written and shown.
void UpdatePanels(TWMISQL &query, const Window &window)
{
    for (int i = 1; i <= query.ObjectsCount(); ++i) {
        query.SetObjectIndex(i);
        const QStringList items = SplitPropertyText(query.PropertiesText());
        TFrameDrive *frame = window.Find(PropertyValue(items, QStringLiteral("Name")));
        if (!frame)
            continue;
        const QString freeSpace = PropertyValue(items, QStringLiteral("FreeSpace"));
        if (freeSpace.isEmpty())
            frame->ClearLibre();
        else
            frame->SetLibre(freeSpace.toLongLong());
        frame->UpdateSize();
    }
}

void BM_RefreshTick(benchmark::State &state)
{
    auto query = NewQuery();
    query->SetActive(true);
    Window window;
    window.Build(query.get());
    for (auto _ : state) {
        query->SetActive(false);
        query->SetActive(true);
        UpdatePanels(*query, window);
    }
    state.counters["drives"] = static_cast<double>(window.frames.size());
}
BENCHMARK(BM_RefreshTick)->Unit(benchmark::kMicrosecond);

// The same tick without its query: the panel half alone, on the objects of
// one query taken before.
void BM_TickPanels(benchmark::State &state)
{
    auto query = NewQuery();
    query->SetActive(true);
    Window window;
    window.Build(query.get());
    for (auto _ : state)
        UpdatePanels(*query, window);
    state.counters["drives"] = static_cast<double>(window.frames.size());
}
BENCHMARK(BM_TickPanels)->Unit(benchmark::kMicrosecond);

void BM_Rebuild(benchmark::State &state)
{
    auto query = NewQuery();
    Window window;
    for (auto _ : state) {
        query->SetActive(false);
        query->SetActive(true);
        window.Build(query.get());
    }
    state.counters["drives"] = static_cast<double>(window.frames.size());
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
        if (::mkdir(dir.c_str(), 0755) != 0
            || ::mount("velmora-bench", dir.c_str(), "tmpfs", 0, "size=1m") != 0)
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
