// SPDX-License-Identifier: MIT
#include "shell/SessionEnd.h"

#include "shell/ShellLog.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction gPrevious[3];

extern "C" void OnEndSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a wake-up; dropping this byte loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}
#endif

} // namespace

TSessionEnd::TSessionEnd(QObject *parent) : QObject(parent)
{
#ifndef Q_OS_WIN
    if (gPipe[0] >= 0)
        return;
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcShell) << "no pipe for the end signals:" << strerror(errno);
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    FNotifier = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TSessionEnd::ReadSignals);
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    FActive = true;
    for (int i = 0; i < 3; ++i)
        if (::sigaction(kSignals[i], &action, &gPrevious[i]) != 0)
            FActive = false;
#endif
}

TSessionEnd::~TSessionEnd()
{
#ifndef Q_OS_WIN
    if (!FNotifier)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    FNotifier.reset();
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
#endif
}

void TSessionEnd::ReadSignals()
{
#ifndef Q_OS_WIN
    unsigned char buffer[16];
    ssize_t n;
    int last = 0;
    while ((n = ::read(gPipe[0], buffer, sizeof buffer)) > 0)
        last = buffer[n - 1];
    if (last) {
        qCDebug(lcShell) << "end signal" << last;
        emit EndRequested(last);
    }
#endif
}
