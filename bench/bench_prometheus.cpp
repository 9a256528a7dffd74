// SPDX-License-Identifier: MIT
// The drive query of a fleet through a real Prometheus: 500 instances with 8
// file systems each (node_exporter's two families and up, one sample every
// 15 s over the last 10 minutes), loaded with promtool into the server's
// storage. The whole query (five requests, JSON, drive rules, WHERE, object
// texts) next to its floor: the same five requests and a plain JSON parse of
// each answer. Counters: time, and the peak of memory held by new while one
// iteration runs.
#include "platform/WbemFactory.h"
#include "platform/prometheus/PrometheusDisks.h"
#include "platform/prometheus/PrometheusHttp.h"

#include "../tests/prometheus/PrometheusServers.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <thread>

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void noteAlloc(std::size_t n)
{
    const std::size_t now = g_live.fetch_add(n) + n;
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {}
}

} // namespace

// Sizes are kept in front of every block so that delete knows them.
// Reading them 16 bytes before the pointer new handed out is within the
// block malloc gave, but GCC 12 at -O3 takes the pointer for the start of an
// object of exactly the asked size and calls the read out of bounds once
// delete is inlined into a caller (-Warray-bounds), hence the pragma on this
// pair alone.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
void *operator new(std::size_t n)
{
    void *p = std::malloc(n + 16);
    if (!p)
        throw std::bad_alloc();
    *static_cast<std::size_t *>(p) = n;
    noteAlloc(n);
    return static_cast<char *>(p) + 16;
}
void operator delete(void *p) noexcept
{
    if (!p)
        return;
    char *block = static_cast<char *>(p) - 16;
    g_live.fetch_sub(*reinterpret_cast<std::size_t *>(block));
    std::free(block);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
void operator delete(void *p, std::size_t) noexcept
{
    operator delete(p);
}
void *operator new[](std::size_t n)
{
    return operator new(n);
}
void operator delete[](void *p) noexcept
{
    operator delete(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

constexpr int kInstances = 500;
constexpr int kFileSystems = 8;

class Fleet
{
public:
    Fleet()
    {
        char dirTemplate[] = "/tmp/velmora-fleet-XXXXXX";
        m_dir = ::mkdtemp(dirTemplate);
        writeOpenMetrics(m_dir + "/fleet.om");
        const auto made = velmora::test::RunCommand("promtool tsdb create-blocks-from openmetrics "
                                                    + velmora::test::ShellQuote(m_dir + "/fleet.om") + " "
                                                    + velmora::test::ShellQuote(m_dir + "/data"));
        if (made.exitCode != 0)
            throw std::runtime_error("promtool: " + made.err);
        std::ofstream(m_dir + "/prometheus.yml") << "global:\n  scrape_interval: 15s\nscrape_configs: []\n";
        m_port = velmora::test::FreeTcpPort();
        m_server = velmora::test::ChildProcess({"prometheus", "--config.file=" + m_dir + "/prometheus.yml",
                                                "--storage.tsdb.path=" + m_dir + "/data",
                                                "--web.listen-address=127.0.0.1:" + std::to_string(m_port)},
                                               m_dir + "/prometheus.log");
    }
    ~Fleet()
    {
        m_server.Stop();
        velmora::test::RunCommand("rm -rf " + velmora::test::ShellQuote(m_dir));
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    static void writeOpenMetrics(const std::string &path)
    {
        std::ofstream out(path);
        const long long end = std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count()
            - 5;
        const char *const mounts[kFileSystems] = {"/",         "/boot", "/home",    "/var",
                                                  "/srv/data", "/tmp",  "/mnt/nas", "/var/lib/docker"};
        const char *const types[kFileSystems] = {"ext4", "vfat", "ext4", "xfs", "btrfs", "tmpfs", "nfs4", "ext4"};
        const auto device = [](int fs) {
            return fs == 5 ? std::string("tmpfs")
                : fs == 6  ? std::string("nas:/export")
                           : "/dev/sda" + std::to_string(fs + 1);
        };
        const auto family = [&](const char *name, bool avail) {
            out << "# TYPE " << name << " gauge\n";
            for (int i = 0; i < kInstances; ++i)
                for (int fs = 0; fs < kFileSystems; ++fs)
                    for (long long t = end - 600; t <= end; t += 15) {
                        const unsigned long long size = 1000000000ull
                            * static_cast<unsigned long long>(fs + 1 + i % 7);
                        out << name << "{instance=\"host" << i << ".example.org:9100\",job=\"node\",device=\""
                            << device(fs) << "\",fstype=\"" << types[fs] << "\",mountpoint=\"" << mounts[fs]
                            << "\"} "
                            << (avail ? size / 3 + static_cast<unsigned long long>(t % 1000) * 4096 : size) << " "
                            << t << "\n";
                    }
        };
        family("node_filesystem_size_bytes", false);
        family("node_filesystem_avail_bytes", true);
        out << "# TYPE up gauge\n";
        for (int i = 0; i < kInstances; ++i)
            for (long long t = end - 600; t <= end; t += 15)
                out << "up{instance=\"host" << i << ".example.org:9100\",job=\"node\"} 1 " << t << "\n";
        out << "# EOF\n";
    }

    std::string m_dir;
    int m_port = 0;
    velmora::test::ChildProcess m_server;
};

Fleet *g_fleet = nullptr;

std::size_t runQuery()
{
    auto set = platform::CreateWbemLocator()
                   ->ConnectServer(g_fleet->Url(), "")
                   ->ExecQuery("SELECT * FROM Win32_LogicalDisk");
    std::size_t objects = 0;
    while (auto o = set->Next()) {
        std::string text = o->GetObjectText();
        benchmark::DoNotOptimize(text);
        ++objects;
    }
    return objects;
}

std::size_t runFloor()
{
    std::vector<std::string> promql;
    for (std::size_t f = 0; f < platform::kPrometheusFamilies; ++f)
        promql.push_back(platform::PrometheusFamilyQuery(static_cast<platform::PrometheusFamily>(f), ""));
    std::vector<std::string> bodies = platform::PostPrometheusQueries(platform::PrometheusEndpoint(g_fleet->Url()),
                                                                      {}, promql, std::chrono::milliseconds(10000),
                                                                      platform::kMaxPrometheusAnswerBytes);
    std::size_t series = 0;
    std::vector<nlohmann::json> docs;
    for (const std::string &body : bodies) {
        docs.push_back(nlohmann::json::parse(body));
        series += docs.back()["data"]["result"].size();
    }
    return series;
}

void measure(benchmark::State &state, std::size_t (*run)(), const char *counter)
{
    std::size_t count = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t base = g_live.load();
        g_peak.store(base);
        count = run();
        peak = std::max(peak, g_peak.load() - base);
    }
    state.counters[counter] = static_cast<double>(count);
    state.counters["peak_heap_MiB"] = static_cast<double>(peak) / (1 << 20);
}

void BM_FleetQuery(benchmark::State &state)
{
    measure(state, &runQuery, "drives");
}
BENCHMARK(BM_FleetQuery)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_FleetFloor(benchmark::State &state)
{
    measure(state, &runFloor, "series");
}
BENCHMARK(BM_FleetFloor)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char **argv)
{
    if (velmora::test::RunCommand("command -v prometheus && command -v promtool").exitCode != 0) {
        std::cerr << "bench_prometheus: SKIPPED: prometheus / promtool are not installed\n";
        return 0;
    }
    Fleet fleet;
    g_fleet = &fleet;
    // Ready when the whole fleet answers, with the server's first queries
    // (which load the blocks) behind it.
    bool ready = false;
    for (int i = 0; i < 240 && !ready; ++i) {
        try {
            ready = runQuery() == kInstances * (kFileSystems - 1); // the two mounts of /dev/sda1.. are distinct
            ready = ready || runQuery() == kInstances * kFileSystems;
        } catch (const std::exception &) {}
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    if (!ready) {
        std::cerr << "bench_prometheus: the fleet did not come up; objects: ";
        try {
            std::cerr << runQuery();
        } catch (const std::exception &e) {
            std::cerr << e.what();
        }
        std::cerr << "\n";
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
