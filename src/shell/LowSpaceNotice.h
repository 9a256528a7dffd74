// SPDX-License-Identifier: MIT
#pragma once

#include "desktop/DesktopNotifier.h"
#include "shell/DriveStates.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

// Which drives have just become full: a drive is told about when it enters
// the full state (the panel's bar in its error colour), and not again until
// it has left that state. The first look only notes what is full already;
// a drive the user hid is noted but never told about; a drive that went
// away is forgotten.
class TLowSpaceWatch
{
public:
    struct TDrive
    {
        QString Name;
        bool Full = false;
        bool Hidden = false;
    };

    // The names to tell about now, in the order given.
    QStringList Update(const QList<TDrive> &drives);

private:
    bool FStarted = false;
    QSet<QString> FFull;
};

// The low-space notice: follows the window's refreshes and tells the desktop
// about each drive that has just become full, with its free space.
class TLowSpaceNotice : public QObject
{
    Q_OBJECT

public:
    explicit TLowSpaceNotice(TDesktopNotifier &notifier, QObject *parent = nullptr);
    // The drives of one refresh.
    void Refreshed(const TDriveStates &drives);

private:
    TDesktopNotifier &FNotifier;
    TLowSpaceWatch FWatch;
};
