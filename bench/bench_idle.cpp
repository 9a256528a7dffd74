// SPDX-License-Identifier: MIT
// What the idle widget costs the machine per hour, next to a peer and a
// floor, all three running side by side on one private Xvfb over the same
// minutes:
//   velmora  the widget, refreshing every 5 seconds (Intervalo=5)
//   conky    Debian's conky-std showing the same drives with fs_free and
//            fs_bar at the same interval
//   floor    the least Qt tray program with one 5-second timer that rewrites
//            its label (bench_tray_floor --tick-ms 5000)
// Figures per process, summed over its threads (/proc/PID/task/*): CPU time
// from schedstat (nanoseconds on a CPU) and wake-ups as voluntary context
// switches (each one a sleep the thread was woken from), both scaled to an
// hour. Threads that end during the measure are not counted.
//
// The drives: 10 small tmpfs file systems in a folder of the benchmark's own,
// mounted in a mount namespace of its own (root only), besides this
// machine's. VELMORA_BENCH_IDLE_SECONDS sets the measured time (default 180,
// after 15 seconds for the programs to settle).
#include "platform/linux/LinuxMountTable.h"

#include "ChildProcess.h"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char **environ;

namespace {

std::string gWork;
std::string gDisplay;
std::string gBusAddress;
std::vector<std::string> gDrives;

struct Usage
{
    double cpuNs = 0;
    double wakeups = 0;
};

// CPU time and voluntary switches of every thread of pid so far.
Usage UsageOf(pid_t pid)
{
    Usage u;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = ::opendir(tasks.c_str());
    if (!dir)
        return u;
    while (const dirent *d = ::readdir(dir)) {
        if (d->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + d->d_name;
        std::ifstream schedstat(task + "/schedstat");
        double onCpu = 0;
        if (schedstat >> onCpu)
            u.cpuNs += onCpu;
        std::ifstream status(task + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                u.wakeups += std::atof(line.c_str() + line.find(':') + 1);
    }
    ::closedir(dir);
    return u;
}

bool MountDrives(int n)
{
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    for (int i = 0; i < n; ++i) {
        const std::string dir = gWork + "/drives/vol" + std::to_string(i);
        ::mkdir((gWork + "/drives").c_str(), 0755);
        if (::mkdir(dir.c_str(), 0755) != 0
            || ::mount("velmora-idle", dir.c_str(), "tmpfs", 0, ("size=" + std::to_string(i + 1) + "m").c_str())
                != 0)
            return false;
    }
    for (const auto &e : platform::SelectLogicalDisks(platform::ReadLinuxMountTable()))
        gDrives.push_back(e.target);
    return true;
}

std::vector<std::string> Environment(const std::string &name)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        bool drop = false;
        for (const char *prefix :
             {"DISPLAY=", "QT_QPA_PLATFORM=", "QT_LOGGING_RULES=", "HOME=", "XDG_", "DBUS_SESSION_BUS_ADDRESS="})
            drop = drop || entry.rfind(prefix, 0) == 0;
        if (!drop)
            env.push_back(entry);
    }
    const std::string home = gWork + "/" + name;
    ::mkdir(home.c_str(), 0700);
    ::mkdir((home + "/rt").c_str(), 0700);
    env.push_back("DISPLAY=" + gDisplay);
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
    env.push_back("XDG_RUNTIME_DIR=" + home + "/rt");
    if (!gBusAddress.empty())
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + gBusAddress);
    return env;
}

void WriteFile(const std::string &path, const std::string &text)
{
    std::ofstream(path) << text;
}

pid_t StartVelmora()
{
    const std::vector<std::string> env = Environment("velmora");
    std::string dir = gWork + "/velmora/.config";
    for (const char *part : {"", "/Brindlewick", "/Velmora"}) {
        dir += part;
        ::mkdir(dir.c_str(), 0700);
    }
    WriteFile(dir + "/config.ini",
              "[CONFIG]\nTop=0\nLeft=0\nIntervalo=5\nOpacidad=255\nEjecutarInicio=False\n"
              "VerDiscosRed=False\nIdioma=0\n");
    return bench::Spawn({VELMORA_EXE}, env, -1);
}

