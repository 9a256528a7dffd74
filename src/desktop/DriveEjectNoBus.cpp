// SPDX-License-Identifier: MIT
// Without D-Bus in Qt (the Windows build) there is no disk service to ask:
// the system's own eject request does the work.
#include "desktop/DriveEject.h"

TDriveEject::TDriveEject(QObject *parent) : QObject(parent) {}

void TDriveEject::Request(const QString &drive, TDone done)
{
    const platform::TEjectOutcome outcome = platform::EjectVolume(drive.toStdString());
    done(outcome.Result, QString::fromStdString(outcome.Detail));
}
