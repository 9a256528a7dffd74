// SPDX-License-Identifier: MIT
// The program as a process: one instance per user (a second start hands over
// and exits 0, whatever its file is called), a lock left by a killed process,
// an unreachable or impossible guard, and the clean end on SIGTERM, SIGINT
// and SIGHUP (the window is destroyed, exit code 0).
#include "ShellTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

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
    }
    QString runtime() const { return dir.filePath(QStringLiteral("rt")); }

    QTemporaryDir dir;
    QProcessEnvironment env;
};

TEST_F(ProgramInstance, SecondStartHandsOverAndExitsZeroWhateverItIsCalled)
{
    Instance first(env);
    first.Start();
    ASSERT_TRUE(first.WaitFor(kReady)) << first.Stderr().toStdString();

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
    }
    EXPECT_TRUE(first.WaitFor(QStringLiteral("raise requested by a second start"), 5000));
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
