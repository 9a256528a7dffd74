// SPDX-License-Identifier: MIT
// Texts from translations and drive names are shown as written, never as
// markup: the tool tips of the tray icon, of menu items and labels (Qt takes
// a tool tip that looks like a tag for rich text), and the body of a desktop
// notification on a server that reads markup. The tool tips are shown by
// Qt's own tool tip window and read back as it presents them; the
// notification goes over a private session bus to python3-dbusmock's
// notification server, which logs what it got.
#include "ShellTestSupport.h"

#include "shell/LowSpaceNotice.h"
#include "vcl/ActnList.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "vcl/TrayIcon.h"

#include <QAccessible>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QToolTip>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr QChar kZeroWidthSpace(0x200B);

// What Qt's tool tip window presents for text: its accessible name is the
// visible text (markup rendered away).
QString ShownToolTip(const QString &text)
{
    QWidget anchor;
    anchor.resize(50, 20);
    anchor.show();
    QToolTip::showText(anchor.mapToGlobal(QPoint(5, 5)), text, &anchor);
    QString shown = QStringLiteral("(no tool tip shown)");
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible()) {
            if (QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w))
                shown = a->text(QAccessible::Name);
        }
    }
    QToolTip::hideText();
    return shown;
}

TEST(PlainTexts, HintsFromTranslationsShowTheirTagsLiterally)
{
    TestApp();
    // The offscreen platform says at every tool tip that it cannot raise it.
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (!message.contains(QLatin1String("does not support raise()")))
                previous(type, context, message);
        });
    struct Holder
    {
        const char *what;
        // Sets the hint, gives back the hint as read and the tool tip shown.
        std::function<std::pair<QString, QString>(const QString &)> set;
    };
    const Holder holders[] = {
        {"tray icon",
         [](const QString &hint) {
             TTrayIcon tray;
             tray.SetHint(hint);
             return std::pair(tray.Hint(), tray.toolTip());
         }},
        {"menu item",
         [](const QString &hint) {
             TMenuItem item;
             item.SetHint(hint);
             return std::pair(item.Hint(), item.toolTip());
         }},
        {"menu item of an action",
         [](const QString &hint) {
             TAction action;
             TMenuItem item;
             item.SetAction(&action);
             action.SetHint(hint);
             return std::pair(item.Hint(), item.toolTip());
         }},
        {"label",
         [](const QString &hint) {
             TLabel label;
             label.SetHint(hint);
             return std::pair(label.Hint(), label.toolTip());
         }},
    };
    const QString hints[] = {
        QStringLiteral("<b>x</b>"),
        QStringLiteral("<font color=red><b>Idioma</b></font>"),
        QStringLiteral("  <img src=\"/usr/share/pixmaps/debian-logo.png\"> Idioma"),
        QStringLiteral("&lt;b&gt;"),
        QStringLiteral("<!DOCTYPE html><p>x"),
        QStringLiteral("/media/ana/<i>Fotos</i>\nsegunda <b>línea</b>"),
        QStringLiteral("Idioma para la aplicación"),
        QStringLiteral("a < b > c"),
    };
    for (const Holder &holder : holders) {
        for (const QString &hint : hints) {
            SCOPED_TRACE(std::string(holder.what) + ": " + hint.toStdString());
            const auto [read, toolTip] = holder.set(hint);
            EXPECT_EQ(read.toStdString(), hint.toStdString());
            // Whoever reads it as plain text reads the hint.
            EXPECT_EQ(QString(toolTip).remove(kZeroWidthSpace).toStdString(), hint.toStdString());
            // Qt's tool tip shows it with its tags.
            EXPECT_EQ(ShownToolTip(toolTip).remove(kZeroWidthSpace).toStdString(), hint.toStdString());
        }
    }
    // An ordinary hint is passed on untouched.
    TTrayIcon tray;
    tray.SetHint(QStringLiteral("Velmora: 3 unidades"));
    EXPECT_EQ(tray.toolTip().toStdString(), "Velmora: 3 unidades");
    qInstallMessageHandler(previous);
}

// A private session bus with dbusmock's notification server; stopped with
// the object.
class NotificationServer
{
public:
    NotificationServer()
    {
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                              {QStringLiteral("-c"), QStringLiteral("import dbusmock")})
            != 0) {
            FMissing = QStringLiteral("python3-dbusmock is not installed");
            return;
        }
        FBus.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!FBus.waitForStarted(5000) || !FBus.waitForReadyRead(5000)) {
            FMissing = QStringLiteral("dbus-daemon does not start (Debian package dbus-daemon)");
            return;
        }
        FAddress = QString::fromUtf8(FBus.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", FAddress.toUtf8());
    }
    ~NotificationServer()
    {
        Stop();
        FBus.terminate();
        FBus.waitForFinished(5000);
    }
    QString Missing() const { return FMissing; }

    // Starts the server announcing these capabilities.
    bool Start(const QString &capabilities)
    {
        Stop();
        FLog = FDir.filePath(QStringLiteral("notifications-%1.log").arg(++FRuns));
        FServer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FServer.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--session"),
                       QStringLiteral("--template"), QStringLiteral("notification_daemon"), QStringLiteral("-p"),
                       QStringLiteral("{\"capabilities\": \"%1\"}").arg(capabilities), QStringLiteral("-l"),
                       FLog});
        // Up once its name is on the bus.
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QProcess ask;
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.Notifications")});
            ask.waitForFinished(2000);
            if (ask.readAllStandardOutput().contains("boolean true"))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    // The log line of the first Notify call, waited for a few seconds.
    QString NotifyLine()
    {
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QFile log(FLog);
            if (log.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : log.readAll().split('\n'))
                    if (line.contains(" Notify "))
                        return QString::fromUtf8(line);
            }
        }
        return QString();
    }

private:
    void Stop()
    {
        if (FServer.state() == QProcess::NotRunning)
            return;
        FServer.terminate();
        FServer.waitForFinished(5000);
    }

    QString FMissing;
    QString FAddress;
    QProcess FBus;
    QProcess FServer;
    QTemporaryDir FDir;
    QString FLog;
    int FRuns = 0;
};

TEST(PlainTexts, ADriveNameInANotificationIsTextOnServersThatReadMarkup)
{
    NotificationServer server; // before the first use of the session bus
    if (!server.Missing().isEmpty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << server.Missing().toStdString();
    TestApp();
    const QString title = QStringLiteral("Poco espacio en <b>disco</b>");
    const QString text = QStringLiteral("Queda poco espacio en /media/<b>x</b> & co: 1 MB disponibles");
    struct Case
    {
        QString capabilities;
        QString body; // as the server must get it
    };
    const Case cases[] = {
        {QStringLiteral("body body-markup"),
         QStringLiteral("Queda poco espacio en /media/&lt;b&gt;x&lt;/b&gt; &amp; co: 1 MB disponibles")},
        {QStringLiteral("body"), text},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.capabilities.toStdString());
        ASSERT_TRUE(server.Start(c.capabilities));
        TDesktopNotifier notifier(nullptr);
        notifier.Notify(title, text);
        const QString line = server.NotifyLine();
        EXPECT_TRUE(line.contains(QLatin1Char('"') + title + QStringLiteral("\" \"") + c.body + QLatin1Char('"')))
            << line.toStdString();
    }
}

} // namespace
