// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;

// One message on the desktop: a freedesktop notification on the session bus
// (org.freedesktop.Notifications), or the tray icon's own message where no
// notification server answers (and on Windows, the tray balloon).
class TDesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit TDesktopNotifier(QSystemTrayIcon *tray, QObject *parent = nullptr);
    void Notify(const QString &title, const QString &text);

private:
    void ShowInTray(const QString &title, const QString &text);
    // The notification itself, with the body as the server reads it.
    void Send(const QString &title, const QString &text, const QString &body);
    QPointer<QSystemTrayIcon> FTray;
};
