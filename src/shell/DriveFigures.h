// SPDX-License-Identifier: MIT
#pragma once

#include "shell/DriveStates.h"

#include <QHash>
#include <QString>

// What the refreshes read from each drive's property text: its name, free
// space and size, as text. Most drives report the same text tick after tick:
// what was read from a text is taken again instead of splitting it anew.
class TDriveFigures
{
public:
    struct TFigures
    {
        QString Name;
        QString FreeSpace;
        QString Size;
        QString DriveType;
        // Empty or "OK" for a drive whose source answers; otherwise why it
        // does not (a machine that Prometheus cannot reach).
        QString Status;
        QString ErrorDescription;
        // What the drive history keys and judges a drive by.
        QString VolumeSerialNumber;
        QString FileSystem;
        QString Access; // "1": mounted read-only
    };

    // The figures of one property text. The reference holds until the next
    // Read or EndRefresh.
    const TFigures &Read(const QString &propertyText);
    // One refresh is over: the texts it did not read are forgotten, so that
    // the cache holds no more than the drives of the last query.
    void EndRefresh();

    // A property text with every Size or FreeSpace that is no number left
    // empty, its items written back quoted so that values holding commas or
    // line breaks stay whole.
    static QString WithoutBadFigures(const QString &propertyText);

private:
    struct TEntry
    {
        TFigures Figures;
        quint64 Refresh = 0; // the last refresh that read this text
    };
    QHash<QString, TEntry> FEntries;
    quint64 FRefresh = 1;
};

// The drive as the query gave it, by the one fullness rule. A drive that gave
// no size this time keeps the last one it gave (from `last`), as its panel does.
TDriveState DriveStateOf(const TDriveFigures::TFigures &figures, const TDriveStates &last);
