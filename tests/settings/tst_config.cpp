// SPDX-License-Identifier: MIT
#include "SettingsTestUtil.h"

#include "settings/Config.h"
#include "vcl/Conversions.h"
#include "vcl/Exception.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <climits>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// Reads and writes of one key of the settings file at ConfigFileName(),
// through the described operations.
QString ReadString(const QString &ASection, const QString &AName, const QString &ADefault)
{
    return TConfig::RestoreOptionValue(TConfig::ConfigFileName(), ASection, AName, ADefault);
}

qint32 ReadInteger(const QString &ASection, const QString &AName, qint32 ADefault)
{
    return TConfig::RestoreOptionValue(TConfig::ConfigFileName(), ASection, AName, ADefault);
}

bool ReadBool(const QString &ASection, const QString &AName, bool ADefault)
{
    return vcl::StrToBoolDef(ReadString(ASection, AName, TConfig::BoolToStr(ADefault)), ADefault);
}

void WriteString(const QString &ASection, const QString &AName, const QString &AValue)
{
    TConfig::SaveOptionValues(TConfig::ConfigFileName(), ASection, {AName}, {AValue});
}

void WriteInteger(const QString &ASection, const QString &AName, qint32 AValue)
{
    WriteString(ASection, AName, QString::number(AValue));
}

void WriteBool(const QString &ASection, const QString &AName, bool AValue)
{
    WriteString(ASection, AName, TConfig::BoolToStr(AValue));
}

// A fresh $XDG_CONFIG_HOME for every test, so ConfigFileName() points into it.
class ConfigTest : public ::testing::Test
{
public:
    static TConfigValues Sample();

protected:
    QTemporaryDir FHome;
    ScopedEnv FXdg{"XDG_CONFIG_HOME", FHome.path().toUtf8()};

    QString IniPath() const { return FHome.path() + QStringLiteral("/Brindlewick/Velmora/config.ini"); }

    void PutFile(const QByteArray &ABytes)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(IniPath()).absolutePath()));
        WriteAll(IniPath(), ABytes);
    }

    QStringList FolderEntries() const
    {
        return QDir(QFileInfo(IniPath()).absolutePath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

TConfigValues ConfigTest::Sample()
{
    TConfigValues values;
    values.Top = -12;
    values.Left = 300;
    values.Intervalo = 30;
    values.Opacidad = 204;
    values.EjecutarInicio = false;
    values.VerDiscosRed = true;
    values.Idioma = 1;
    return values;
}

// The file as the widget writes it for these options, key by key in the order
// of the settings table: section header, then Key=Value lines.
const QByteArray SampleFileText = "[CONFIG]\n"
                                  "Top=-12\n"
                                  "Left=300\n"
                                  "Intervalo=30\n"
                                  "Opacidad=204\n"
                                  "EjecutarInicio=False\n"
                                  "VerDiscosRed=True\n"
                                  "Idioma=1\n";

TEST_F(ConfigTest, FileNameFollowsXdgConfigHome)
{
    EXPECT_EQ(Std(TConfig::ConfigFileName()), Std(IniPath()));
    EXPECT_EQ(TConfig::FileName(), TConfig::ConfigFileName());
    {
        ScopedEnv unset("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(Std(TConfig::ConfigFileName()),
                  Std(QDir::homePath() + QStringLiteral("/.config/Brindlewick/Velmora/config.ini")));
    }
    {
        // A relative value is invalid by the XDG rules and ignored.
        ScopedEnv relative("XDG_CONFIG_HOME", QByteArray("relative/dir"));
        EXPECT_EQ(Std(TConfig::ConfigFileName()),
                  Std(QDir::homePath() + QStringLiteral("/.config/Brindlewick/Velmora/config.ini")));
    }
    // Asking for the name creates nothing.
    EXPECT_FALSE(QFileInfo::exists(FHome.path() + QStringLiteral("/Brindlewick")));
}

TEST_F(ConfigTest, NewFileIsWrittenInTableOrderIntoMissingFolders)
{
    ASSERT_FALSE(TConfig::Exists());
    TConfig::WriteValues(Sample());
    EXPECT_TRUE(TConfig::Exists());
    EXPECT_EQ(ReadAll(IniPath()).toStdString(), SampleFileText.toStdString());
    EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("config.ini")});
}

