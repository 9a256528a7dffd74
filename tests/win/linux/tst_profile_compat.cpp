// SPDX-License-Identifier: MIT
// Settings files that cross between the two systems. The widget's Linux
// writer must produce the bytes of tests/win/fixtures/config-linux.ini (which
// the Windows profile functions read back under Wine), and its reader must
// take files written by WritePrivateProfileStringW: CR LF line ends, keys in
// any letter case, another section after CONFIG.
#include "settings/Config.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstdlib>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString Fixture(const char *name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/win/fixtures/") + QLatin1String(name);
}

// Defaults that differ from every value the Windows side writes, so that a
// key the reader misses shows.
TConfigValues Defaults()
{
    TConfigValues values;
    values.Top = 7;
    values.Left = 7;
    values.Intervalo = 15;
    values.Opacidad = 153;
    values.EjecutarInicio = false;
    values.VerDiscosRed = true;
    values.Idioma = -1;
    return values;
}

// What the Windows suite writes (tst_win_profile.cpp).
TConfigValues WrittenOnWindows()
{
    TConfigValues values;
    values.Top = -40;
    values.Left = 1280;
    values.Intervalo = 60;
    values.Opacidad = 51;
    values.EjecutarInicio = true;
    values.VerDiscosRed = false;
    values.Idioma = 0;
    return values;
}

void ExpectValues(const TConfigValues &actual, const TConfigValues &expected)
{
    EXPECT_EQ(actual.Top, expected.Top);
    EXPECT_EQ(actual.Left, expected.Left);
    EXPECT_EQ(actual.Intervalo, expected.Intervalo);
    EXPECT_EQ(actual.Opacidad, expected.Opacidad);
    EXPECT_EQ(actual.EjecutarInicio, expected.EjecutarInicio);
    EXPECT_EQ(actual.VerDiscosRed, expected.VerDiscosRed);
    EXPECT_EQ(actual.Idioma, expected.Idioma);
}

TEST(ProfileCompat, LinuxWriterProducesTheFileWindowsReadsBack)
{
    const QByteArray fixture = ReadAll(Fixture("config-linux.ini"));
    ASSERT_FALSE(fixture.isEmpty());
    TConfigValues values;
    values.Top = -12;
    values.Left = 300;
    values.Intervalo = 30;
    values.Opacidad = 204;
    values.EjecutarInicio = false;
    values.VerDiscosRed = true;
    values.Idioma = 1;
    QByteArray written;
    QString error;
    ASSERT_TRUE(TConfig::WriteValuesTo(written, values, &error)) << error.toStdString();
    EXPECT_EQ(written.toStdString(), fixture.toStdString());
}

TEST(ProfileCompat, FileWrittenByWinesProfileWriterReadsBack)
{
    // The bytes one run of the Windows suite under Wine 8 wrote.
    const QByteArray contents = ReadAll(Fixture("profile-written-by-wine.ini"));
    ASSERT_TRUE(contents.contains("\r\n"));
    QString error;
    ExpectValues(TConfig::ParseValues(contents, Defaults(), &error), WrittenOnWindows());
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}

TEST(ProfileCompat, FileJustWrittenUnderWineReadsBack)
{
    const char *path = std::getenv("VELMORA_WINE_PROFILE");
    const QString file = path && *path ? QString::fromLocal8Bit(path)
                                       : QStringLiteral(VELMORA_SOURCE_DIR "/build-win/profile-written.ini");
    if (!QFile::exists(file))
        GTEST_SKIP() << "needs the file Wine wrote: " << file.toStdString()
                     << " is missing: run scripts/wine-tests.sh, whose Windows suite writes it";
    const QByteArray contents = ReadAll(file);
    QString error;
    ExpectValues(TConfig::ParseValues(contents, Defaults(), &error), WrittenOnWindows());
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    // The file as a whole, through the path-based reader.
    EXPECT_EQ(TConfig::RestoreOptionValue(file, QStringLiteral("config"), QStringLiteral("TOP"), 7), -40);
    EXPECT_EQ(TConfig::RestoreOptionValue(file, QStringLiteral("OTRA"), QStringLiteral("top"), 7), 999);
}

} // namespace
