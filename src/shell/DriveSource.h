// SPDX-License-Identifier: MIT
#pragma once

#include "settings/RemoteSource.h"

#include <QList>
#include <QString>

class TFrameDrive;
class TWMISQL;

// Where the window's drives come from: this machine, or another machine's
// drives through a Prometheus server (Host, User and Consulta in the settings
// file). Another machine's source that does not answer ends nothing: its
// panels are greyed with the reason and keep their last figures until it
// answers again.
class TDriveSource
{
public:
    // Host, User and Consulta of the settings file, given to the query.
    void Read(TWMISQL *query);
    bool IsRemote() const { return FSource.IsRemote(); }

    // A query starts: the source is taken to answer until it fails.
    void QueryStarts() { FFallen = false; }
    // The query failed with message: true when the drives come from another
    // machine, whose panels are then greyed (the failure is no fault of the
    // window's); false for this machine's drives.
    bool QueryFailed(const QString &message, const QList<TFrameDrive *> &frames);
    // The last query of another machine's drives failed.
    bool Fallen() const { return FFallen; }

    // Greys the panel with reason, or (empty reason) gives it its colours
    // back; logs each change.
    static void ShowState(TFrameDrive *frame, const QString &reason);

private:
    TRemoteSource FSource;
    bool FFallen = false;
};
