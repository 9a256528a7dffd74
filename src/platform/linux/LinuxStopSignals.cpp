// SPDX-License-Identifier: MIT
// SIGTERM, SIGINT and SIGHUP through a self-pipe.
#include "platform/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction gPrevious[3];

extern "C" void OnStopSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a wake-up; dropping this byte loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals()
{
    if (gPipe[0] >= 0)
        return;
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = std::strerror(errno);
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    m_readHandle = gPipe[0];
    struct sigaction action
    {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_active = true;
    for (int i = 0; i < 3; ++i)
        if (::sigaction(kSignals[i], &action, &gPrevious[i]) != 0)
            m_active = false;
}

StopSignals::~StopSignals()
{
    if (m_readHandle < 0)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

int StopSignals::TakeSignal()
{
    if (m_readHandle < 0)
        return 0;
    unsigned char buffer[16];
    ssize_t n;
    int last = 0;
    while ((n = ::read(m_readHandle, buffer, sizeof buffer)) > 0)
        last = buffer[n - 1];
    return last;
}

} // namespace platform
