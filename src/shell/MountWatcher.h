// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace platform {
class MountTableWatch;
}

// Tells when the mount table changes (platform::MountTableWatch: on Linux
// the kernel marks /proc/self/mountinfo after every mount, unmount or
// remount). Bursts (a stick with several partitions) are coalesced into one
// Changed signal.
class TMountWatcher : public QObject
{
    Q_OBJECT

public:
    // path: the mount table to watch; empty for the system's own (another
    // file only in tests).
    explicit TMountWatcher(const QString &path = QString(), QObject *parent = nullptr);
    ~TMountWatcher() override;

    // False when the table could not be opened, or the system has none to
    // watch: the widget then relies on its refresh timer alone.
    bool IsWatching() const;

    static constexpr int CoalesceMs = 150;

signals:
    void Changed();

private:
    std::unique_ptr<platform::MountTableWatch> FWatch;
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::unique_ptr<QTimer> FCoalesce;
};
