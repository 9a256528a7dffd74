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

// Every hidden name comes back, exactly that one: names that differ only in
// letter case each keep their own entry, and names no key can hold are
// written in a form a value can.
TEST_F(HiddenDrivesTest, EveryNameComesBackExactly)
{
    Put(kConfig);
    const QStringList names = {"/x/case", "/x/CASE",      "/mnt/a=b", ";x",  "[y",
                               " z",      "/line\nbreak", "~1",       "/ok", "/x/case"};
    QStringList leftOut;
    ASSERT_TRUE(THiddenDrives::Write(Path(), names, &leftOut));
    EXPECT_TRUE(leftOut.isEmpty()) << Std(leftOut.join(u','));
    EXPECT_EQ(ReadAll(Path()).mid(kConfig.size()).toStdString(),
              "\n\n[OCULTAS]\n"
              "/x/case=True\n"
              "~2=%/x/CASE\n"
              "~3=%/mnt/a=b\n"
              "~4=%;x\n"
              "~5=%[y\n"
              "~6=%%20z\n"
              "~7=%/line%0Abreak\n"
              "~1=True\n"
              "/ok=True\n");
    QStringList once = names;
    once.removeLast();
    EXPECT_EQ(THiddenDrives::Read(Path()), once);
    // Written again unchanged, the file stays byte for byte.
    const QByteArray before = ReadAll(Path());
    THiddenDrives::Write(Path(), THiddenDrives::Read(Path()));
    EXPECT_EQ(ReadAll(Path()), before);
}

TEST_F(HiddenDrivesTest, EncodedEntriesWrittenByHand)
{
    struct Case
    {
        const char *what;
        QByteArray section;
        QStringList hidden;
    };
    const Case cases[] = {
        {"encoded and plain", "~1=%/x/CASE\n/x/case=1\n", {"/x/CASE", "/x/case"}},
        {"escapes in either case", "~9=%/a%3db%25\n", {"/a=b%"}},
        {"UTF-8 bytes escaped", "~1=%/caf%C3%A9\n", {QString::fromUtf8("/caf\xC3\xA9")}},
        {"not marked", "~1=/x\n~2=yes\n", {}},
        {"a mark without a name", "~1=%\n", {}},
        {"the mark on a plain key", "/x=%/y\n", {}},
        {"one name twice", "/x=True\n~1=%/x\n", {"/x"}},
    };
    for (const Case &c : cases) {
        Put(kConfig + "[OCULTAS]\n" + c.section);
        EXPECT_EQ(THiddenDrives::Read(Path()), c.hidden) << c.what;
    }
}

// Whether the file exists tells the next start that the widget has been set
// up (no question about starting with the session, the options read from
// it): hiding a drive or showing it again never creates it, nor empties it.
TEST_F(HiddenDrivesTest, NoFileIsCreatedOrEmptied)
{
    EXPECT_FALSE(THiddenDrives::Write(Path(), {"/media/stick"}));
    EXPECT_FALSE(THiddenDrives::Write(Path(), {}));
    EXPECT_FALSE(QFileInfo::exists(Path()));

    Put(kConfig);
    ASSERT_TRUE(THiddenDrives::Write(Path(), {"/media/stick"}));
    ASSERT_TRUE(THiddenDrives::Write(Path(), {}));
    EXPECT_EQ(ReadAll(Path()), kConfig);
}

// However many drives are hidden, the file stays one the next start reads:
// the names past the bound are left out (hidden until the widget ends) and
// the options stay.
TEST_F(HiddenDrivesTest, TheSectionIsBoundedAndTheFileStaysReadable)
{
    Put(kConfig);
    QStringList names;
    for (int i = 0; i < 6000; ++i)
        names << QStringLiteral("/media/%1/").arg(i, 5, 10, QLatin1Char('0')) + QString(240, u'x');
    QStringList leftOut;
    ASSERT_TRUE(THiddenDrives::Write(Path(), names, &leftOut));
    const QByteArray written = ReadAll(Path());
    EXPECT_LE(written.size() - kConfig.size(), THiddenDrives::MaxSectionBytes);
    EXPECT_FALSE(leftOut.isEmpty());
    const QStringList read = THiddenDrives::Read(Path());
    EXPECT_EQ(read + leftOut, names) << "the first names are kept, the rest told";

    const TConfigValues values = TConfig::ReadValues(Path(), TConfigValues{});
    EXPECT_TRUE(TConfig::LastWarning().isEmpty()) << Std(TConfig::LastWarning());
    EXPECT_EQ(values.Top, 40);
    EXPECT_FALSE(values.EjecutarInicio);
    EXPECT_FALSE(QFileInfo::exists(Path() + QStringLiteral(".bad")));

    // Nor does any other write make a file the next start would set aside:
    // it is refused and the file stays as it was.
    QStringList keys;
    QStringList texts;
    for (int i = 0; i < 4000; ++i) {
        keys << QStringLiteral("k%1").arg(i);
        texts << QString(250, u'v');
    }
    EXPECT_ANY_THROW(TConfig::SaveOptionValues(Path(), QStringLiteral("MAS"), keys, texts));
    EXPECT_EQ(ReadAll(Path()), written);
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
