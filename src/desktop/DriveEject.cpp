// SPDX-License-Identifier: MIT
#include "desktop/DriveEject.h"

#include "desktop/DesktopLog.h"

TDriveEject::TResult TDriveEject::ResultOfError(const QString &errorName)
{
    if (errorName == QLatin1String("org.freedesktop.UDisks2.Error.DeviceBusy"))
        return TResult::Busy;
    if (errorName.startsWith(QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorized"))
        || errorName == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
        return TResult::NotAllowed;
    if (errorName == QLatin1String("org.freedesktop.UDisks2.Error.NotSupported"))
        return TResult::NotEjectable;
    return TResult::Failed;
}

void TDriveEject::Eject(const QString &drive, TDone done)
{
    qCDebug(lcDesktop).noquote() << "eject" << drive << "requested";
    Request(drive, std::move(done));
}
