// SPDX-License-Identifier: MIT
#include "SettingsTestUtil.h"

#include "settings/RegistryApp.h"
#include "vcl/Exception.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace {

class AutostartTest : public ::testing::Test
{
protected:
    QTemporaryDir FHome;
    QTemporaryDir FPrograms;
    ScopedEnv FXdg{"XDG_CONFIG_HOME", FHome.path().toUtf8()};

    ~AutostartTest() override { TRegistryApp::SetProgramFileName(QString()); }

    // Creates an (empty) program file at FPrograms/ARelative and makes it the
    // program the entry starts.
    QString UseProgram(const QString &ARelative)
    {
        const QString path = FPrograms.path() + u'/' + ARelative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteAll(path, "#!/bin/sh\n");
        TRegistryApp::SetProgramFileName(path);
        return path;
    }

    QString AutostartDir() const { return FHome.path() + QStringLiteral("/autostart"); }

    QStringList AutostartEntries() const
    {
        return QDir(AutostartDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

TEST_F(AutostartTest, EntryIsCreatedReplacedAndRemoved)
{
    const QString first = UseProgram(QStringLiteral("bin/velmora"));
    const QString entry = AutostartDir() + QStringLiteral("/velmora.desktop");
    EXPECT_EQ(Std(TRegistryApp::EntryLocation(first)), Std(entry));

    TRegistryApp::ExecuteOnIni(true);
    EXPECT_EQ(ReadAll(entry).toStdString(),
              Std(QStringLiteral("[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Velmora\n"
                                 "Exec=")
                  + first + u'\n'));
    TRegistryApp::ExecuteOnIni(true);
    EXPECT_EQ(AutostartEntries(), QStringList{QStringLiteral("velmora.desktop")});

    // Same program name in another folder: the one entry now starts it.
    const QString moved = UseProgram(QStringLiteral("other/velmora"));
    TRegistryApp::ExecuteOnIni(true);
    EXPECT_EQ(AutostartEntries(), QStringList{QStringLiteral("velmora.desktop")});
    EXPECT_TRUE(ReadAll(entry).endsWith(("Exec=" + moved + "\n").toUtf8()));

    TRegistryApp::ExecuteOnIni(false);
    EXPECT_TRUE(AutostartEntries().isEmpty());
    // Removing what is not there is no error.
    EXPECT_NO_THROW(TRegistryApp::ExecuteOnIni(false));
}

TEST_F(AutostartTest, ExecLineQuotesAPathWithBlanksQuotesAndDollar)
{
    UseProgram(QStringLiteral("My \"Apps\" $HOME/velmora.bin"));
    TRegistryApp::ExecuteOnIni(true);
    const QByteArray text = ReadAll(AutostartDir() + QStringLiteral("/velmora.desktop"));
    const QString expected = QStringLiteral("Exec=\"") + FPrograms.path()
        + QStringLiteral("/My \\\\\"Apps\\\\\" \\\\$HOME/velmora.bin\"\n");
    EXPECT_TRUE(text.endsWith(expected.toUtf8())) << text.toStdString() << "\nexpected " << Std(expected);
}

// A real launcher (GLib's, through gio) must start the program the entry
// names. ("%" is left out: GLib checks that the program exists before it
// undoes "%%", so it refuses such entries whatever their quoting.)
TEST_F(AutostartTest, GioLaunchesTheEntryOfAPathWithReservedCharacters)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "needs gio (libglib2.0-bin): launching the entry NOT tested";
    const QString program = UseProgram(QStringLiteral("My \"Apps\" $HOME `id` a\\b (x)/velmora"));
    const QString marker = FPrograms.path() + QStringLiteral("/marker");
    WriteAll(program, ("#!/bin/sh\nprintf '%s' \"$0\" > '" + marker + "'\n").toUtf8());
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    TRegistryApp::ExecuteOnIni(true);
    QProcess launch;
    launch.start(gio, {QStringLiteral("launch"), AutostartDir() + QStringLiteral("/velmora.desktop")});
    ASSERT_TRUE(launch.waitForFinished(30000));
    ASSERT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().toStdString();
    for (int i = 0; i < 100 && !QFileInfo::exists(marker); ++i)
        QThread::msleep(50);
    EXPECT_EQ(ReadAll(marker).toStdString(), Std(program));
}

TEST(EntryName, IsTheFileNameWithoutFolderAndExtension)
{
    const struct
    {
        QString Path;
        QString Name;
    } cases[] = {
        {"/opt/Tools/Widget.exe", "Widget"}, {"/usr/bin/velmora", "velmora"}, {"/opt/my.tool.bin", "my.tool"},
        {"/opt/dir.d/prog", "prog"},         {"/opt/.velmora", ".velmora"},   {"velmora.AppImage", "velmora"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Std(TRegistryApp::EntryName(c.Path)), Std(c.Name)) << Std(c.Path);
}

TEST_F(AutostartTest, MissingProgramFileChangesNothing)
{
    TRegistryApp::SetProgramFileName(FPrograms.path() + QStringLiteral("/gone/velmora"));
    TRegistryApp::ExecuteOnIni(true);
    EXPECT_FALSE(QFileInfo::exists(AutostartDir()));
}

TEST_F(AutostartTest, RenamedProgramLeavesTheOldEntry)
{
    UseProgram(QStringLiteral("velmora"));
    TRegistryApp::ExecuteOnIni(true);
    UseProgram(QStringLiteral("velmora-2"));
    TRegistryApp::ExecuteOnIni(false);
    EXPECT_EQ(AutostartEntries(), QStringList{QStringLiteral("velmora.desktop")});
}

TEST_F(AutostartTest, UnwritableEntryRaisesFailedToSetData)
{
    UseProgram(QStringLiteral("velmora.bin"));
    // A regular file where the autostart folder should be: fails for root too.
    WriteAll(AutostartDir(), "in the way");
    QString message;
    try {
        TRegistryApp::ExecuteOnIni(true);
    } catch (const Exception &e) {
        message = e.Message();
    }
    EXPECT_EQ(Std(message), "Failed to set data for 'velmora'");
    EXPECT_EQ(ReadAll(AutostartDir()), QByteArray("in the way"));
}

} // namespace

namespace {

// An entry written by a build folder that was deleted afterwards, then the
// program started from where it is installed now.
TEST_F(AutostartTest, EntryOfAGoneProgramIsRenewedForTheRunningOne)
{
    const QString built = UseProgram(QStringLiteral("build/src/shell/velmora"));
    TRegistryApp::ExecuteOnIni(true);
    ASSERT_TRUE(QDir(FPrograms.path() + QStringLiteral("/build")).removeRecursively());
    const QString installed = UseProgram(QStringLiteral("usr/bin/velmora"));

    EXPECT_TRUE(TRegistryApp::RenewStaleEntry());
    const QString entry = AutostartDir() + QStringLiteral("/velmora.desktop");
    EXPECT_TRUE(ReadAll(entry).endsWith(("Exec=" + installed + "\n").toUtf8())) << ReadAll(entry).toStdString();
    EXPECT_FALSE(ReadAll(entry).contains(built.toUtf8()));
    EXPECT_EQ(AutostartEntries(), QStringList{QStringLiteral("velmora.desktop")});
    // Renewed once: the entry now starts a program that is there.
    EXPECT_FALSE(TRegistryApp::RenewStaleEntry());
}

TEST_F(AutostartTest, EntriesThatAreNotStaleAreLeftAlone)
{
    const QString entry = AutostartDir() + QStringLiteral("/velmora.desktop");
    struct Case
    {
        const char *what;
        QByteArray text; // empty: no entry at all
    };
    const QString other = UseProgram(QStringLiteral("other/velmora"));
    const Case cases[] = {
        {"no entry", QByteArray()},
        {"a program that is there", "[Desktop Entry]\nType=Application\nExec=" + other.toUtf8() + "\n"},
        {"a program found on the search path", "[Desktop Entry]\nExec=velmora\n"},
        {"no Exec line", "[Desktop Entry]\nName=Velmora\n"},
        {"an unclosed quote", "[Desktop Entry]\nExec=\"/gone/velmora\n"},
    };
    UseProgram(QStringLiteral("usr/bin/velmora"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(entry);
        if (!c.text.isEmpty()) {
            QDir().mkpath(AutostartDir());
            WriteAll(entry, c.text);
        }
        EXPECT_FALSE(TRegistryApp::RenewStaleEntry());
        if (c.text.isEmpty())
            EXPECT_FALSE(QFileInfo::exists(entry));
        else
            EXPECT_EQ(ReadAll(entry), c.text);
    }
}

TEST_F(AutostartTest, RunningProgramNotOnDiskRenewsNothing)
{
    QDir().mkpath(AutostartDir());
    const QByteArray stale = "[Desktop Entry]\nExec=/gone/build/velmora\n";
    WriteAll(AutostartDir() + QStringLiteral("/velmora.desktop"), stale);
    TRegistryApp::SetProgramFileName(FPrograms.path() + QStringLiteral("/also-gone/velmora"));
    EXPECT_FALSE(TRegistryApp::RenewStaleEntry());
    EXPECT_EQ(ReadAll(AutostartDir() + QStringLiteral("/velmora.desktop")), stale);
}

} // namespace
