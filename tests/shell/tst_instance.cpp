// SPDX-License-Identifier: MIT
// The program as a process: one instance per user (a second start hands over
// and exits 0, whatever its file is called), on a session bus (a private
// dbus-daemon) and without one (the lock file and the socket), a lock left by
// a killed process, an unreachable or impossible guard, and the clean end on
// SIGTERM, SIGINT and SIGHUP (the window is destroyed, exit code 0).
#include "ShellTestSupport.h"

#include "shell/ControlInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

class Instance
{
public:
    Instance(const QProcessEnvironment &env, const QString &program = QStringLiteral(VELMORA_EXE))
    {
        FProcess.setProcessEnvironment(env);
        FProcess.setProgram(program);
    }
    ~Instance()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }

    void Start() { FProcess.start(); }
    // Waits until the standard error holds text; false after ms.
    bool WaitFor(const QString &text, int ms = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!Stderr().contains(text)) {
            if (clock.elapsed() > ms || FProcess.state() == QProcess::NotRunning)
                return Stderr().contains(text);
            FProcess.waitForReadyRead(100);
        }
        return true;
    }
    bool Finish(int ms = 15000)
    {
        const bool done = FProcess.waitForFinished(ms);
        Stderr();
        return done;
    }
    // Takes text out of what was seen, so that it can be waited for again.
    void Forget(const QString &text)
    {
        Stderr();
        FErr.remove(text);
    }
    QString Stderr()
    {
        FErr += QString::fromUtf8(FProcess.readAllStandardError());
        return FErr;
    }
    QProcess &Process() { return FProcess; }

private:
    QProcess FProcess;
    QString FErr;
};

const QString kReady = QStringLiteral("first panel painted");
const QString kRaised = QStringLiteral("raise requested by a second start");

// A session bus of the test's own: dbus-daemon listening on a socket in dir,
// stopped with the object.
class PrivateBus
{
public:
    explicit PrivateBus(const QString &dir)
    {
        FDaemon.setProgram(QStringLiteral("dbus-daemon"));
        FDaemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                              QStringLiteral("--print-address=1"),
                              QStringLiteral("--address=unix:path=") + dir + QStringLiteral("/bus")});
        FDaemon.start();
        if (!FDaemon.waitForStarted(5000))
            return;
        while (!FAddress.endsWith(QLatin1Char('\n')) && FDaemon.waitForReadyRead(5000))
            FAddress += QString::fromUtf8(FDaemon.readAllStandardOutput());
        FAddress = FAddress.trimmed();
        if (!FAddress.isEmpty())
            FConnection = std::make_unique<QDBusConnection>(
                QDBusConnection::connectToBus(FAddress, QStringLiteral("test-bus-") + dir));
    }
    ~PrivateBus()
    {
        if (FConnection)
            QDBusConnection::disconnectFromBus(FConnection->name());
        FDaemon.terminate();
        if (!FDaemon.waitForFinished(5000))
            FDaemon.kill();
        FDaemon.waitForFinished(5000);
    }
    bool Running() const { return FConnection && FConnection->isConnected(); }
    QString Address() const { return FAddress; }
    // The test's own connection to the bus.
    QDBusConnection &Connection() { return *FConnection; }
    QString NameOwner()
    {
        return FConnection->interface()->serviceOwner(QString::fromLatin1(ControlInstance::kBusName)).value();
    }

private:
    QProcess FDaemon;
    QString FAddress;
    std::unique_ptr<QDBusConnection> FConnection;
};

bool MapsLibrary(qint64 pid, const QString &library)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) && QString::fromUtf8(maps.readAll()).contains(library);
}

class ProgramInstance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("rt")));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        FakeWbemFile fake(dir.filePath(QStringLiteral("wbem.txt")));
        fake.Drives({{"C:"}});
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        env.insert(QStringLiteral("VELMORA_FAKE_WBEM"), fake.Path());
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("velmora.shell.debug=true"));
        // No session bus unless a test starts its own: the lock file guards.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus")));
    }
    QString runtime() const { return dir.filePath(QStringLiteral("rt")); }
    // Starts a private session bus for the widget; false (with the reason
    // given to the test) where there is no dbus-daemon.
    bool UseOwnBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return false;
        bus = std::make_unique<PrivateBus>(dir.path());
        if (!bus->Running())
            return false;
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus->Address());
        return true;
    }

    QTemporaryDir dir;
    QProcessEnvironment env;
    std::unique_ptr<PrivateBus> bus;
};

// The hand-over with a session bus (the name on the bus guards) and without
// one (the address points nowhere: the lock file and the socket guard).
class SecondStart : public ProgramInstance, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        ProgramInstance::SetUp();
        if (GetParam() && !UseOwnBus())
            GTEST_SKIP()
                << "SKIPPED LOUDLY: no dbus-daemon for a private session bus (apt-get install dbus-daemon)";
    }
};

