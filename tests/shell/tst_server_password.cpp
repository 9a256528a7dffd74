// SPDX-License-Identifier: MIT
// A server's password in a real keyring: gnome-keyring's Secret Service on a
// private session bus of the test's own. Kept, found for its user and server
// only, replaced, forgotten; the answers come back on the caller's thread
// while the window's thread keeps running.
#include "ShellTestSupport.h"

#include "shell/ServerPassword.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>

namespace {

// dbus-daemon and gnome-keyring-daemon (secrets only, its login keyring made
// and unlocked with a password given on its standard input: an empty one
// would send it looking for a prompt) in dir; both stopped with the object.
class PrivateKeyring
{
public:
    explicit PrivateKeyring(const QString &dir)
    {
        FBus.setProgram(QStringLiteral("dbus-daemon"));
        FBus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1"),
                           QStringLiteral("--address=unix:path=") + dir + QStringLiteral("/bus")});
        FBus.start();
        if (!FBus.waitForStarted(5000))
            return;
        while (!FAddress.endsWith(QLatin1Char('\n')) && FBus.waitForReadyRead(5000))
            FAddress += QString::fromUtf8(FBus.readAllStandardOutput());
        FAddress = FAddress.trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FAddress);
        env.insert(QStringLiteral("HOME"), dir);
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
        FKeyring.setProcessEnvironment(env);
        FKeyring.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FKeyring.setProgram(QStringLiteral("gnome-keyring-daemon"));
        FKeyring.setArguments(
            {QStringLiteral("--foreground"), QStringLiteral("--components=secrets"), QStringLiteral("--unlock")});
        FKeyring.start();
        if (!FKeyring.waitForStarted(5000))
            return;
        FKeyring.write("login-keyring");
        FKeyring.waitForBytesWritten(5000);
        FKeyring.closeWriteChannel();
        // Ready once it owns the Secret Service's name on the bus.
        QProcess ask;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--bus=") + FAddress, QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.secrets")});
            ask.waitForFinished(5000);
            if (ask.readAllStandardOutput().contains("boolean true")) {
                FReady = true;
                return;
            }
            QThread::msleep(50);
        }
    }
    ~PrivateKeyring()
    {
        for (QProcess *p : {&FKeyring, &FBus}) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
            p->waitForFinished(5000);
        }
    }
    bool Ready() const { return FReady; }
    QString State()
    {
        return QStringLiteral("keyring daemon %1, said: %2")
            .arg(FKeyring.state() == QProcess::Running ? QStringLiteral("running") : QStringLiteral("ended"),
                 QString::fromLocal8Bit(FKeyring.readAll()));
    }
    QString Address() const { return FAddress; }

private:
    QProcess FBus;
    QProcess FKeyring;
    QString FAddress;
    bool FReady = false;
};

struct Answer
{
    QString password;
    QString error;
};

Answer LookUp(const QString &server, const QString &user)
{
    QObject context;
    std::optional<Answer> answer;
    ServerPassword::Lookup(&context, server, user, [&](const QString &password, const QString &error) {
        answer = Answer{password, error};
    });
    const QDeadlineTimer deadline(20000);
    while (!answer && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return answer.value_or(Answer{QString(), QStringLiteral("no answer")});
}

QString Wait(const std::function<void(QObject *, ServerPassword::TDone)> &call)
{
    QObject context;
    std::optional<QString> result;
    call(&context, [&](const QString &error) { result = error; });
    const QDeadlineTimer deadline(20000);
    while (!result && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return result.value_or(QStringLiteral("no answer"));
}

} // namespace

TEST(ServerPassword, KeptFoundReplacedAndForgottenInARealKeyring)
{
    TestApp();
    for (const char *tool : {"dbus-daemon", "gnome-keyring-daemon", "dbus-send"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << "SKIPPED LOUDLY: " << tool
                         << " is not installed (apt-get install gnome-keyring dbus-daemon)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PrivateKeyring keyring(dir.path());
    ASSERT_TRUE(keyring.Ready()) << "gnome-keyring did not come up on the private bus: "
                                 << keyring.State().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", keyring.Address().toUtf8());

    const QString server = QStringLiteral("http://127.0.0.1:9090");
    const QString other = QStringLiteral("https://mon.example.org");
    EXPECT_EQ(Wait([&](QObject *c, ServerPassword::TDone d) {
                  ServerPassword::Store(c, server, QStringLiteral("ann"), QStringLiteral("pä ss:1"), d);
              }).toStdString(),
              "");
    struct Case
    {
        QString server;
        const char *user;
        const char *password;
    };
    const Case kept[] = {
        {server, "ann", "pä ss:1"},
        {server, "bob", ""}, // another user of the same server
        {other, "ann", ""},  // the same user on another server
    };
    for (const Case &c : kept) {
        const Answer a = LookUp(c.server, QString::fromLatin1(c.user));
        EXPECT_EQ(a.error.toStdString(), "") << c.user;
        EXPECT_EQ(a.password.toStdString(), std::string(c.password)) << c.user << " on " << c.server.toStdString();
    }
    // A new password replaces the old one.
    EXPECT_EQ(Wait([&](QObject *c, ServerPassword::TDone d) {
                  ServerPassword::Store(c, server, QStringLiteral("ann"), QStringLiteral("second"), d);
              }).toStdString(),
              "");
    EXPECT_EQ(LookUp(server, QStringLiteral("ann")).password.toStdString(), "second");
    // Forgotten; forgetting again is no error.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Wait([&](QObject *c, ServerPassword::TDone d) {
                      ServerPassword::Remove(c, server, QStringLiteral("ann"), d);
                  }).toStdString(),
                  "");
    const Answer gone = LookUp(server, QStringLiteral("ann"));
    EXPECT_EQ(gone.password.toStdString(), "");
    EXPECT_EQ(gone.error.toStdString(), "");
}
