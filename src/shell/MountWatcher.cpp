// SPDX-License-Identifier: MIT
#include "shell/MountWatcher.h"

#include "platform/MountWatch.h"
#include "shell/ShellLog.h"

#include <QSocketNotifier>
#include <QTimer>

TMountWatcher::TMountWatcher(const QString &path, QObject *parent) : QObject(parent)
{
    FCoalesce = std::make_unique<QTimer>();
    FCoalesce->setSingleShot(true);
    FCoalesce->setInterval(CoalesceMs);
    connect(FCoalesce.get(), &QTimer::timeout, this, &TMountWatcher::Changed);
    FWatch = std::make_unique<platform::MountTableWatch>(path.toStdString());
    if (FWatch->Handle() < 0) {
        qCInfo(lcShell) << "cannot watch" << QString::fromStdString(FWatch->Path()) << ":"
                        << FWatch->Error().c_str();
        return;
    }
    // Qt's poll-based dispatcher waits for POLLPRI on an Exception notifier.
    FNotifier = std::make_unique<QSocketNotifier>(FWatch->Handle(), QSocketNotifier::Exception);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        FWatch->Acknowledge();
        // Not restarted by each change: under constant churn (a mount every
        // few milliseconds) a restarted timer would never fire.
        if (!FCoalesce->isActive())
            FCoalesce->start();
    });
}

TMountWatcher::~TMountWatcher()
{
    // The notifier goes before the descriptor it watches.
    FNotifier.reset();
    FWatch.reset();
}

bool TMountWatcher::IsWatching() const
{
    return FWatch->Handle() >= 0;
}
