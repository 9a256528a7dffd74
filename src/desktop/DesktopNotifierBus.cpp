// SPDX-License-Identifier: MIT
// The notice as a desktop notification (freedesktop Notifications on the
// session bus), where Qt has D-Bus.
#include "desktop/DesktopNotifier.h"

#include "desktop/DesktopLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

namespace {

// Servers that announce "body-markup" read the body as markup (<b>, <i>,
// <a>, <img> and entities); a drive name is text, so its "&", "<" and ">"
// are written as entities there and left alone elsewhere. The summary is
// always plain text.
QString BodyFor(const QStringList &capabilities, const QString &text)
{
    if (!capabilities.contains(QStringLiteral("body-markup")))
        return text;
    QString body;
    body.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (c == u'&')
            body += QStringLiteral("&amp;");
        else if (c == u'<')
            body += QStringLiteral("&lt;");
        else if (c == u'>')
            body += QStringLiteral("&gt;");
        else
            body += c;
    }
    return body;
}

} // namespace

void TDesktopNotifier::Notify(const QString &title, const QString &text, const QString &actionText, TAction action)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        ShowInTray(title, text, std::move(action));
        return;
    }
    if (action && !FListening) {
        FListening = bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                                 SLOT(ActionInvoked(uint, QString)))
            && bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                           SLOT(NotificationClosed(uint, uint)));
    }
    // Asynchronous: a server that hangs must not stop the window. Where no
    // server runs (and none can be started by the bus) the call comes back
    // with an error, and the tray icon tells it instead. The server's
    // capabilities first: they say how it reads the body, and whether it
    // shows actions.
    QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kService,
                                                      QStringLiteral("GetCapabilities"));
    auto *asked = new QDBusPendingCallWatcher(bus.asyncCall(ask, 5000), this);
    connect(asked, &QDBusPendingCallWatcher::finished, this, [this, asked, title, text, actionText, action] {
        asked->deleteLater();
        const QDBusPendingReply<QStringList> capabilities = *asked;
        if (capabilities.isError()) {
            qCInfo(lcDesktop).noquote() << "no notification server answers:" << capabilities.error().message();
            ShowInTray(title, text, action);
            return;
        }
        const bool actions = capabilities.value().contains(QStringLiteral("actions"));
        Send(title, text, BodyFor(capabilities.value(), text), actions ? actionText : QString(),
             actions ? action : nullptr);
    });
}

void TDesktopNotifier::Send(const QString &title, const QString &text, const QString &body,
                            const QString &actionText, TAction action)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    // The action as a button, and as what a click on the notification does
    // ("default").
    QStringList actions;
    if (action && !actionText.isEmpty())
        actions << QStringLiteral("default") << actionText << QStringLiteral("examine") << actionText;
    call << QStringLiteral("Velmora") << uint(0) << QStringLiteral("drive-harddisk") << title << body << actions
         << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, text, action] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            qCInfo(lcDesktop).noquote()
                << "the notification server refused the notice:" << reply.error().message();
            ShowInTray(title, text, action);
            return;
        }
        if (action)
            FActions.insert(reply.value(), action);
        qCDebug(lcDesktop).noquote() << "notice" << reply.value() << "sent to the notification server:" << text;
    });
}

void TDesktopNotifier::ActionInvoked(uint id, const QString &key)
{
    // Other programs' notifications come through the same signal.
    const auto found = FActions.constFind(id);
    if (found == FActions.cend())
        return;
    qCDebug(lcDesktop).noquote() << "action" << key << "of notice" << id << "chosen";
    const TAction action = *found;
    FActions.erase(found);
    if (action)
        action();
}

void TDesktopNotifier::NotificationClosed(uint id, uint)
{
    FActions.remove(id);
}
