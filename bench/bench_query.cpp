// SPDX-License-Identifier: MIT
// One full drive query (connect, ExecQuery, every object text) on this
// machine's mounts, next to its floor: the same libmount read of
// /proc/self/mountinfo and the same statvfs calls, made one after the other
// on the calling thread with nothing around them.
#include "platform/linux/LinuxMountTable.h"
#include "platform/linux/LinuxWbemService.h"
#include "wbem/WbemService.h"

#include "MountFloor.h"

#include <benchmark/benchmark.h>
#include <libmount/libmount.h>
#include <sys/statvfs.h>

#include <string>
#include <vector>

namespace {

void BM_Query(benchmark::State &state)
{
    std::size_t objects = 0;
    for (auto _ : state) {
        platform::LinuxWbemLocator locator;
        auto services = locator.ConnectServer(".", "root\\cimv2");
        auto result = services->ExecQuery("SELECT * FROM Win32_LogicalDisk");
        objects = 0;
        while (auto object = result->Next()) {
            std::string text = object->GetObjectText();
            benchmark::DoNotOptimize(text);
            ++objects;
        }
    }
    state.counters["drives"] = static_cast<double>(objects);
}
BENCHMARK(BM_Query)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
