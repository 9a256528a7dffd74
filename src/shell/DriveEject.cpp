// SPDX-License-Identifier: MIT
#include "shell/DriveEject.h"

#include "shell/ShellLog.h"

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
    qCDebug(lcShell).noquote() << "eject" << drive << "requested";
    if (platform::EjectThroughDiskService()) {
        EjectThroughDiskService(drive, std::move(done));
        return;
    }
    const platform::TEjectOutcome outcome = platform::EjectVolume(drive.toStdString());
    done(outcome.Result, QString::fromStdString(outcome.Detail));
}