TEST(ConfigContents, PureFormsMatchTheFileForms)
{
    QByteArray contents;
    QString error;
    ASSERT_TRUE(TConfig::WriteValuesTo(contents, ConfigTest::Sample(), &error)) << Std(error);
    EXPECT_EQ(contents.toStdString(), SampleFileText.toStdString());
    EXPECT_TRUE(TConfig::ParseValues(contents, {}, &error) == ConfigTest::Sample());
    EXPECT_TRUE(error.isEmpty());

    QByteArray bad("[CONFIG]\nTop=\xC3\x28\n");
    const QByteArray before = bad;
    EXPECT_FALSE(TConfig::WriteValuesTo(bad, ConfigTest::Sample(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(bad, before);
    TConfigValues defaults;
    defaults.Top = 3;
    EXPECT_TRUE(TConfig::ParseValues(bad, defaults, &error) == defaults);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ConfigTest, TwoSaveCallsAsTheWindowMakesThemGiveTheSameFile)
{
    const QString path = IniPath();
    TConfig::SaveOptionValues(path, QStringLiteral("CONFIG"),
                              {"Top", "Left", "Intervalo", "Opacidad", "EjecutarInicio"},
                              {"-12", "300", "30", "204", "False"});
    TConfig::SaveOptionValues(path, QStringLiteral("CONFIG"), {"VerDiscosRed", "Idioma"}, {"True", "1"});
    EXPECT_EQ(ReadAll(path).toStdString(), SampleFileText.toStdString());
}

TEST_F(ConfigTest, EveryKeyReadsBackAsWritten)
{
    TConfigValues extremes;
    extremes.Top = INT_MIN;
    extremes.Left = INT_MAX;
    extremes.Intervalo = 7;
    extremes.Opacidad = 0;
    extremes.EjecutarInicio = true;
    extremes.VerDiscosRed = false;
    extremes.Idioma = 0;
    TConfigValues negative = Sample();
    negative.Idioma = -1;
    negative.Opacidad = 255;
    for (const TConfigValues &written : {Sample(), extremes, negative}) {
        TConfig::WriteValues(written);
        TConfigValues defaults;
        defaults.Top = 1;
        defaults.Left = 2;
        defaults.Intervalo = 3;
        defaults.Opacidad = 4;
        defaults.EjecutarInicio = !written.EjecutarInicio;
        defaults.VerDiscosRed = !written.VerDiscosRed;
        defaults.Idioma = 5;
        EXPECT_TRUE(TConfig::ReadValues(defaults) == written) << ReadAll(IniPath()).toStdString();
        // The single-value operations see the same file.
        EXPECT_EQ(ReadInteger("CONFIG", "Top", 0), written.Top);
        EXPECT_EQ(ReadInteger("CONFIG", "Left", 0), written.Left);
        EXPECT_EQ(ReadInteger("CONFIG", "Intervalo", 0), written.Intervalo);
        EXPECT_EQ(TConfig::RestoreOptionValue(IniPath(), "CONFIG", "Opacidad", 0), written.Opacidad);
        EXPECT_EQ(ReadBool("CONFIG", "EjecutarInicio", !written.EjecutarInicio), written.EjecutarInicio);
        EXPECT_EQ(ReadBool("CONFIG", "VerDiscosRed", !written.VerDiscosRed), written.VerDiscosRed);
        EXPECT_EQ(ReadInteger("CONFIG", "Idioma", 9), written.Idioma);
        EXPECT_TRUE(TConfig::LastWarning().isEmpty());
    }
    // Rewriting replaces the values in place: still seven keys, one section.
    const QByteArray text = ReadAll(IniPath());
    EXPECT_EQ(text.count('\n'), 8) << text.toStdString();
}

TEST_F(ConfigTest, SingleValueWritesKeepTheOtherKeys)
{
    TConfig::WriteValues(Sample());
    WriteInteger("CONFIG", "Left", -40);
    WriteBool("CONFIG", "VerDiscosRed", false);
    WriteString("CONFIG", "Nota", QStringLiteral("  blancos alrededor  "));
    EXPECT_EQ(ReadAll(IniPath()).toStdString(),
              "[CONFIG]\n"
              "Top=-12\n"
              "Left=-40\n"
              "Intervalo=30\n"
              "Opacidad=204\n"
              "EjecutarInicio=False\n"
              "VerDiscosRed=False\n"
              "Idioma=1\n"
              "Nota=\"  blancos alrededor  \"\n");
    // Outer blanks survive through the quotes the writer puts around them.
    EXPECT_EQ(Std(ReadString("CONFIG", "Nota", "")), "  blancos alrededor  ");
}

TEST_F(ConfigTest, NoFileGivesEveryDefaultAndCreatesNothing)
{
    TConfigValues defaults = Sample();
    EXPECT_TRUE(TConfig::ReadValues(defaults) == defaults);
    EXPECT_EQ(Std(ReadString("CONFIG", "Top", "x")), "x");
    EXPECT_TRUE(TConfig::LastWarning().isEmpty());
    EXPECT_FALSE(TConfig::Exists());
    EXPECT_FALSE(QFileInfo::exists(FHome.path() + QStringLiteral("/Brindlewick")));
}

TEST_F(ConfigTest, HeaderOnlyFileGivesTheTableDefaults)
{
    PutFile("[CONFIG]\n");
    TConfigValues defaults;
    defaults.Top = 40;
    defaults.Left = 50;
    defaults.Intervalo = 10;
    EXPECT_TRUE(TConfigValues::ReadDefaults(40, 50, 10) == defaults) << "the window's defaults for reading";
    const TConfigValues read = TConfig::ReadValues(defaults);
    EXPECT_EQ(read.Top, 40);
    EXPECT_EQ(read.Left, 50);
    EXPECT_EQ(read.Intervalo, 10);
    EXPECT_EQ(read.Opacidad, 153);
    EXPECT_TRUE(read.EjecutarInicio);
    EXPECT_TRUE(read.VerDiscosRed);
    EXPECT_EQ(read.Idioma, -1);
}

TEST_F(ConfigTest, NamesMatchRegardlessOfCaseAndAreNotDuplicatedOnSave)
{
    PutFile("[config]\nverdiscosred=FALSE\nTOP=5\n");
    TConfigValues defaults;
    const TConfigValues read = TConfig::ReadValues(defaults);
    EXPECT_FALSE(read.VerDiscosRed);
    EXPECT_EQ(read.Top, 5);
    EXPECT_EQ(TConfig::RestoreOptionValue(IniPath(), "Config", "tOp", 0), 5);

    TConfig::WriteValues(Sample());
    // The existing section and keys are updated where they stand, with their
    // own spelling; the others are appended.
    EXPECT_EQ(ReadAll(IniPath()).toStdString(),
              "[config]\n"
              "verdiscosred=True\n"
              "TOP=-12\n"
              "Left=300\n"
              "Intervalo=30\n"
              "Opacidad=204\n"
              "EjecutarInicio=False\n"
              "Idioma=1\n");
    EXPECT_TRUE(TConfig::ReadValues(defaults) == Sample());
}

TEST_F(ConfigTest, ExtraKeysSectionsAndCommentsAreKept)
{
    PutFile("; written by hand\n"
            "\n"
            "[Other]\n"
            "A = 1\n"
            "\n"
            "[CONFIG]\n"
            "; the window position\n"
            "Top=1\n"
            "Extra=keep me\n");
    TConfig::WriteValues(Sample());
    // SimpleIni's layout: blank lines after the file comment and before
    // sections and commented keys; it stays the same from one save to the next.
    const std::string expected = "; written by hand\n"
                                 "\n"
                                 "\n"
                                 "[Other]\n"
                                 "A=1\n"
                                 "\n"
                                 "\n"
                                 "[CONFIG]\n"
                                 "\n"
                                 "; the window position\n"
                                 "Top=-12\n"
                                 "Extra=keep me\n"
                                 "Left=300\n"
                                 "Intervalo=30\n"
                                 "Opacidad=204\n"
                                 "EjecutarInicio=False\n"
                                 "VerDiscosRed=True\n"
                                 "Idioma=1\n";
    EXPECT_EQ(ReadAll(IniPath()).toStdString(), expected);
    TConfig::WriteValues(Sample());
    EXPECT_EQ(ReadAll(IniPath()).toStdString(), expected);
    EXPECT_EQ(Std(ReadString("Other", "A", "")), "1");
    EXPECT_EQ(Std(ReadString("CONFIG", "Extra", "")), "keep me");
    EXPECT_TRUE(TConfig::ReadValues({}) == Sample());
}

struct IntegerCase
{
    const char *Line;
    qint32 Expected;
};

class IntegerValueTest : public ConfigTest, public ::testing::WithParamInterface<IntegerCase>
{};

TEST_P(IntegerValueTest, ReadsAsTheWindowExpects)
{
    PutFile(QByteArray("[CONFIG]\n") + GetParam().Line + "\n");
    TConfigValues defaults;
    defaults.Top = 77;
    EXPECT_EQ(TConfig::ReadValues(defaults).Top, GetParam().Expected) << GetParam().Line;
    EXPECT_EQ(TConfig::RestoreOptionValue(IniPath(), "CONFIG", "Top", 77), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, IntegerValueTest,
    ::testing::Values(IntegerCase{"Top=abc", 77}, IntegerCase{"Top=", 77}, IntegerCase{"Top=12", 12},
                      IntegerCase{"Top=-12", -12}, IntegerCase{"Top=+7", 7}, IntegerCase{"Top=   -5   ", -5},
                      IntegerCase{"Top=$10", 16}, IntegerCase{"Top=0x10", 16}, IntegerCase{"Top=0X1f", 31},
                      IntegerCase{"Top=-$10", -16}, IntegerCase{"Top=$FFFFFFFF", -1},
                      IntegerCase{"Top=$100000000", 77}, IntegerCase{"Top=$", 77}, IntegerCase{"Top=0x", 77},
                      IntegerCase{"Top=-", 77}, IntegerCase{"Top=2147483647", INT_MAX},
                      IntegerCase{"Top=2147483648", 77}, IntegerCase{"Top=-2147483648", INT_MIN},
                      IntegerCase{"Top=-2147483649", 77}, IntegerCase{"Top=99999999999999999999999999", 77},
                      IntegerCase{"Top=12abc", 77}, IntegerCase{"Top=1 2", 77}, IntegerCase{"Top=1.5", 77},
                      IntegerCase{"Top=$1G", 77}, IntegerCase{"Top=\"42\"", 42}, IntegerCase{"top=8", 8},
                      IntegerCase{"Left=8", 77}));

TEST(ConfigConversion, IntegerTextAllowsLeadingBlanksOnly)
{
    EXPECT_EQ(TConfig::StrToIntDef(" \t42", 0), 42);
    EXPECT_EQ(TConfig::StrToIntDef("42 ", 0), 0);
    EXPECT_EQ(TConfig::StrToIntDef("- 4", 0), 0);
    EXPECT_EQ(TConfig::StrToIntDef(QString(), 3), 3);
}

struct BoolCase
{
    const char *Line;
    bool Default;
    bool Expected;
};

class BoolValueTest : public ConfigTest, public ::testing::WithParamInterface<BoolCase>
{};

TEST_P(BoolValueTest, ReadsAsTheWindowExpects)
{
    PutFile(QByteArray("[CONFIG]\n") + GetParam().Line + "\n");
    TConfigValues defaults;
    defaults.VerDiscosRed = GetParam().Default;
    EXPECT_EQ(TConfig::ReadValues(defaults).VerDiscosRed, GetParam().Expected) << GetParam().Line;
    EXPECT_EQ(ReadBool("CONFIG", "VerDiscosRed", GetParam().Default), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, BoolValueTest,
    ::testing::Values(BoolCase{"VerDiscosRed=0", true, false}, BoolCase{"VerDiscosRed=2", false, true},
                      BoolCase{"VerDiscosRed=-1", false, true}, BoolCase{"VerDiscosRed=0.0", true, false},
                      BoolCase{"VerDiscosRed=0.5", false, true}, BoolCase{"VerDiscosRed=yes", true, true},
                      BoolCase{"VerDiscosRed=yes", false, false}, BoolCase{"verdiscosred=FALSE", true, false},
                      BoolCase{"VerDiscosRed=True", false, true}, BoolCase{"VerDiscosRed=tRuE", false, true},
                      BoolCase{"VerDiscosRed=False", true, false}, BoolCase{"VerDiscosRed=", true, true},
                      BoolCase{"VerDiscosRed=", false, false}, BoolCase{"VerDiscosRed=nan", true, true},
                      BoolCase{"VerDiscosRed=inf", false, false}, BoolCase{"VerDiscosRed=1,000", false, false},
                      BoolCase{"VerDiscosRed=Truee", false, false}));

TEST_F(ConfigTest, LongValuesAreCutTo2047Characters)
{
    PutFile("[CONFIG]\nNota=" + QByteArray(5000, 'x') + "\n");
    EXPECT_EQ(ReadString("CONFIG", "Nota", "").size(), 2047);
}

TEST_F(ConfigTest, UnsafeNamesAndValuesAreRefusedAndChangeNothing)
{
    TConfig::WriteValues(Sample());
    const QByteArray before = ReadAll(IniPath());
    const struct
    {
        QString Section, Name, Value;
    } cases[] = {
        {"CONFIG", "Top", "1\nIdioma=5"},
        {"CONFIG", "Top", "1\rIdioma=5"},
        {"CONFIG", "Top=1", "2"},
        {"CONFIG", "", "2"},
        {"CONFIG", "[Top", "2"},
        {"CONFIG", ";Top", "2"},
        {"CONFIG", " Top", "2"},
        {"CON]FIG", "Top", "2"},
        {"", "Top", "2"},
        {"CONFIG", "Top", QString(QChar(u'\0'))},
        {"CONFIG", "Nota", "\"quoted\""},
    };
    for (const auto &c : cases) {
        EXPECT_THROW(TConfig::SaveOptionValues(IniPath(), c.Section, {c.Name}, {c.Value}), Exception)
            << Std(c.Section) << "/" << Std(c.Name);
        EXPECT_EQ(ReadAll(IniPath()), before);
    }
    EXPECT_THROW(TConfig::SaveOptionValues(IniPath(), "CONFIG", {"Top", "Left"}, {"1"}), Exception);
    EXPECT_EQ(ReadAll(IniPath()), before);
}

// The old file must survive a write that fails half-way. RLIMIT_FSIZE makes
// every write past the limit fail with EFBIG, for root too.
TEST_F(ConfigTest, FailedWriteLeavesTheOldFileIntact)
{
    const QByteArray old = "[CONFIG]\nTop=1\n";
    PutFile(old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(old.size() + 4);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString message;
    try {
        TConfig::WriteValues(Sample());
    } catch (const Exception &e) {
        message = e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(Std(message), Std(QStringLiteral("Unable to write to ") + IniPath()));
    EXPECT_EQ(ReadAll(IniPath()), old);
    EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("config.ini")});
}

// The same on a real, full file system.
TEST_F(ConfigTest, FullDiskLeavesTheOldFileIntact)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a tmpfs: full-disk case NOT tested";
    const QString mountPoint = FHome.path() + QStringLiteral("/Brindlewick");
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=64k,nr_inodes=64") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << strerror(errno) << "): full-disk case NOT tested";
    struct Unmount
    {
        QString Path;
        ~Unmount() { umount2(Path.toLocal8Bit().constData(), MNT_DETACH); }
    } unmount{mountPoint};

    const QByteArray old = "[CONFIG]\nTop=1\n";
    PutFile(old);
    {
        QFile filler(mountPoint + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {}
    }
    EXPECT_THROW(TConfig::WriteValues(Sample()), Exception);
    EXPECT_EQ(ReadAll(IniPath()), old);
    EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("config.ini")});
}

TEST_F(ConfigTest, FolderThatCannotBeCreatedRaisesTheWriteError)
{
    // A regular file where a folder of the path should be: fails for root too.
    WriteAll(FHome.path() + QStringLiteral("/Brindlewick"), "not a folder");
    QString message;
    try {
        TConfig::WriteValues(Sample());
    } catch (const Exception &e) {
        message = e.Message();
    }
    EXPECT_EQ(Std(message), Std(QStringLiteral("Unable to write to ") + IniPath()));
    EXPECT_EQ(ReadAll(FHome.path() + QStringLiteral("/Brindlewick")), QByteArray("not a folder"));
}

struct BadFileCase
{
    const char *Name;
    QByteArray Bytes;
};

class BadFileTest : public ConfigTest, public ::testing::WithParamInterface<BadFileCase>
{};

TEST_P(BadFileTest, ReadsAsDefaultsAndIsKeptAsBadOnSave)
{
    const QByteArray bad = GetParam().Bytes;
    PutFile(bad);
    TConfigValues defaults;
    defaults.Top = 5;
    EXPECT_TRUE(TConfig::ReadValues(defaults) == defaults);
    EXPECT_TRUE(TConfig::LastWarning().contains(IniPath())) << Std(TConfig::LastWarning());
    EXPECT_EQ(ReadAll(IniPath()), bad) << "reading must not touch the file";

    TConfig::WriteValues(Sample());
    EXPECT_EQ(ReadAll(IniPath() + QStringLiteral(".bad")), bad);
    EXPECT_EQ(ReadAll(IniPath()).toStdString(), SampleFileText.toStdString());
    EXPECT_TRUE(TConfig::LastWarning().contains(IniPath() + QStringLiteral(".bad")))
        << Std(TConfig::LastWarning());

    // The next save is an ordinary one.
    TConfig::WriteValues(Sample());
    EXPECT_TRUE(TConfig::LastWarning().isEmpty());
    EXPECT_EQ(ReadAll(IniPath() + QStringLiteral(".bad")), bad);
}

INSTANTIATE_TEST_SUITE_P(Unparsable, BadFileTest,
                         ::testing::Values(BadFileCase{"InvalidUtf8", QByteArray("[CONFIG]\nTop=\xC3\x28\n")},
                                           BadFileCase{"BinaryNul", QByteArray("[CONFIG]\nTop=1\n\0\0\x01", 18)},
                                           BadFileCase{"OddUtf16", QByteArray("\xFF\xFE[\0C\0", 7)},
                                           BadFileCase{"TooLarge",
                                                       "[CONFIG]\nX=" + QByteArray(TConfig::MaxFileSize, 'a')}),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(ConfigTest, Utf16FileIsReadAndStaysUtf16)
{
    QStringEncoder toUtf16(QStringConverter::Utf16LE);
    PutFile(QByteArray("\xFF\xFE")
            + QByteArray(toUtf16.encode(QStringLiteral("[CONFIG]\r\nTop=9\r\nNota=año\r\n"))));
    EXPECT_EQ(ReadInteger("CONFIG", "Top", 0), 9);
    EXPECT_EQ(ReadString("CONFIG", "Nota", ""), QStringLiteral("año"));

    TConfig::WriteValues(Sample());
    const QByteArray bytes = ReadAll(IniPath());
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    QStringDecoder fromUtf16(QStringConverter::Utf16LE);
    const QString text = fromUtf16.decode(QByteArrayView(bytes).sliced(2));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[CONFIG]\nTop=-12\nNota=año\nLeft=300\n"))) << Std(text);
    EXPECT_TRUE(TConfig::ReadValues({}) == Sample());
}

TEST_F(ConfigTest, SomethingThatIsNotAFileNeitherHangsNorIsReplaced)
{
    // A FIFO would block a reader for ever.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(IniPath()).absolutePath()));
    ASSERT_EQ(mkfifo(IniPath().toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(TConfig::Exists());
    EXPECT_EQ(ReadInteger("CONFIG", "Top", 3), 3);
    EXPECT_FALSE(TConfig::LastWarning().isEmpty());
    EXPECT_THROW(TConfig::WriteValues(Sample()), Exception);
    EXPECT_FALSE(QFileInfo(IniPath()).isFile());

    ASSERT_TRUE(QFile::remove(IniPath()));
    ASSERT_TRUE(QDir().mkpath(IniPath()));
    EXPECT_FALSE(TConfig::Exists());
    EXPECT_THROW(TConfig::WriteValues(Sample()), Exception);
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());

    // A link to a device that never ends: read with the defaults, at once.
    ASSERT_TRUE(QDir().rmdir(IniPath()));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), IniPath()));
    EXPECT_EQ(ReadInteger("CONFIG", "Top", 4), 4);
    EXPECT_TRUE(TConfig::LastWarning().contains(QStringLiteral("not a regular file")))
        << Std(TConfig::LastWarning());
}

// A kill between QSaveFile's link and rename leaves a complete copy named
// config.ini.XXXXXX beside the settings. The next save removes Qt's own copies
// (six letters, a regular file of ours, a minute old) and nothing else.
TEST_F(ConfigTest, SavingRemovesQtsOwnStaleCopiesOnly)
{
    PutFile(SampleFileText);
    const QString folder = QFileInfo(IniPath()).absolutePath();
    struct Fixture
    {
        const char *name;
        enum { File, Link, Folder } kind;
        long ageSeconds;
        bool removed;
    };
    const Fixture fixtures[] = {
        {"config.ini.pvJISm", Fixture::File, 120, true},
        {"config.ini.ABCxyz", Fixture::File, 86400 * 90, true},
        {"config.ini.qwErty", Fixture::File, 5, false},    // a save in progress
        {"config.ini.abc123", Fixture::File, 120, false},  // digits: not Qt's
        {"config.ini.abcdefg", Fixture::File, 120, false}, // seven letters
        {"config.ini.bad", Fixture::File, 120, false},     // the kept damaged file
        {"config.ini.bad.abcdef", Fixture::File, 120, false},
        {"Config.ini.abcdef", Fixture::File, 120, false}, // another name
        {"config.inixabcdef", Fixture::File, 120, false},
        {"other.ini.abcdef", Fixture::File, 120, false},
        {"config.ini.LnKtoo", Fixture::Link, 120, false}, // a link, even to an old copy
        {"config.ini.DirAbc", Fixture::Folder, 120, false},
    };
    const auto age = [](const QString &path, long seconds) {
        const timeval then = {::time(nullptr) - seconds, 0};
        const timeval times[2] = {then, then};
        ASSERT_EQ(::lutimes(QFile::encodeName(path).constData(), times), 0) << Std(path);
    };
    const QString outside = FHome.path() + QStringLiteral("/old-copy");
    WriteAll(outside, "kept");
    age(outside, 120);
    for (const Fixture &f : fixtures) {
        const QString path = folder + u'/' + QString::fromLatin1(f.name);
        if (f.kind == Fixture::File)
            WriteAll(path, "[CONFIG]\nTop=1\n");
        else if (f.kind == Fixture::Link)
            ASSERT_TRUE(QFile::link(outside, path));
        else
            ASSERT_TRUE(QDir().mkdir(path));
        age(path, f.ageSeconds);
    }

    WriteInteger(QStringLiteral("CONFIG"), QStringLiteral("Top"), 7);

    const QStringList left = FolderEntries();
    for (const Fixture &f : fixtures)
        EXPECT_EQ(left.contains(QString::fromLatin1(f.name)), !f.removed) << f.name;
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_EQ(ReadInteger(QStringLiteral("CONFIG"), QStringLiteral("Top"), 0), 7);
}

} // namespace
