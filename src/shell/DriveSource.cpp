// SPDX-License-Identifier: MIT
#include "shell/DriveSource.h"

#include "panels/PanelFailure.h"
#include "panels/frDisco.h"
#include "shell/ShellLog.h"
#include "wmi/CWMISQL.h"

void TDriveSource::Read(TWMISQL *query)
{
    FSource = TRemoteSource::Read();
    if (FSource.IsRemote()) {
        query->SetHost(FSource.Host);
        query->SetUser(FSource.User);
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
