// SPDX-License-Identifier: MIT
#include "shell/DriveSource.h"

#include "panels/PanelFailure.h"
#include "panels/frDisco.h"
#include "shell/ServerPassword.h"
#include "shell/ShellLog.h"
#include "wmi/CWMISQL.h"

void TDriveSource::Read(TWMISQL *query, std::function<void()> passwordArrived)
{
    FSource = TRemoteSource::Read();
    if (!FHostForThisRun.isEmpty()) {
        // The file's user belongs to the file's server; this one's password
        // comes from ~/.netrc.
        FSource.Host = FHostForThisRun;
        FSource.User.clear();
    }
    if (FSource.IsRemote()) {
        query->SetHost(FSource.Host);
        query->SetUser(FSource.User);
        // The password comes from the desktop's keyring when it keeps one
        // for that user on that server, from ~/.netrc otherwise; the
        // queries before the keyring answers go without.
        if (!FSource.User.isEmpty()) {
            ServerPassword::Lookup(query, FSource.Host, FSource.User,
                                   [query, passwordArrived](const QString &password, const QString &error) {
                                       if (!error.isEmpty())
                                           qCInfo(lcShell).noquote() << error;
                                       if (password.isEmpty())
                                           return;
                                       query->SetPassword(password);
                                       if (passwordArrived)
                                           passwordArrived();
                                   });
        }
    }
    if (!FSource.Consulta.isEmpty())
        query->SetSQL(FSource.Consulta);
    if (FSource.IsRemote() || !FSource.Consulta.isEmpty())
        qCDebug(lcShell).noquote() << "drive source:" << (FSource.IsRemote() ? FSource.ShownHost() : query->Host())
                                   << "query:" << query->SQL();
}

bool TDriveSource::QueryFailed(const QString &message, const QList<TFrameDrive *> &frames)
{
    if (!FSource.IsRemote())
        return false;
    FFallen = true;
    qCInfo(lcShell).noquote() << "drive source" << FSource.ShownHost() << "failed:" << message;
    for (TFrameDrive *frame : frames)
        ShowState(frame, message);
    return true;
}

void TDriveSource::ShowState(TFrameDrive *frame, const QString &reason)
{
    const QString shown = PanelFailure::Reason(frame);
    if (reason == shown)
        return;
    if (reason.isEmpty()) {
        PanelFailure::Clear(frame);
        qCDebug(lcShell).noquote() << "panel" << frame->Nombre() << "answering again";
    } else {
        PanelFailure::Show(frame, reason);
        qCDebug(lcShell).noquote() << "panel" << frame->Nombre() << "greyed:" << reason;
    }
}
