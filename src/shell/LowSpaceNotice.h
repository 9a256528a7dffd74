// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

class QSystemTrayIcon;

// Which drives have just become full: a drive is told about when it enters
// the full state (the panel's bar in its error colour), and not again until
// it has left that state. The first look only notes what is full already;
// a drive the user hid is noted but never told about; a drive that went
// away is forgotten.
class TLowSpaceWatch
{
public:
    struct TDrive
    {
        QString Name;
        bool Full = false;
        bool Hidden = false;
    };

    // The names to tell about now, in the order given.
    QStringList Update(const QList<TDrive> &drives);

private:
    bool FStarted = false;
    QSet<QString> FFull;
};

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
