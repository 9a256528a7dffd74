// SPDX-License-Identifier: MIT
#pragma once

// The floor every drive-query figure is measured against: the bare libmount
// read of the mount table plus one statvfs per drive that the query lists,
// called directly on the calling thread (no deadline, no object text).

#include "platform/linux/LinuxMountTable.h"

#include <benchmark/benchmark.h>
#include <libmount/libmount.h>
#include <sys/statvfs.h>

#include <cstddef>
#include <string>
#include <vector>

inline void BM_Floor(benchmark::State &state)
{
    std::vector<std::string> paths;
    for (const auto &e : platform::SelectLogicalDisks(platform::ReadLinuxMountTable()))
        paths.push_back(e.target);
    for (auto _ : state) {
        libmnt_table *table = mnt_new_table_from_file("/proc/self/mountinfo");
        libmnt_iter *iter = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs *fs = nullptr;
        std::size_t n = 0;
        while (mnt_table_next_fs(table, iter, &fs) == 0)
            n += mnt_fs_get_target(fs) != nullptr;
        benchmark::DoNotOptimize(n);
        mnt_free_iter(iter);
        mnt_unref_table(table);
        for (const std::string &p : paths) {
            struct statvfs sv
            {};
            benchmark::DoNotOptimize(::statvfs(p.c_str(), &sv));
        }
    }
    state.counters["drives"] = static_cast<double>(paths.size());
}
