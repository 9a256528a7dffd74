// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QSystemTrayIcon;

// One message on the desktop: a freedesktop notification on the session bus
// (org.freedesktop.Notifications), or the tray icon's own message where no
// notification server answers (and on Windows, the tray balloon). A message
// may carry one action: a button on the notification (where the server
// shows actions; a click on the notification itself runs it too), or a click
// on the tray icon's message.
class TDesktopNotifier : public QObject
{
    Q_OBJECT

public:
    using TAction = std::function<void()>;

    explicit TDesktopNotifier(QSystemTrayIcon *tray, QObject *parent = nullptr);
    void Notify(const QString &title, const QString &text);
    // With an action: actionText names it on the notification's button;
    // action runs on this object's thread when the user chooses it.
    void Notify(const QString &title, const QString &text, const QString &actionText, TAction action);

private:
    void ShowInTray(const QString &title, const QString &text, TAction action);
    // The notification itself, with the body as the server reads it.
    void Send(const QString &title, const QString &text, const QString &body, const QString &actionText,
              TAction action);
    // The server's ActionInvoked and NotificationClosed signals.
    Q_SLOT void ActionInvoked(uint id, const QString &key);
    Q_SLOT void NotificationClosed(uint id, uint reason);

    QPointer<QSystemTrayIcon> FTray;
    // The actions of the notifications still shown, by their ids.
    QHash<uint, TAction> FActions;
    bool FListening = false;
    // The action of the tray icon's last message.
    TAction FTrayAction;
};
