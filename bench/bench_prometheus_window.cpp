// SPDX-License-Identifier: MIT
// What a Prometheus server costs the widget's window: a child process asks
// the drive query as the window does (the window's short wait, one refresh
// every 250 ms, every object text read) on its main thread, against a
// server of the benchmark's own (tests/prometheus/FakePrometheus): fleets of
// 10,000 and 100,000 series, a gzip bomb (250 MB in some 250 KB), a server
// that answers in 900 ms, one that drips its answer and one that never
// answers. After a few seconds the child gets SIGTERM, which it honours
// between two refreshes, as the widget does through its event loop.
// Counters: the longest refresh (the window's longest stall), the time from
// SIGTERM to the end of the process, and its peak resident memory.
#include "platform/DriveQueryWait.h"
#include "platform/WbemFactory.h"
#include "wbem/WbemService.h"

#include "../tests/prometheus/FakePrometheus.h"
#include "ChildProcess.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

volatile std::sig_atomic_t g_stop = 0;

// The child: refreshes as the window does until SIGTERM; prints the longest
// refresh in ms, the answers, the errors and its peak memory in KiB.
int window(const std::string &url)
{
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    platform::SetDriveQueryWait(platform::kWindowDriveQueryWait);
    double longest = 0;
    int answers = 0, errors = 0;
    while (!g_stop) {
        const auto start = Clock::now();
        try {
            auto set = platform::CreateWbemLocator()->ConnectServer(url, "")->ExecQuery(
                "SELECT * FROM Win32_LogicalDisk");
            while (auto o = set->Next()) {
                std::string text = o->GetObjectText();
                benchmark::DoNotOptimize(text);
            }
            ++answers;
        } catch (const std::exception &) {
            ++errors;
        }
        longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        for (int i = 0; i < 25 && !g_stop; ++i)
            std::this_thread::sleep_for(10ms);
    }
    // The peak of this program's own memory: the resource usage that
    // wait4 reports would start from the parent's, which this process was
    // spawned from.
    long peakKib = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            peakKib = std::stol(line.substr(6));
    std::printf("%.1f %d %d %ld\n", longest, answers, errors, peakKib);
    return 0;
}

velmora::test::FakePrometheus::Handler slowed(velmora::test::FakePrometheus::Handler handler,
                                              std::chrono::milliseconds delay, std::chrono::milliseconds drip)
{
    return [handler, delay, drip](const std::string &promql) {
        velmora::test::FakeReply r = handler(promql);
        r.delay = delay;
        r.drip = drip;
        return r;
    };
}

void measure(benchmark::State &state, velmora::test::FakePrometheus::Handler handler)
{
    velmora::test::FakePrometheus server(std::move(handler));
    for (auto _ : state) {
        int out[2];
        if (::pipe(out) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        const auto start = Clock::now();
        const pid_t pid = bench::Spawn({"/proc/self/exe", "--window", server.Url()}, {"PATH=/usr/bin:/bin"}, -1,
                                       out[1]);
        ::close(out[1]);
        std::this_thread::sleep_for(6s);
        const auto stop = Clock::now();
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const double termMs = std::chrono::duration<double, std::milli>(Clock::now() - stop).count();
        char buffer[256] = {};
        const ssize_t n = ::read(out[0], buffer, sizeof buffer - 1);
        ::close(out[0]);
        double longest = 0;
        int answers = 0, errors = 0;
        long peakKib = 0;
        if (n <= 0 || std::sscanf(buffer, "%lf %d %d %ld", &longest, &answers, &errors, &peakKib) != 4) {
            state.SkipWithError("the window child said nothing");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        state.counters["longest_stall_ms"] = longest;
        state.counters["sigterm_ms"] = termMs;
        state.counters["peak_rss_MiB"] = double(peakKib) / 1024;
        state.counters["answers"] = answers;
        state.counters["errors"] = errors;
    }
}

void BM_Fleet10k(benchmark::State &state)
{
    measure(state, velmora::test::FleetHandler(1000, 10));
}
void BM_Fleet100k(benchmark::State &state)
{
    measure(state, velmora::test::FleetHandler(10000, 10));
}
void BM_GzipBomb(benchmark::State &state)
{
    const std::string bomb = velmora::test::GzipRepeated(std::string(1 << 20, ' '), 250);
    measure(state, [bomb](const std::string &) { return velmora::test::FakeReply{200, bomb, true, true}; });
}
void BM_Answers900ms(benchmark::State &state)
{
    measure(state, slowed(velmora::test::FleetHandler(2, 4), 900ms, 0ms));
}
void BM_Drips(benchmark::State &state)
{
    measure(state, slowed(velmora::test::FleetHandler(2, 4), 0ms, 50ms));
}
void BM_NeverAnswers(benchmark::State &state)
{
    measure(state, slowed(velmora::test::FleetHandler(2, 4), 60s, 0ms));
}

// The floor: a server that answers at once with a few drives.
void BM_Floor(benchmark::State &state)
{
    measure(state, velmora::test::FleetHandler(2, 4));
}

BENCHMARK(BM_Floor)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fleet10k)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fleet100k)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GzipBomb)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Answers900ms)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Drips)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NeverAnswers)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0)
        return window(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
