// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/DriveType.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// What a refresh found for one drive: its figures as the query gave them and
// how its panel shows it. The window hands the drives of every refresh out in
// the order of its panels (TFormMain::Refreshed); whoever needs a drive's
// state listens there instead of reading the panels.
struct TDriveState
{
    QString Name;
    platform::TDriveType Kind = platform::TDriveType::Unknown;
    std::optional<quint64> Free; // bytes the user can write; none when the drive gave no figure
    std::optional<quint64> Size;
    // The bar in its error colour: 90 % of the drive or more in use.
    bool Full = false;
    // The panel takes room in the window: not left out for its kind, by the
    // network option or by the user.
    bool Shown = false;
    // What the drive history keys and judges a drive by, as the query gave
    // it: the file system's identity (UUID, volume serial number), its kind,
    // mounted read-only.
    QString VolumeSerialNumber;
    QString FileSystem;
    bool ReadOnly = false;
    // The drives are this machine's own, not another machine's.
    bool Local = true;
    // The drive's inodes run out (the drive history tells): it counts as
    // Full as well.
    bool InodesOut = false;
};
using TDriveStates = QList<TDriveState>;