INSTANTIATE_TEST_SUITE_P(Bus, SecondStart, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "OnASessionBus" : "WithoutASessionBus";
                         });

TEST_P(SecondStart, HandsOverAndExitsZeroWhateverItIsCalled)
{
    Instance first(env);
    first.Start();
    ASSERT_TRUE(first.WaitFor(kReady)) << first.Stderr().toStdString();
    // The lock file guards with a bus and without one; no network library
    // is loaded for it.
    EXPECT_TRUE(QFile::exists(runtime() + QStringLiteral("/velmora.lock")));
    EXPECT_TRUE(QFile::exists(runtime() + QStringLiteral("/velmora.socket")));
    if (GetParam()) {
        EXPECT_FALSE(bus->NameOwner().isEmpty()) << "the name is not taken on the bus";
    }
    EXPECT_FALSE(MapsLibrary(first.Process().processId(), QStringLiteral("libQt6Network")));

    // The same program under another file name.
    const QString renamed = dir.filePath(QStringLiteral("widget-copy"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_EXE), renamed));
    for (const QString &program : {QStringLiteral(VELMORA_EXE), renamed}) {
        Instance second(env, program);
        second.Start();
        ASSERT_TRUE(second.Finish()) << "the second start must not stay";
        EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.Process().exitCode(), 0);
        EXPECT_FALSE(second.Stderr().contains(kReady)) << "the second start shows no window";
        EXPECT_FALSE(second.Stderr().contains(QStringLiteral("Otra instancia")));
        EXPECT_TRUE(first.WaitFor(kRaised, 5000));
        first.Forget(kRaised);
    }
    EXPECT_EQ(first.Process().state(), QProcess::Running);
}

// What a desktop's launcher does with the name: Activate brings the widget to
// the front, an action it does not have is refused, and a killed instance
// leaves the name free for the next start.
TEST_F(ProgramInstance, NameOnTheSessionBus)
{
    if (!UseOwnBus())
        GTEST_SKIP() << "SKIPPED LOUDLY: no dbus-daemon for a private session bus (apt-get install dbus-daemon)";
    const QString name = QString::fromLatin1(ControlInstance::kBusName);
    const QString path = QString::fromLatin1(ControlInstance::kBusPath);
    const QString application = QStringLiteral("org.freedesktop.Application");
    {
        Instance killed(env);
        killed.Start();
        ASSERT_TRUE(killed.WaitFor(kReady)) << killed.Stderr().toStdString();

        QDBusMessage activate = QDBusMessage::createMethodCall(name, path, application,
                                                               QStringLiteral("Activate"));
        activate << QVariantMap();
        EXPECT_EQ(bus->Connection().call(activate, QDBus::Block, 5000).type(), QDBusMessage::ReplyMessage);
        EXPECT_TRUE(killed.WaitFor(kRaised, 5000));

        QDBusMessage action = QDBusMessage::createMethodCall(name, path, application,
                                                             QStringLiteral("ActivateAction"));
        action << QStringLiteral("quit") << QVariantList() << QVariantMap();
        const QDBusMessage refused = bus->Connection().call(action, QDBus::Block, 5000);
        EXPECT_EQ(refused.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(killed.Process().state(), QProcess::Running);

        killed.Process().kill();
        killed.Finish();
    }
    Instance next(env);
    next.Start();
    EXPECT_TRUE(next.WaitFor(kReady)) << next.Stderr().toStdString();
    EXPECT_FALSE(bus->NameOwner().isEmpty());
}

// Another program of the user that owns the name on the bus keeps the widget
// from nothing: with the lock file free it runs, says that the name is taken,
// and a second start still finds it.
TEST_F(ProgramInstance, NameHeldByAnotherProgramDoesNotKeepTheWidgetFromStarting)
{
    if (!UseOwnBus())
        GTEST_SKIP() << "SKIPPED LOUDLY: no dbus-daemon for a private session bus (apt-get install dbus-daemon)";
    ASSERT_TRUE(bus->Connection().registerService(QString::fromLatin1(ControlInstance::kBusName)));
    Instance widget(env);
    widget.Start();
    ASSERT_TRUE(widget.WaitFor(kReady)) << widget.Stderr().toStdString();
    EXPECT_TRUE(widget.Stderr().contains(QStringLiteral("on the session bus is held by another program")))
        << widget.Stderr().toStdString();
    EXPECT_FALSE(widget.Stderr().contains(QStringLiteral("Otra instancia")));

    Instance second(env);
    second.Start();
    ASSERT_TRUE(second.Finish());
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_FALSE(second.Stderr().contains(kReady));
    EXPECT_TRUE(widget.WaitFor(kRaised, 5000));
    EXPECT_EQ(widget.Process().state(), QProcess::Running);
}

// A widget started with a session bus is found by a start without one, and
// by a start after the bus died: one widget, one writer of the settings file.
TEST_F(ProgramInstance, StartsWithoutTheBusFindTheWidgetStartedWithIt)
{
    if (!UseOwnBus())
        GTEST_SKIP() << "SKIPPED LOUDLY: no dbus-daemon for a private session bus (apt-get install dbus-daemon)";
    Instance first(env);
    first.Start();
    ASSERT_TRUE(first.WaitFor(kReady)) << first.Stderr().toStdString();
    ASSERT_FALSE(bus->NameOwner().isEmpty());

    QProcessEnvironment noBus = env;
    noBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                 QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus")));
    const auto secondStart = [&](const QProcessEnvironment &environment, const char *what) {
        SCOPED_TRACE(what);
        Instance second(environment);
        second.Start();
        ASSERT_TRUE(second.Finish()) << "a second widget runs: " << second.Stderr().toStdString();
        EXPECT_EQ(second.Process().exitCode(), 0);
        EXPECT_FALSE(second.Stderr().contains(kReady));
        EXPECT_TRUE(first.WaitFor(kRaised, 5000));
        first.Forget(kRaised);
    };
    secondStart(noBus, "no bus");
    const QString address = bus->Address();
    bus.reset();
    QProcessEnvironment deadBus = env;
    deadBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    secondStart(deadBus, "the bus gone");
    EXPECT_EQ(first.Process().state(), QProcess::Running);
}

TEST_F(ProgramInstance, EndSignalsCloseTheWindowAndExitZero)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        Instance widget(env);
        widget.Start();
        ASSERT_TRUE(widget.WaitFor(kReady)) << widget.Stderr().toStdString();
        ::kill(pid_t(widget.Process().processId()), sig);
        ASSERT_TRUE(widget.Finish());
        EXPECT_EQ(widget.Process().exitStatus(), QProcess::NormalExit) << "signal " << sig;
        EXPECT_EQ(widget.Process().exitCode(), 0) << "signal " << sig;
        EXPECT_TRUE(widget.Stderr().contains(QStringLiteral("window destroyed"))) << "signal " << sig;
    }
}

