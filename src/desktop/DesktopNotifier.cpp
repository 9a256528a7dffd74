// SPDX-License-Identifier: MIT
#include "desktop/DesktopNotifier.h"

#include "desktop/DesktopLog.h"

#include <QSystemTrayIcon>

#include <utility>

TDesktopNotifier::TDesktopNotifier(QSystemTrayIcon *tray, QObject *parent) : QObject(parent), FTray(tray)
{
    // A click on the tray icon's message (the balloon on Windows) runs the
    // action of the last one.
    if (tray)
        connect(tray, &QSystemTrayIcon::messageClicked, this, [this] {
            qCDebug(lcDesktop) << "the tray icon's message was clicked";
            if (TAction action = std::exchange(FTrayAction, nullptr))
                action();
        });
}

void TDesktopNotifier::Notify(const QString &title, const QString &text)
{
    Notify(title, text, QString(), nullptr);
}

void TDesktopNotifier::ShowInTray(const QString &title, const QString &text, TAction action)
{
    qCDebug(lcDesktop).noquote() << "notice shown by the tray icon:" << title << "-" << text;
    FTrayAction = std::move(action);
    if (FTray && QSystemTrayIcon::supportsMessages())
        FTray->showMessage(title, text, QSystemTrayIcon::Warning);
}
