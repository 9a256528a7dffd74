// SPDX-License-Identifier: MIT
#include "desktop/DesktopNotifier.h"

#include "desktop/DesktopLog.h"

#include <QSystemTrayIcon>

TDesktopNotifier::TDesktopNotifier(QSystemTrayIcon *tray, QObject *parent) : QObject(parent), FTray(tray) {}

void TDesktopNotifier::ShowInTray(const QString &title, const QString &text)
{
    qCDebug(lcDesktop).noquote() << "notice shown by the tray icon:" << title << "-" << text;
    if (FTray && QSystemTrayIcon::supportsMessages())
        FTray->showMessage(title, text, QSystemTrayIcon::Warning);
}
