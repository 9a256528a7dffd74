// SPDX-License-Identifier: MIT
// What the whole-program benchmarks share: starting a program with a given
// environment, a private Xvfb for its windows, and the median of the runs.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

// Starts args[0] (a full path) with exactly env; standard output and error go
// to the given descriptors, or to /dev/null when they are negative.
inline pid_t Spawn(const std::vector<std::string> &args, const std::vector<std::string> &env, int stderrFd,
                   int stdoutFd = -1)
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
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    else
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

// An Xvfb on the first free display of [first, last); its pid (display set),
// or -1 without Xvfb or a free number.
inline pid_t StartXvfb(int first, int last, std::string &display)
{
    if (::access("/usr/bin/Xvfb", X_OK) != 0)
        return -1;
    for (int n = first; n < last; ++n) {
        const std::string number = std::to_string(n);
        const std::string lock = "/tmp/.X" + number + "-lock";
        if (::access(lock.c_str(), F_OK) == 0)
            continue;
        display = ":" + number;
        const pid_t server = Spawn({"/usr/bin/Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                                   {"PATH=/usr/bin:/bin"}, -1);
        const std::string socket = "/tmp/.X11-unix/X" + number;
        for (int i = 0; i < 100 && ::access(socket.c_str(), F_OK) != 0; ++i)
            ::usleep(50000);
        ::usleep(200000);
        return server;
    }
    return -1;
}

// User and system time of a process so far, in milliseconds; 0 when unknown.
inline double CpuMs(pid_t pid)
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

struct RunResult
{
    bool ok = false;
    double ms = 0;    // start to the marker, on the clock
    double cpuMs = 0; // the program's CPU time up to the marker
    long maxRssKib = 0;
    std::string error;
};

// Starts program with env and times it until marker appears on its standard
// error (at most timeout); lingers after the marker, so that what the program
// does right after counts towards its peak memory, then ends it with SIGTERM.
inline RunResult RunUntilMarker(const std::string &program, const std::vector<std::string> &env,
                                const char *marker, std::chrono::seconds timeout,
                                std::chrono::milliseconds linger = std::chrono::milliseconds(0))
{
    using Clock = std::chrono::steady_clock;
    RunResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    const auto start = Clock::now();
    const pid_t pid = Spawn({program}, env, fds[1]);
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        result.error = "cannot start " + program;
        return result;
    }
    std::string seen;
    char buffer[4096];
    const auto deadline = start + timeout;
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
    if (result.ok && linger.count() > 0)
        ::usleep(useconds_t(linger.count() * 1000));
    ::kill(pid, SIGTERM);
    // Keep draining so that the child never blocks on a full pipe.
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
        result.error = "no \"" + std::string(marker) + "\" from " + program + ": " + seen.substr(0, 400);
    return result;
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace bench
