// SPDX-License-Identifier: MIT
#pragma once

#include "settings/RemoteSource.h"

#include <QList>
#include <QString>

#include <functional>

class TFrameDrive;
class TWMISQL;

// Where the window's drives come from: this machine, or another machine's
// drives through a Prometheus server (Host, User and Consulta in the settings
// file; the user's password in the desktop's keyring or ~/.netrc). Another machine's source that does not answer
// ends nothing: its panels are greyed with the reason and keep their last figures until it answers again.
class TDriveSource
{
public:
    // Host, User and Consulta of the settings file, given to the query; a
    // host for this run (SetHostForThisRun) takes the place of the file's
    // Host and User. A password that the keyring gives later is handed to
    // the query, and then passwordArrived runs (on the query's thread).
    void Read(TWMISQL *query, std::function<void()> passwordArrived = {});
    // A Prometheus server for this run only (velmora --host): never written.
    void SetHostForThisRun(const QString &host) { FHostForThisRun = host; }
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
    QString FHostForThisRun;
    bool FFallen = false;
};
