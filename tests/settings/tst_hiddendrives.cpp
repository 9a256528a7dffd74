// SPDX-License-Identifier: MIT
#include "settings/Config.h"
#include "settings/HiddenDrives.h"

#include "SettingsTestUtil.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class HiddenDrivesTest : public ::testing::Test
{
protected:
    QTemporaryDir FHome;
    QString Path() const { return FHome.path() + QStringLiteral("/Brindlewick/Velmora/config.ini"); }
    void Put(const QByteArray &bytes)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Path()).absolutePath()));
        WriteAll(Path(), bytes);
    }
};

// The window's seven keys, as the window writes them.
const QByteArray kConfig = "[CONFIG]\n"
                           "Top=40\n"
                           "Left=40\n"
                           "Intervalo=15\n"
                           "Opacidad=255\n"
                           "EjecutarInicio=False\n"
                           "VerDiscosRed=False\n"
                           "Idioma=0\n";

} // namespace

TEST_F(HiddenDrivesTest, ASectionOfItsOwnLeavesTheSevenKeysAsTheyAre)
{
    Put(kConfig);
    THiddenDrives::Write(Path(), {"/media/stick", "E:", "/mnt/a b"});
    const QByteArray written = ReadAll(Path());
    EXPECT_TRUE(written.startsWith(kConfig)) << written.toStdString();
    EXPECT_EQ(written.mid(kConfig.size()).toStdString(),
              "\n\n[OCULTAS]\n"
              "/media/stick=True\n"
              "E:=True\n"
              "/mnt/a b=True\n");
    EXPECT_EQ(THiddenDrives::Read(Path()), QStringList({"/media/stick", "E:", "/mnt/a b"}));
    // What an older reader sees: the same seven values.
    const TConfigValues values = TConfig::ReadValues(Path(), TConfigValues{});
    EXPECT_EQ(values.Top, 40);
    EXPECT_EQ(values.Idioma, 0);
    EXPECT_FALSE(values.VerDiscosRed);

    // Showing one again takes its key out; the last one takes the section.
    THiddenDrives::Write(Path(), {"E:"});
    EXPECT_EQ(THiddenDrives::Read(Path()), QStringList({"E:"}));
    THiddenDrives::Write(Path(), {});
    EXPECT_EQ(ReadAll(Path()).toStdString(), kConfig.toStdString());
    // The window's own write keeps a section it does not know.
    THiddenDrives::Write(Path(), {"/media/stick"});
    TConfig::WriteValues(Path(), values);
    EXPECT_EQ(THiddenDrives::Read(Path()), QStringList({"/media/stick"}));
}

TEST_F(HiddenDrivesTest, HandWrittenSectionsReadAsTheirTrueKeys)
{
    struct Case
    {
        const char *what;
        QByteArray file;
        QStringList hidden;
    };
    const Case cases[] = {
        {"no file", {}, {}},
        {"no section", kConfig, {}},
        {"false and junk values", "[ocultas]\n/a=False\n/b=0\n/c=yes please\n/d=1\n/e = true \n", {"/d", "/e"}},
        {"one name twice, by case", "[OCULTAS]\n/Media=True\n/media=True\n", {"/Media"}},
        {"not text", QByteArray("[OCULTAS]\n/a=True\n\0\xff\xfe", 16), {}},
    };
    for (const Case &c : cases) {
        QFile::remove(Path());
        if (!c.file.isNull())
            Put(c.file);
        EXPECT_EQ(THiddenDrives::Read(Path()), c.hidden) << c.what;
    }
}

TEST_F(HiddenDrivesTest, NamesNoKeyCanHoldAreLeftOutAndTold)
{
    Put(kConfig);
    QStringList leftOut;
    THiddenDrives::Write(Path(), {"/mnt/a=b", ";x", "[y", " z", "/ok", "/line\nbreak"}, &leftOut);
    EXPECT_EQ(leftOut, QStringList({"/mnt/a=b", ";x", "[y", " z", "/line\nbreak"}));
    EXPECT_EQ(THiddenDrives::Read(Path()), QStringList({"/ok"}));
}

TEST_F(HiddenDrivesTest, AFileThatCannotBeReadIsNotOverwritten)
{
    // A folder where the file should be: reading gives nothing, writing
    // raises and leaves it.
    ASSERT_TRUE(QDir().mkpath(Path()));
    EXPECT_TRUE(THiddenDrives::Read(Path()).isEmpty());
    EXPECT_ANY_THROW(THiddenDrives::Write(Path(), {"/media/stick"}));
    EXPECT_TRUE(QFileInfo(Path()).isDir());
}
