// SPDX-License-Identifier: MIT
#pragma once

#include "shell/DriveSource.h"

#include <QPointer>
#include <QString>

#include <utility>
#include <vector>

class TMachineHeading;
class TPanelColumn;

// The headings that put each machine's panels under its name when the window
// shows more than one machine: this machine's host name, the machine a
// server's drive belongs to (its SystemName), or the server itself while it
// has given nothing. Each heading is greyed with its source's failure.
class TMachineHeadings
{
public:
    explicit TMachineHeadings(TPanelColumn *column) : FColumn(column) {}

    // Removes every heading, before the panels are made again.
    void Clear();
    // Starts a source's panels: a heading at once for one with no drives.
    void BeginSource(TDriveSource::TSource *source, bool grouped);
    // Before the panel of one of the source's property texts: a heading when
    // the text belongs to another machine than the panel before it.
    void BeforePanel(TDriveSource::TSource *source, const QString &propertyText, bool grouped);
    // Greys each heading whose source fails, and clears the others.
    void ShowStates(const std::vector<TDriveSource::TSource *> &sources);

private:
    void Add(const QString &shown, TDriveSource::TSource *source, const char *note);

    TPanelColumn *FColumn;
    std::vector<std::pair<QPointer<TMachineHeading>, TDriveSource::TSource *>> FHeadings;
    QString FMachine;
    bool FFirst = true;
};
