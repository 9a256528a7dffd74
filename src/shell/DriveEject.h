// SPDX-License-Identifier: MIT
#pragma once

#include "platform/DriveEject.h"

#include <QObject>
#include <QString>

#include <functional>

// Ejects a drive by its name (a mount point, or a drive letter on Windows).
// Where the desktop has a disk service on the system bus (UDisks2), the
// block device mounted there is found among its objects, its file system
// unmounted and then its drive powered off where it can be, or its medium
// ejected (optical drives); otherwise the system's own eject request does
// it. The outcome comes back through the callback once it is known, on the
// caller's thread; the calls to the bus never block the window.
class TDriveEject : public QObject
{
    Q_OBJECT

public:
    using TResult = platform::TEjectResult;
    using TDone = std::function<void(TResult result, const QString &detail)>;

    explicit TDriveEject(QObject *parent = nullptr);
    void Eject(const QString &drive, TDone done);

    // What a disk service's error name means for the user.
    static TResult ResultOfError(const QString &errorName);

private:
    void EjectThroughDiskService(const QString &drive, TDone done);
};
