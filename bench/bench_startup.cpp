// SPDX-License-Identifier: MIT
// Start-up cost of the widget on a private Xvfb display: the time from
// starting the process to its first painted drive panel, and the peak
// resident memory of the process (getrusage of the child, ru_maxrss), next to
// the same figures for the least Qt tray program (bench_tray_floor) measured
// in the same run. The widget reports its first painted panel on standard
// error under the logging category velmora.shell (debug).
//
// Both programs get a session bus of this run's own (dbus-daemon, stopped at
// the end), as a desktop session has one: Qt's tray icon asks it for a
// StatusNotifier host, and the widget takes its single-instance name there.
// Without one, libdbus would start a bus through X11 (dbus-launch) at the
// first run and leave it behind. The widget is measured twice: at a first
// start (no settings file: it also asks whether to start with the session)
// and at a later start (a settings file from an earlier run), the usual one.
#include "ChildProcess.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using bench::Median;
using bench::RunResult;
using bench::Spawn;

std::string gDisplay;
std::string gWork;
pid_t gXvfb = -1;
std::string gBusAddress;
pid_t gBus = -1;
// 0 the widget at a first start, 1 the floor, 2 the widget at a later start.
std::vector<double> gMs[3];
std::vector<long> gKib[3];

std::vector<std::string> ChildEnvironment(int run)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        for (const char *drop :
             {"DISPLAY=", "QT_QPA_PLATFORM=", "QT_LOGGING_RULES=", "HOME=", "XDG_", "DBUS_SESSION_BUS_ADDRESS="})
            if (entry.rfind(drop, 0) == 0)
                goto skip;
        env.push_back(entry);
    skip:;
    }
    const std::string home = gWork + "/home" + std::to_string(run);
    ::mkdir(home.c_str(), 0700);
    ::mkdir((home + "/rt").c_str(), 0700);
    env.push_back("DISPLAY=" + gDisplay);
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
    env.push_back("XDG_RUNTIME_DIR=" + home + "/rt");
    env.push_back("QT_LOGGING_RULES=velmora.shell.debug=true");
    if (!gBusAddress.empty())
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + gBusAddress);
    return env;
}

// The settings file an earlier run of the widget leaves in home.
void WriteSettings(const std::string &home)
{
    std::string dir = home + "/.config";
    for (const char *part : {"", "/Brindlewick", "/Velmora"}) {
        dir += part;
        ::mkdir(dir.c_str(), 0700);
    }
    if (FILE *file = std::fopen((dir + "/config.ini").c_str(), "w")) {
        std::fputs("[CONFIG]\nTop=0\nLeft=0\nIntervalo=15\nOpacidad=153\nEjecutarInicio=False\n"
                   "VerDiscosRed=False\nIdioma=0\n",
                   file);
        std::fclose(file);
    }
}

RunResult RunOnce(const std::string &program, const char *marker, bool withSettings)
{
    static int run = 0;
    const std::vector<std::string> env = ChildEnvironment(++run);
    if (withSettings)
        WriteSettings(gWork + "/home" + std::to_string(run));
    return bench::RunUntilMarker(program, env, marker, std::chrono::seconds(20));
}

void Measure(benchmark::State &state, int which, const std::string &program, const char *marker,
             bool withSettings = false)
{
    if (gXvfb < 0) {
        state.SkipWithError("needs Xvfb (apt-get install xvfb)");
        return;
    }
    for (auto _ : state) {
        const RunResult r = RunOnce(program, marker, withSettings);
        if (!r.ok) {
            state.SkipWithError(r.error.c_str());
            return;
        }
        state.SetIterationTime(r.ms / 1000.0);
        gMs[which].push_back(r.ms);
        gKib[which].push_back(r.maxRssKib);
        state.counters["peak_rss_KiB"] = double(r.maxRssKib);
    }
}

void BM_VelmoraFirstPanel(benchmark::State &state)
{
    Measure(state, 0, VELMORA_EXE, "first panel painted");
}

void BM_VelmoraFirstPanelWithSettings(benchmark::State &state)
{
    Measure(state, 2, VELMORA_EXE, "first panel painted", true);
}

void BM_QtTrayFloorFirstPaint(benchmark::State &state)
{
    Measure(state, 1, FLOOR_EXE, "first paint");
}

BENCHMARK(BM_QtTrayFloorFirstPaint)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VelmoraFirstPanel)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VelmoraFirstPanelWithSettings)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);

// A session bus for the run's programs; the address stays empty (and the
// programs go without) where dbus-daemon is missing.
void StartBus()
{
    int fds[2];
    if (::access("/usr/bin/dbus-daemon", X_OK) != 0 || ::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const std::string address = "--address=unix:path=" + gWork + "/bus";
    gBus = Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1", address},
                 {"PATH=/usr/bin:/bin"}, -1, fds[1]);
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    while (out.find('\n') == std::string::npos) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, size_t(n));
    }
    ::close(fds[0]);
    if (const size_t end = out.find('\n'); end != std::string::npos)
        gBusAddress = out.substr(0, end);
}

} // namespace

int main(int argc, char **argv)
{
    char work[] = "/tmp/velmora-bench.XXXXXX";
    if (!::mkdtemp(work))
        return 1;
    gWork = work;
    gXvfb = bench::StartXvfb(150, 200, gDisplay);
    StartBus();
    std::printf("session bus: %s\n", gBusAddress.empty() ? "none (no dbus-daemon)" : gBusAddress.c_str());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const pid_t server : {gBus, gXvfb}) {
        if (server > 0) {
            ::kill(server, SIGTERM);
            ::waitpid(server, nullptr, 0);
        }
    }
    std::string rm = "rm -rf '" + gWork + "'";
    [[maybe_unused]] const int ignored = std::system(rm.c_str());

    if (!gMs[0].empty() && !gMs[1].empty()) {
        std::vector<double> kib0(gKib[0].begin(), gKib[0].end()), kib1(gKib[1].begin(), gKib[1].end());
        const double t0 = Median(gMs[0]), t1 = Median(gMs[1]);
        const double m0 = Median(kib0), m1 = Median(kib1);
        std::printf("\nmedian time to first paint: velmora %.1f ms, Qt tray floor %.1f ms, ratio %.2f\n", t0, t1,
                    t0 / t1);
        std::printf("median peak RSS: velmora %.0f KiB, Qt tray floor %.0f KiB, ratio %.2f\n", m0, m1, m0 / m1);
    }
    if (!gMs[2].empty() && !gMs[1].empty()) {
        std::vector<double> kib2(gKib[2].begin(), gKib[2].end()), kib1(gKib[1].begin(), gKib[1].end());
        const double t2 = Median(gMs[2]), t1 = Median(gMs[1]);
        const double m2 = Median(kib2), m1 = Median(kib1);
        std::printf("later start (settings file present): median time to first paint %.1f ms, ratio %.2f; "
                    "median peak RSS %.0f KiB, ratio %.2f\n",
                    t2, t2 / t1, m2, m2 / m1);
    }
    return 0;
}
