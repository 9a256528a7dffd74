// SPDX-License-Identifier: MIT
#include "shell/LowSpaceNotice.h"

#include "localization/ConstantText.h"
#include "shell/ShellLog.h"

#include <QLocale>

QStringList TLowSpaceWatch::Update(const QList<TDrive> &drives)
{
    QStringList tell;
    QSet<QString> full;
    for (const TDrive &drive : drives) {
        if (!drive.Full)
            continue;
        full.insert(drive.Name);
        if (FStarted && !drive.Hidden && !FFull.contains(drive.Name) && !tell.contains(drive.Name))
            tell << drive.Name;
    }
    FFull = std::move(full);
    FStarted = true;
    return tell;
}

TLowSpaceNotice::TLowSpaceNotice(TDesktopNotifier &notifier, QObject *parent)
    : QObject(parent), FNotifier(notifier)
{}

void TLowSpaceNotice::Refreshed(const TDriveStates &drives)
{
    QList<TLowSpaceWatch::TDrive> watched;
    watched.reserve(drives.size());
    for (const TDriveState &drive : drives)
        watched.append({drive.Name, drive.Full && drive.Free.has_value(), !drive.Shown});
    for (const QString &name : FWatch.Update(watched)) {
        QString free;
        bool inodes = false;
        for (const TDriveState &drive : drives) {
            if (drive.Name.compare(name, Qt::CaseInsensitive) == 0) {
                free = QLocale().formattedDataSize(drive.Free.value_or(0), 1, QLocale::DataSizeTraditionalFormat);
                // Full for want of inodes, with space to spare.
                inodes = drive.InodesOut && drive.Size && drive.Free && *drive.Free * 10 > *drive.Size;
                break;
            }
        }
        const QString text = inodes ? ConstantText(QStringLiteral("msgPocoEspacioInodos")).arg(name, free)
                                    : ConstantText(QStringLiteral("msgPocoEspacio")).arg(name, free);
        qCDebug(lcShell).noquote() << "low-space notice:" << text;
        FNotifier.Notify(ConstantText(QStringLiteral("msgPocoEspacioTitulo")), text);
    }
}
