// SPDX-License-Identifier: MIT
// Ejecting through UDisks2 on the system bus, where Qt has D-Bus.
#include "desktop/DriveEject.h"

#include "desktop/DesktopLog.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMap>
#include <QVariantMap>

namespace {

using TInterfaces = QMap<QString, QVariantMap>;
using TObjects = QMap<QDBusObjectPath, TInterfaces>;

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
constexpr int kTimeoutMs = 60000;

} // namespace

Q_DECLARE_METATYPE(TInterfaces)
Q_DECLARE_METATYPE(TObjects)

namespace {

// The mount points of a file system: an array of byte strings, each ending
// in a NUL.
QList<QByteArray> MountPoints(const QVariant &value)
{
    QList<QByteArray> points;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentSignature() == QLatin1String("aay"))
            argument >> points;
    } else if (value.canConvert<QList<QByteArray>>()) {
        points = value.value<QList<QByteArray>>();
    }
    for (QByteArray &point : points) {
        if (point.endsWith('\0'))
            point.chop(1);
    }
    return points;
}

QDBusMessage Call(const QString &path, const QString &interface, const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call << QVariantMap();
    return call;
}

} // namespace

TDriveEject::TDriveEject(QObject *parent) : QObject(parent)
{
    qDBusRegisterMetaType<TInterfaces>();
    qDBusRegisterMetaType<TObjects>();
}

void TDriveEject::Request(const QString &drive, TDone done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(TResult::Failed, QStringLiteral("no system bus"));
        return;
    }
    QDBusMessage list = QDBusMessage::createMethodCall(kService, kRoot,
                                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                       QStringLiteral("GetManagedObjects"));
    auto *listing = new QDBusPendingCallWatcher(bus.asyncCall(list, 10000), this);
    connect(listing, &QDBusPendingCallWatcher::finished, this, [this, listing, drive, done, bus] {
        listing->deleteLater();
        const QDBusPendingReply<TObjects> reply = *listing;
        if (reply.isError()) {
            done(ResultOfError(reply.error().name()), reply.error().message());
            return;
        }
        const TObjects objects = reply.value();
        const QByteArray wanted = drive.toUtf8();
        QString filesystem;
        QString drivePath;
        for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
            const auto fs = it->constFind(kFilesystem);
            if (fs == it->cend() || !MountPoints(fs->value(QStringLiteral("MountPoints"))).contains(wanted))
                continue;
            filesystem = it.key().path();
            drivePath = it->value(kBlock).value(QStringLiteral("Drive")).value<QDBusObjectPath>().path();
            break;
        }
        if (filesystem.isEmpty()) {
            done(TResult::NotEjectable, QStringLiteral("no block device is mounted at %1").arg(drive));
            return;
        }
        const QVariantMap driveProperties = objects.value(QDBusObjectPath(drivePath)).value(kDrive);
        const bool canPowerOff = driveProperties.value(QStringLiteral("CanPowerOff")).toBool();
        const bool ejectable = driveProperties.value(QStringLiteral("Ejectable")).toBool();
        qCDebug(lcDesktop).noquote() << "eject" << drive << ": unmounting" << filesystem << "of drive"
                                     << drivePath;

        auto *unmount = new QDBusPendingCallWatcher(
            bus.asyncCall(Call(filesystem, kFilesystem, QStringLiteral("Unmount")), kTimeoutMs), this);
        connect(unmount, &QDBusPendingCallWatcher::finished, this,
                [this, unmount, drive, done, bus, drivePath, canPowerOff, ejectable] {
                    unmount->deleteLater();
                    const QDBusPendingReply<> unmounted = *unmount;
                    if (unmounted.isError()) {
                        done(ResultOfError(unmounted.error().name()), unmounted.error().message());
                        return;
                    }
                    // The file system is off; what follows releases the device.
                    QString method;
                    if (!drivePath.isEmpty() && drivePath != QLatin1String("/")) {
                        if (canPowerOff)
                            method = QStringLiteral("PowerOff");
                        else if (ejectable)
                            method = QStringLiteral("Eject");
                    }
                    if (method.isEmpty()) {
                        done(TResult::Done, {});
                        return;
                    }
                    qCDebug(lcDesktop).noquote() << "eject" << drive << ":" << method << drivePath;
                    auto *release = new QDBusPendingCallWatcher(
                        bus.asyncCall(Call(drivePath, kDrive, method), kTimeoutMs), this);
                    connect(release, &QDBusPendingCallWatcher::finished, this, [release, done] {
                        release->deleteLater();
                        const QDBusPendingReply<> released = *release;
                        // Unmounted but still powered: the drive may be pulled
                        // out safely all the same.
                        if (released.isError())
                            qCInfo(lcDesktop).noquote()
                                << "the drive stays powered:" << released.error().message();
                        done(TResult::Done, {});
                    });
                });
    });
}
