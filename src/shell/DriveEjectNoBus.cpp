// SPDX-License-Identifier: MIT
// Without D-Bus in Qt (the Windows build) there is no disk service to ask:
// the system's own eject request does the work.
#include "shell/DriveEject.h"

TDriveEject::TDriveEject(QObject *parent) : QObject(parent) {}

void TDriveEject::EjectThroughDiskService(const QString &, TDone done)
{
    done(TResult::Failed, QStringLiteral("no disk service"));
}
