// SPDX-License-Identifier: MIT
#include "shell/LowSpaceNotice.h"

#include "shell/ShellLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSystemTrayIcon>
#include <QVariantMap>

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

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

TDesktopNotifier::TDesktopNotifier(QSystemTrayIcon *tray, QObject *parent) : QObject(parent), FTray(tray) {}

void TDesktopNotifier::ShowInTray(const QString &title, const QString &text)
{
    qCDebug(lcShell).noquote() << "notice shown by the tray icon:" << title << "-" << text;
    if (FTray && QSystemTrayIcon::supportsMessages())
        FTray->showMessage(title, text, QSystemTrayIcon::Warning);
}

void TDesktopNotifier::Notify(const QString &title, const QString &text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        ShowInTray(title, text);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    call << QStringLiteral("Velmora") << uint(0) << QStringLiteral("drive-harddisk") << title << text
         << QStringList() << hints << int(-1);
    // Asynchronous: a server that hangs must not stop the window. Where no
    // server runs (and none can be started by the bus) the call comes back
    // with an error, and the tray icon tells it instead.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, text] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            qCInfo(lcShell).noquote() << "the notification server refused the notice:" << reply.error().message();
            ShowInTray(title, text);
            return;
        }
        qCDebug(lcShell).noquote() << "notice" << reply.value() << "sent to the notification server:" << text;
    });
}
