// SPDX-License-Identifier: MIT
// velmora-wql as a whole process (fork, exec, the drive query, every object
// text written to a pipe, exit) next to `df -B1` listing the same mount
// points, both run the same number of times in the same program. The output
// goes to a pipe that is read to the end, as a shell would.
#include "platform/linux/LinuxMountTable.h"

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char **environ;

namespace {

// Runs the program to its end with its standard output read through a pipe;
// the bytes read, or -1 when it could not run or did not exit with 0.
long RunToEnd(const std::vector<std::string> &args)
{
    int out[2];
    if (::pipe(out) != 0)
        return -1;
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    long total = 0;
    char buffer[65536];
    for (ssize_t n; rc == 0 && (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        total += n;
    ::close(out[0]);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return total;
}

void Measure(benchmark::State &state, const std::vector<std::string> &args)
{
    long bytes = 0;
    // The programs' own CPU time (user + system), which a busy machine's
    // waiting for a core leaves out.
    const auto childCpu = [] {
        struct rusage usage
        {};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    };
    const double cpuBefore = childCpu();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bytes = RunToEnd(args);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (bytes < 0) {
            state.SkipWithError((args[0] + " failed").c_str());
            return;
        }
    }
    state.counters["output_bytes"] = static_cast<double>(bytes);
    state.counters["child_cpu_ms"] = (childCpu() - cpuBefore) / double(state.iterations());
}

void BM_DfFloor(benchmark::State &state)
{
    std::vector<std::string> args{"df", "-B1"};
    for (const auto &e : platform::SelectLogicalDisks(platform::ReadLinuxMountTable()))
        args.push_back(e.target);
    state.counters["drives"] = static_cast<double>(args.size() - 2);
    Measure(state, args);
}
BENCHMARK(BM_DfFloor)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_VelmoraWql(benchmark::State &state)
{
    Measure(state, {VELMORA_WQL, "SELECT * FROM Win32_LogicalDisk"});
}
BENCHMARK(BM_VelmoraWql)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// What df shows: no label, so no disk is read for one.
void BM_VelmoraWqlSizes(benchmark::State &state)
{
    Measure(state, {VELMORA_WQL, "SELECT Name, Size, FreeSpace FROM Win32_LogicalDisk"});
}
BENCHMARK(BM_VelmoraWqlSizes)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// The floor of a listing with labels: findmnt's figures with the label and
// UUID of every mount.
void BM_FindmntLabelsFloor(benchmark::State &state)
{
    Measure(state, {"findmnt", "-D", "-o", "+LABEL,UUID"});
}
BENCHMARK(BM_FindmntLabelsFloor)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
