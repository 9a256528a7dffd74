// SPDX-License-Identifier: MIT
#include "shell/LowSpaceNotice.h"

#include "shell/ShellLog.h"

#include <QSystemTrayIcon>

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

TDesktopNotifier::TDesktopNotifier(QSystemTrayIcon *tray, QObject *parent) : QObject(parent), FTray(tray) {}

void TDesktopNotifier::ShowInTray(const QString &title, const QString &text)
{
    qCDebug(lcShell).noquote() << "notice shown by the tray icon:" << title << "-" << text;
    if (FTray && QSystemTrayIcon::supportsMessages())
        FTray->showMessage(title, text, QSystemTrayIcon::Warning);
}
