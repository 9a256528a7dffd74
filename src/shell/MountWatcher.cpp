// SPDX-License-Identifier: MIT
#include "shell/MountWatcher.h"

#include "shell/ShellLog.h"

#include <QSocketNotifier>
#include <QTimer>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

TMountWatcher::TMountWatcher(const QString &path, QObject *parent) : QObject(parent)
{
    FCoalesce = std::make_unique<QTimer>();
    FCoalesce->setSingleShot(true);
    FCoalesce->setInterval(CoalesceMs);
    connect(FCoalesce.get(), &QTimer::timeout, this, &TMountWatcher::Changed);
#ifndef Q_OS_WIN
    FFd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (FFd < 0) {
        qCInfo(lcShell) << "cannot watch" << path << ":" << strerror(errno);
        return;
    }
    Drain();
    // Qt's poll-based dispatcher waits for POLLPRI on an Exception notifier.
    FNotifier = std::make_unique<QSocketNotifier>(FFd, QSocketNotifier::Exception);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        Drain();
        // Not restarted by each change: under constant churn (a mount every
        // few milliseconds) a restarted timer would never fire.
        if (!FCoalesce->isActive())
            FCoalesce->start();
    });
#else
    Q_UNUSED(path);
#endif
}

TMountWatcher::~TMountWatcher()
{
    FNotifier.reset();
#ifndef Q_OS_WIN
    if (FFd >= 0)
        ::close(FFd);
#endif
}

void TMountWatcher::Drain()
{
#ifndef Q_OS_WIN
    // Reading the table to its end acknowledges the change.
    char buffer[8192];
    if (::lseek(FFd, 0, SEEK_SET) < 0)
        return;
    while (::read(FFd, buffer, sizeof buffer) > 0) {
    }
#endif
}
