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
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string gDisplay;
std::string gWork;
pid_t gXvfb = -1;
std::map<int, std::vector<double>> gMs;
std::map<int, std::vector<double>> gKib;
std::map<int, std::vector<double>> gCpuMs;

// User and system time of a process so far, in milliseconds; 0 when unknown.
double CpuMs(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the command name, which may hold blanks and ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

pid_t Spawn(const std::vector<std::string> &args, const std::vector<std::string> &env, int stderrFd)
{
    std::vector<char *> argv, envp;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (stderrFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

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

struct RunResult
{
    bool ok = false;
    double ms = 0;
    double cpuMs = 0;
    long maxRssKib = 0;
    std::string error;
};

RunResult RunOnce(const std::string &drives)
{
    static int run = 0;
    constexpr const char *marker = "first panel painted";
    RunResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    const auto start = Clock::now();
    const pid_t pid = Spawn({VELMORA_EXE}, ChildEnvironment(++run, drives), fds[1]);
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        result.error = "cannot start " VELMORA_EXE;
        return result;
    }
    std::string seen;
    char buffer[4096];
    const auto deadline = start + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen.append(buffer, size_t(n));
        if (seen.find(marker) != std::string::npos) {
            result.ok = true;
            result.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            result.cpuMs = CpuMs(pid);
            break;
        }
        // Only the tail can still hold the start of the marker.
        if (seen.size() > 4096)
            seen.erase(0, seen.size() - 64);
    }
    // Half a second more: whatever the widget does right after its first
    // paint counts towards its peak memory too.
    ::usleep(500000);
    ::kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && ::read(fds[0], buffer, sizeof buffer) <= 0)
            ::usleep(10000);
    }
    ::close(fds[0]);
    result.maxRssKib = usage.ru_maxrss;
    if (!result.ok)
        result.error = "no \"" + std::string(marker) + "\" from the widget: " + seen.substr(0, 400);
    return result;
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

bool StartXvfb()
{
    if (::access("/usr/bin/Xvfb", X_OK) != 0)
        return false;
    for (int n = 200; n < 250; ++n) {
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (::access(lock.c_str(), F_OK) == 0)
            continue;
        gDisplay = ":" + std::to_string(n);
        gXvfb = Spawn({"/usr/bin/Xvfb", gDisplay, "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                      {"PATH=/usr/bin:/bin"}, -1);
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        for (int i = 0; i < 100 && ::access(socket.c_str(), F_OK) != 0; ++i)
            ::usleep(50000);
        ::usleep(200000);
        return gXvfb > 0;
    }
    return false;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    char work[] = "/tmp/velmora-bench-fleet.XXXXXX";
    if (!::mkdtemp(work))
        return 1;
    gWork = work;
    StartXvfb();
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
