// SPDX-License-Identifier: MIT
// A fleet in the widget: the time from starting the process to its first
// painted drive panel and the peak resident memory of the process
// (getrusage of the child, ru_maxrss), for 4,000 drives (500 machines with 8
// file systems each, as a Prometheus fleet gives them) next to 10 drives of
// one machine, in the same run, on a private Xvfb display. The drives come
// from the file-fed drive service (VELMORA_FAKE_WBEM), so the figures are
// the widget's own work on them: panels, layout, painting. The widget
// reports its first painted panel on standard error under the logging
// category velmora.shell (debug). Beside the time on the clock, the CPU time
// the widget had used by then (from /proc), which a busy machine disturbs
// less.
#include "ChildProcess.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using bench::Median;
using bench::RunResult;

std::string gDisplay;
std::string gWork;
pid_t gXvfb = -1;
std::map<int, std::vector<double>> gMs;
std::map<int, std::vector<double>> gKib;
std::map<int, std::vector<double>> gCpuMs;

// The drives of `machines` machines with `perMachine` file systems each, as
// the widget's drive service reads them from a file.
std::string FleetFile(int machines, int perMachine)
{
    const std::string path = gWork + "/fleet-" + std::to_string(machines * perMachine) + ".txt";
    std::ofstream out(path);
    for (int m = 0; m < machines; ++m) {
        for (int f = 0; f < perMachine; ++f) {
            const long long size = 1LL << 40;
            const long long free = size / 1000 * ((m * perMachine + f) % 997 + 1);
            out << "instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = \"ext4\";\n"
                << "\tFreeSpace = \"" << free << "\";\n\tName = \"node" << m << ":9100:/srv/data" << f
                << "\";\n\tSize = \"" << size << "\";\n\tSystemName = \"node" << m << ":9100\";\n};\n----\n";
        }
    }
    return path;
}

std::vector<std::string> ChildEnvironment(int run, const std::string &drives)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const char *drop : {"DISPLAY=", "QT_QPA_PLATFORM=", "QT_LOGGING_RULES=", "HOME=", "XDG_", "VELMORA_"})
            keep = keep && entry.rfind(drop, 0) != 0;
        if (keep)
            env.push_back(entry);
    }
    const std::string home = gWork + "/home" + std::to_string(run);
    ::mkdir(home.c_str(), 0700);
    ::mkdir((home + "/rt").c_str(), 0700);
    ::mkdir((home + "/.config").c_str(), 0700);
    ::mkdir((home + "/.config/Brindlewick").c_str(), 0700);
    ::mkdir((home + "/.config/Brindlewick/Velmora").c_str(), 0700);
    // Settings as the widget writes them: no first-run question.
    std::ofstream(home + "/.config/Brindlewick/Velmora/config.ini")
        << "[CONFIG]\r\nTop=40\r\nLeft=40\r\nIntervalo=15\r\nOpacidad=255\r\nEjecutarInicio=False\r\n"
           "VerDiscosRed=False\r\nIdioma=0\r\n";
    env.push_back("DISPLAY=" + gDisplay);
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
    env.push_back("XDG_RUNTIME_DIR=" + home + "/rt");
    env.push_back("QT_LOGGING_RULES=velmora.shell.debug=true");
    env.push_back("VELMORA_FAKE_WBEM=" + drives);
    return env;
}

RunResult RunOnce(const std::string &drives)
{
    static int run = 0;
    // Half a second after the first paint: whatever the widget does right
    // after it counts towards its peak memory too.
    return bench::RunUntilMarker(VELMORA_EXE, ChildEnvironment(++run, drives), "first panel painted",
                                 std::chrono::seconds(60), std::chrono::milliseconds(500));
}

// state.range(0) machines with 8 file systems each (10 drives: 1 machine
// with 10).
void BM_FirstPanel(benchmark::State &state)
{
    if (gXvfb < 0) {
        state.SkipWithError("needs Xvfb (apt-get install xvfb)");
        return;
    }
    const int machines = int(state.range(0));
    const int drives = machines == 1 ? 10 : machines * 8;
    const std::string file = FleetFile(machines, machines == 1 ? 10 : 8);
    for (auto _ : state) {
        const RunResult r = RunOnce(file);
        if (!r.ok) {
            state.SkipWithError(r.error.c_str());
            return;
        }
        state.SetIterationTime(r.ms / 1000.0);
        gMs[drives].push_back(r.ms);
        gKib[drives].push_back(double(r.maxRssKib));
        gCpuMs[drives].push_back(r.cpuMs);
        state.counters["peak_rss_KiB"] = double(r.maxRssKib);
        state.counters["cpu_ms"] = r.cpuMs;
    }
    state.SetLabel(std::to_string(drives) + " drives");
}

BENCHMARK(BM_FirstPanel)->Arg(1)->Arg(500)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    char work[] = "/tmp/velmora-bench-fleet.XXXXXX";
    if (!::mkdtemp(work))
        return 1;
    gWork = work;
    gXvfb = bench::StartXvfb(200, 250, gDisplay);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gXvfb > 0) {
        ::kill(gXvfb, SIGTERM);
        ::waitpid(gXvfb, nullptr, 0);
    }
    std::string rm = "rm -rf '" + gWork + "'";
    [[maybe_unused]] const int ignored = std::system(rm.c_str());

    if (!gMs[10].empty() && !gMs[4000].empty()) {
        const double t0 = Median(gMs[10]), t1 = Median(gMs[4000]);
        const double m0 = Median(gKib[10]), m1 = Median(gKib[4000]);
        std::printf("\nmedian time to first paint: 4000 drives %.1f ms, 10 drives %.1f ms, ratio %.2f\n", t1, t0,
                    t1 / t0);
        std::printf("median peak RSS: 4000 drives %.0f KiB, 10 drives %.0f KiB, ratio %.2f\n", m1, m0, m1 / m0);
        const double c0 = Median(gCpuMs[10]), c1 = Median(gCpuMs[4000]);
        std::printf("median CPU time to first paint: 4000 drives %.0f ms, 10 drives %.0f ms, ratio %.2f\n", c1, c0,
                    c1 / c0);
    }
    return 0;
}
