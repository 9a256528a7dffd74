// SPDX-License-Identifier: MIT
// The notice as a desktop notification (freedesktop Notifications on the
// session bus), where Qt has D-Bus.
#include "shell/LowSpaceNotice.h"

#include "shell/ShellLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

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
