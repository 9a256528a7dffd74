// SPDX-License-Identifier: MIT
#pragma once

#include "settings/OtherMachines.h"
#include "settings/RemoteSource.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TFrameDrive;
class TWMISQL;

// Where the window's drives come from: this machine (or, with Host in
// section CONFIG, the machines of one Prometheus server instead), and beside
// it every server of the list of other machines (section MAQUINAS), each
// with its own query; `velmora --host URL` replaces them all for one run.
// The users' passwords come from the desktop's keyring or ~/.netrc.
//
// A server that does not answer ends nothing: its panels are greyed with the
// reason and keep their last figures until it answers again; the other
// sources' panels go on as before.
class TDriveSource
{
public:
    // One source: its query and what it answered last.
    struct TSource
    {
        TWMISQL *Query = nullptr;
        std::unique_ptr<TWMISQL> OwnQuery; // for the servers of the list
        bool Remote = false;
        // The server as messages and the heading show it (no password).
        QString ShownHost;
        // The property texts of its last answer, in its order; they stay
        // while it fails.
        QStringList Texts;
        // Why its last query failed; empty when it answered.
        QString Failure;
        // A server of the list: asked without waiting (the window shows its
        // last answer, the next refresh or its first answer shows the new one).
        bool Listed = false;
    };

    TDriveSource();
    ~TDriveSource();

    // Reads the settings file: Host, User and Consulta of section CONFIG go
    // to query (the window's own); a host for this run (SetHostForThisRun)
    // takes the place of the file's Host and User and of the list of other
    // machines. A password that the keyring gives later is handed to its
    // query, and then passwordArrived runs (on the window's thread).
    void Read(TWMISQL *query, std::function<void()> passwordArrived = {});
    // A Prometheus server for this run only (velmora --host): never written.
    void SetHostForThisRun(const QString &host) { FHostForThisRun = host; }
    QString HostForThisRun() const { return FHostForThisRun; }

    // The list of other machines as read, and a new one to use from now on
    // (the caller writes it to the file).
    const TOtherMachines &Machines() const { return FMachines; }
    void SetMachines(const TOtherMachines &machines);

    // The sources shown, in the order of their panels.
    std::vector<TSource *> Sources() const;
    // True when no drive of this machine is shown (every source is a server).
    bool IsRemote() const;
    // True when any source is a server.
    bool HasRemote() const;
    // More than one source: each machine's panels come under its name.
    bool Grouped() const { return Sources().size() > 1; }
    struct TAnswers
    {
        bool AnyAnswered = false; // some source's query answered
        QString LocalFailure;     // why this machine's query failed, if it did
    };
    // Queries every source once: each one's property texts, or its failure.
    // A server of the list is never waited for: its worker answers for the
    // next refresh (or at once with its first answer). A failing server
    // keeps its last texts; this machine's failure is returned, not kept.
    TAnswers QueryAll();

    // The drive came from this machine in the last answer.
    bool IsLocalDrive(const QString &name) const { return FLocalNames.contains(name); }
    // Kept by the window after every query.
    void SetLocalNames(QSet<QString> names) { FLocalNames = std::move(names); }

    // Greys the panel with reason, or (empty reason) gives it its colours
    // back; logs each change.
    static void ShowState(TFrameDrive *frame, const QString &reason);
    // The name a heading gives this machine.
    static QString ThisMachineName();

private:
    void AddServer(TSource &source, const QString &host, const QString &user);

    TRemoteSource FSource;
    TOtherMachines FMachines;
    QString FHostForThisRun;
    TWMISQL *FWindowQuery = nullptr;
    std::function<void()> FPasswordArrived;
    bool FWindowQueryShown = true;
    TSource FPrimary;
    std::vector<std::unique_ptr<TSource>> FListed;
    QSet<QString> FLocalNames;
    // Answers of the keyring for sources that are gone do not land.
    std::unique_ptr<QObject> FGuard;
};