pid_t StartConky()
{
    const std::vector<std::string> env = Environment("conky");
    std::string text;
    for (const std::string &drive : gDrives)
        text += drive + " ${fs_free " + drive + "} ${fs_bar 6,120 " + drive + "}\n";
    const std::string config = gWork + "/conky.conf";
    WriteFile(config,
              "conky.config = {\n  out_to_x = true, out_to_console = false, own_window = true,\n"
              "  own_window_type = 'normal', double_buffer = true, update_interval = 5,\n"
              "  background = false, use_xft = false,\n}\nconky.text = [[\n"
                  + text + "]]\n");
    return bench::Spawn({"/usr/bin/conky", "-c", config}, env, -1);
}

pid_t StartFloor()
{
    return bench::Spawn({FLOOR_EXE, "--tick-ms", "5000"}, Environment("floor"), -1);
}

void StartBus()
{
    int fds[2];
    if (::access("/usr/bin/dbus-daemon", X_OK) != 0 || ::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const pid_t bus = bench::Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1",
                                    "--address=unix:path=" + gWork + "/bus"},
                                   {"PATH=/usr/bin:/bin"}, -1, fds[1]);
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    while (bus > 0 && out.find('\n') == std::string::npos) {
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

void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

void BM_IdleHour(benchmark::State &state)
{
    if (gDrives.empty()) {
        state.SkipWithError("needs root and mount namespaces for its 10 tmpfs drives");
        return;
    }
    if (gDisplay.empty()) {
        state.SkipWithError("needs Xvfb (apt-get install xvfb)");
        return;
    }
    if (::access("/usr/bin/conky", X_OK) != 0) {
        state.SkipWithError("needs conky (apt-get install conky-std)");
        return;
    }
    const char *seconds = std::getenv("VELMORA_BENCH_IDLE_SECONDS");
    const int measured = seconds && std::atoi(seconds) > 0 ? std::atoi(seconds) : 180;
    for (auto _ : state) {
        const std::map<std::string, pid_t> programs = {
            {"velmora", StartVelmora()}, {"conky", StartConky()}, {"floor", StartFloor()}};
        ::sleep(15);
        std::map<std::string, Usage> before;
        for (const auto &[name, pid] : programs)
            before[name] = UsageOf(pid);
        const auto start = std::chrono::steady_clock::now();
        ::sleep(unsigned(measured));
        const double hours = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
            / 3600;
        bool allRunning = true;
        for (const auto &[name, pid] : programs) {
            allRunning = allRunning && pid > 0 && ::kill(pid, 0) == 0 && ::waitpid(pid, nullptr, WNOHANG) == 0;
            const Usage after = UsageOf(pid);
            state.counters[name + "_cpu_ms_per_h"] = (after.cpuNs - before[name].cpuNs) / 1e6 / hours;
            state.counters[name + "_wakeups_per_h"] = (after.wakeups - before[name].wakeups) / hours;
        }
        for (const auto &[name, pid] : programs)
            Stop(pid);
        if (!allRunning) {
            state.SkipWithError("a program ended before the measure did");
            return;
        }
        state.SetIterationTime(double(measured));
    }
    const auto ratio = [&](const char *what, const char *of) {
        const double base = state.counters[std::string(of) + what];
        return base > 0 ? double(state.counters[std::string("velmora") + what]) / base : 0.0;
    };
    state.counters["cpu_vs_conky"] = ratio("_cpu_ms_per_h", "conky");
    state.counters["cpu_vs_floor"] = ratio("_cpu_ms_per_h", "floor");
    state.counters["wakeups_vs_conky"] = ratio("_wakeups_per_h", "conky");
    state.counters["wakeups_vs_floor"] = ratio("_wakeups_per_h", "floor");
    state.counters["drives"] = double(gDrives.size());
}
BENCHMARK(BM_IdleHour)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    char work[] = "/tmp/velmora-bench-idle.XXXXXX";
    if (!::mkdtemp(work))
        return 1;
    gWork = work;
    if (!MountDrives(10))
        gDrives.clear();
    const pid_t xvfb = bench::StartXvfb(150, 200, gDisplay);
    if (xvfb < 0)
        gDisplay.clear();
    StartBus();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Stop(xvfb);
    if (!gBusAddress.empty())
        ::unlink((gWork + "/bus").c_str());
    for (int i = 0; i < 10; ++i)
        ::umount2((gWork + "/drives/vol" + std::to_string(i)).c_str(), MNT_DETACH);
    std::string rm = "rm -rf '" + gWork + "'";
    [[maybe_unused]] const int ignored = std::system(rm.c_str());
    return 0;
}
