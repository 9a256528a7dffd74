// SPDX-License-Identifier: MIT
// The single instance on the session bus, where Qt has D-Bus: the
// well-known name and the freedesktop org.freedesktop.Application interface
// (https://specifications.freedesktop.org/desktop-entry-spec/latest/dbus.html).
#include "desktop/InstanceBus.h"

#include "desktop/DesktopLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace InstanceBus {

namespace {

const QString kApplicationInterface = QStringLiteral("org.freedesktop.Application");
constexpr int kActivateTimeoutMs = 3000;

// The object at kBusPath while this process owns kBusName. The widget opens
// no files and has no actions: Activate and Open bring it to the front,
// ActivateAction is refused.
class TBusApplication : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    TBusApplication(std::function<void()> raise, QDBusConnection bus)
        : FRaise(std::move(raise)), FBus(std::move(bus))
    {}
    ~TBusApplication() override
    {
        FBus.interface()->unregisterService(QString::fromLatin1(kBusName));
        FBus.unregisterObject(QString::fromLatin1(kBusPath));
    }

public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        FRaise();
    }
    Q_SCRIPTABLE void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(uris);
        Q_UNUSED(platformData);
        FRaise();
    }
    Q_SCRIPTABLE void ActivateAction(const QString &name, const QVariantList &parameter,
                                     const QVariantMap &platformData)
    {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        sendErrorReply(QDBusError::NotSupported, QStringLiteral("no action \"%1\"").arg(name));
    }

private:
    std::function<void()> FRaise;
    QDBusConnection FBus;
};

// What the desktop gave this start for focusing a window, passed on to the
// running instance as the convention asks.
QVariantMap PlatformData()
{
    QVariantMap data;
    if (const QByteArray id = qgetenv("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(id));
    if (const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    return data;
}

} // namespace

TBusCheck AcquireBusName(std::function<void()> raise, std::unique_ptr<QObject> &busName)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return TBusCheck::NoBus;
    const QString name = QString::fromLatin1(kBusName);
    const QString path = QString::fromLatin1(kBusPath);
    // The object is there before the name, so that a second start that sees
    // the name finds the object behind it.
    auto application = std::make_unique<TBusApplication>(std::move(raise), bus);
    if (!bus.registerObject(path, application.get(), QDBusConnection::ExportScriptableSlots)) {
        qCWarning(lcDesktop).noquote() << "cannot put the application object on the session bus";
        return TBusCheck::NoBus;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        qCDebug(lcDesktop).noquote() << "instance guard: the name" << name << "on the session bus";
        busName = std::move(application);
        return TBusCheck::First;
    }
    bus.unregisterObject(path);
    application.reset();
    if (!reply.isValid()) {
        qCWarning(lcDesktop).noquote() << "the session bus refused the name" << name << ":"
                                       << reply.error().message();
        return TBusCheck::NoBus;
    }
    return TBusCheck::Taken;
}

bool ActivateOverBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName),
                                                       QString::fromLatin1(kBusPath), kApplicationInterface,
                                                       QStringLiteral("Activate"));
    call << PlatformData();
    const QDBusMessage answer = bus.call(call, QDBus::Block, kActivateTimeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return true;
    qCInfo(lcDesktop).noquote() << "the owner of the name did not answer Activate:" << answer.errorMessage();
    return false;
}

} // namespace InstanceBus

#include "InstanceBus.moc"
