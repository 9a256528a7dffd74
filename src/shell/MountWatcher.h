// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

// Tells when the mount table changes. The kernel marks /proc/self/mountinfo
// with POLLPRI (and POLLERR) after every mount, unmount or remount; the file
// must be read again to clear the mark. Bursts (a stick with several
// partitions) are coalesced into one Changed signal.
class TMountWatcher : public QObject
{
    Q_OBJECT

public:
    // path: the mount table to watch (another file only in tests).
    explicit TMountWatcher(const QString &path = QStringLiteral("/proc/self/mountinfo"),
                           QObject *parent = nullptr);
    ~TMountWatcher() override;

    // False when the table could not be opened: the widget then relies on its
    // refresh timer alone.
    bool IsWatching() const { return FFd >= 0; }

    static constexpr int CoalesceMs = 150;

signals:
    void Changed();

private:
    void Drain();

    int FFd = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::unique_ptr<QTimer> FCoalesce;
};
