// SPDX-License-Identifier: MIT
// Single instance on Linux: no system object guards a session, so the shell
// takes its name on the session bus, or without a bus a lock file and the
// local socket here, in InstanceDirectory().
#include "platform/SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

struct SystemInstanceGuard::State
{};

SystemInstanceGuard::SystemInstanceGuard() = default;
SystemInstanceGuard::~SystemInstanceGuard() = default;

SystemInstanceGuard::Check SystemInstanceGuard::Acquire()
{
    return Check::NotProvided;
}

void SystemInstanceGuard::Release() {}

namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseReply[] = "ok\n";
// A request or a reply is one short line; more is not ours.
constexpr std::size_t kLongestLine = 64;

bool SocketAddress(const std::string &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Waits until fd is ready for events or the deadline passed.
bool WaitUntil(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(left.count()));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

InstanceSocketServer::~InstanceSocketServer()
{
    Close();
}

bool InstanceSocketServer::Listen(const std::string &path, std::string &error)
{
    Close();
    sockaddr_un address;
    if (!SocketAddress(path, address)) {
        error = "the path is too long for a socket";
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::unlink(path.c_str());
    // The folder is closed to others already; the socket file is too.
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void InstanceSocketServer::Close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_path.c_str());
    m_path.clear();
}

int InstanceSocketServer::Accept()
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

InstanceSocketServer::Request InstanceSocketServer::ReadRequest(int fd, std::string &received)
{
    char buffer[kLongestLine + 1];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Request::Incomplete;
        if (n <= 0)
            return Request::Refused;
        received.append(buffer, std::size_t(n));
        if (const std::size_t end = received.find('\n'); end != std::string::npos) {
            if (received != kRaiseRequest)
                return Request::Refused;
            ::send(fd, kRaiseReply, sizeof kRaiseReply - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            return Request::Raise;
        }
        if (received.size() > kLongestLine)
            return Request::Refused;
    }
}

void InstanceSocketServer::CloseConnection(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool AskInstanceToRaise(const std::string &path, int timeoutMs)
{
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const auto deadline = [timeoutMs] {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    };
    bool ok = false;
    // A full backlog makes connect() fail with EAGAIN: try again until the
    // time is up.
    auto until = deadline();
    int rc;
    while ((rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address)) != 0
           && (errno == EAGAIN || errno == EINTR) && std::chrono::steady_clock::now() < until)
        ::usleep(10000);
    if (rc == 0 || errno == EINPROGRESS) {
        until = deadline();
        std::size_t sent = 0;
        const std::size_t length = sizeof kRaiseRequest - 1;
        while (sent < length && WaitUntil(fd, POLLOUT, until)) {
            const ssize_t n = ::send(fd, kRaiseRequest + sent, length - sent, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            if (n > 0)
                sent += std::size_t(n);
        }
        std::string reply;
        until = deadline();
        while (sent == length && reply.find('\n') == std::string::npos && reply.size() <= kLongestLine
               && WaitUntil(fd, POLLIN, until)) {
            char buffer[kLongestLine + 1];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                break;
            if (n > 0)
                reply.append(buffer, std::size_t(n));
        }
        ok = reply == kRaiseReply;
    }
    ::close(fd);
    return ok;
}

std::string InstanceDirectory()
{
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st
        {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
            return runtime;
    }
    // Without a runtime directory: the user's own state folder
    // ($XDG_STATE_HOME, else ~/.local/state), which no other user can take
    // first as they could a name in /tmp. Each folder on the way is created
    // closed to others; the last one is used only when it is ours and not a
    // link.
    std::string base;
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
        base = state;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || *home != '/') {
            const passwd *entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : nullptr;
        }
        if (!home || *home != '/')
            return {};
        base = std::string(home) + "/.local/state";
    }
    for (std::size_t slash = base.find('/', 1); slash != std::string::npos; slash = base.find('/', slash + 1))
        ::mkdir(base.substr(0, slash).c_str(), 0700);
    ::mkdir(base.c_str(), 0700);
    const std::string dir = base + "/velmora";
    ::mkdir(dir.c_str(), 0700);
    struct stat st
    {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0)
        return {};
    return dir;
}

std::string InstanceWindowTitle()
{
    return {};
}

void WriteDiagnostic(const std::string &text)
{
    std::fputs(text.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace platform