TEST_F(ProgramInstance, LockOfAKilledInstanceDoesNotBlockTheNextStart)
{
    {
        Instance killed(env);
        killed.Start();
        ASSERT_TRUE(killed.WaitFor(kReady));
        killed.Process().kill();
        killed.Finish();
    }
    ASSERT_TRUE(QFile::exists(runtime() + QStringLiteral("/velmora.lock"))) << "the lock stays behind";
    Instance next(env);
    next.Start();
    EXPECT_TRUE(next.WaitFor(kReady)) << next.Stderr().toStdString();
    EXPECT_EQ(next.Process().state(), QProcess::Running);
}

TEST_F(ProgramInstance, RunningInstanceThatCannotBeReached)
{
    Instance first(env);
    first.Start();
    ASSERT_TRUE(first.WaitFor(kReady));
    ASSERT_TRUE(QFile::remove(runtime() + QStringLiteral("/velmora.socket")));
    Instance second(env);
    second.Start();
    ASSERT_TRUE(second.Finish());
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_TRUE(second.Stderr().contains(QStringLiteral("Otra instancia ya se está ejecutando.")))
        << second.Stderr().toStdString();
}

// Without a runtime folder another local user who takes /tmp/velmora-<uid>
// first (a file, or a folder open to all) cannot keep the widget from
// starting, nor from finding its running instance.
TEST_F(ProgramInstance, NameTakenInTmpDoesNotStopAStartWithoutARuntimeFolder)
{
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("XDG_STATE_HOME"));
    const QString taken = QStringLiteral("/tmp/velmora-%1").arg(::getuid());
    if (QFileInfo::exists(taken) || QFileInfo(taken).isSymLink())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << taken.toStdString() << " exists already";
    QFile squatter(taken);
    ASSERT_TRUE(squatter.open(QIODevice::WriteOnly));
    squatter.close();
    const auto remove = qScopeGuard([&taken] { QFile::remove(taken); });

    Instance first(env);
    first.Start();
    ASSERT_TRUE(first.WaitFor(kReady)) << first.Stderr().toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral(".local/state/velmora/velmora.lock"))));
    Instance second(env);
    second.Start();
    ASSERT_TRUE(second.Finish());
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_TRUE(first.WaitFor(QStringLiteral("raise requested by a second start"), 5000));
}

TEST_F(ProgramInstance, GuardThatCannotBeCreatedExitsOne)
{
    // Nobody, root included, can create files in /proc.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/proc"));
    Instance widget(env);
    widget.Start();
    ASSERT_TRUE(widget.Finish());
    EXPECT_EQ(widget.Process().exitCode(), 1);
    EXPECT_TRUE(widget.Stderr().contains(QStringLiteral("No se pudo crear el mutex de instancia única.")))
        << widget.Stderr().toStdString();
    EXPECT_FALSE(widget.Stderr().contains(kReady));
}

} // namespace
