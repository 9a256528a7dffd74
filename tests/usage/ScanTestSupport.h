// SPDX-License-Identifier: MIT
#pragma once

// What the scanner suites share: running velmora-scan and du side by side
// (optionally as the unprivileged user "nobody", for whom permissions count),
// bounded in time, and building trees of files with the shapes that make
// counting space hard.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace scantest {

struct CommandResult
{
    int exitCode = -1; // -1: did not finish in time (killed) or could not start
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs argv (argv[0] a full path), as "nobody" when asNobody and we are root,
// and kills it after timeout. A process stuck in a hung file system only
// ends once that file system's server is gone: onTimeout (if given) is
// called after the kill to see to that.
inline CommandResult RunCommand(std::vector<std::string> argv, bool asNobody = false,
                                std::chrono::milliseconds timeout = std::chrono::seconds(120),
                                const std::function<void()> &onTimeout = {})
{
    if (asNobody && ::geteuid() == 0)
        argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    CommandResult result;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        std::vector<char *> args;
        for (std::string &a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, int(std::min<long long>(left.count(), 1000))) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, std::size_t(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd &p : fds)
        if (p.fd >= 0)
            ::close(p.fd);
    if (result.timedOut && onTimeout)
        onTimeout();
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!result.timedOut && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

// The lines of text, sorted.
inline std::vector<std::string> SortedLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The number at the start of the last line ("12345\t/path").
inline std::string LastTotal(const std::string &text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const std::size_t start = trimmed.rfind('\n');
    const std::string line = start == std::string::npos ? trimmed : trimmed.substr(start + 1);
    return line.substr(0, line.find('\t'));
}

// Building trees: every helper fails the test on an error.
inline void MakeFolder(const std::string &path, mode_t mode = 0755)
{
    ASSERT_EQ(::mkdir(path.c_str(), mode), 0) << path << ": " << std::strerror(errno);
    ::chmod(path.c_str(), mode); // past the umask
}

inline void WriteFile(const std::string &path, std::size_t size, char fill = 'x')
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    const std::string block(std::min<std::size_t>(size, 1 << 20), fill);
    for (std::size_t left = size; left > 0;) {
        const std::size_t n = std::min(left, block.size());
        ASSERT_EQ(::write(fd, block.data(), n), ssize_t(n));
        left -= n;
    }
    ::close(fd);
}

// A file of length size with data only in its last byte (a hole before it).
inline void WriteSparseFile(const std::string &path, off_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    ASSERT_EQ(::pwrite(fd, "z", 1, size - 1), 1);
    ::close(fd);
}

} // namespace scantest
