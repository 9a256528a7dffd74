// SPDX-License-Identifier: MIT
#pragma once

#include "platform/DriveEject.h"

#include <QObject>
#include <QString>

#include <functional>

// Ejects a drive by its name (a mount point, or a drive letter on Windows).
// Where Qt has D-Bus (Linux) the disk service on the system bus (UDisks2)
// does it: the block device mounted there is found among its objects, its
// file system unmounted and then its drive powered off where it can be, or
// its medium ejected (optical drives). Without D-Bus (the Windows build) the
// system's own eject request does it (platform::EjectVolume, WinDriveEject). The outcome comes back through the
// callback once it is known, on the caller's thread; the calls to the bus never block the window.
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
    // The build's way of ejecting: UDisks2 (DriveEjectBus.cpp) or the
    // system's request (DriveEjectNoBus.cpp).
    void Request(const QString &drive, TDone done);
};
