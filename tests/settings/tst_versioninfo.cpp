// SPDX-License-Identifier: MIT
#include "SettingsTestUtil.h"

#include "settings/VersionInfo.h"

#include <QCoreApplication>

namespace {

TEST(VersionInfo, OwnFileGivesTheBuiltVersionInBothFormats)
{
    EXPECT_EQ(Std(VersionInfo::FileVersionText(QString(), false)), "1.2.0.0");
    EXPECT_EQ(Std(VersionInfo::FileVersionText(QString(), true)), "1.2");

    int argc = 1;
    char name[] = "tst_settings";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(Std(VersionInfo::FileVersionText(QCoreApplication::applicationFilePath(), false)), "1.2.0.0");
    // Another file carries no version information here.
    EXPECT_EQ(Std(VersionInfo::FileVersionText(QStringLiteral("/bin/sh"), false)), "");
    EXPECT_EQ(Std(VersionInfo::FileVersionText(QStringLiteral("/no/such/file"), true)), "");
}

TEST(VersionInfo, FormatsTheFixedFileVersionHalves)
{
    EXPECT_EQ(Std(VersionInfo::FormatFileVersion(0x00010002, 0x00000000, false)), "1.2.0.0");
    EXPECT_EQ(Std(VersionInfo::FormatFileVersion(0x0001000A, 0x00030004, false)), "1.10.3.4");
    EXPECT_EQ(Std(VersionInfo::FormatFileVersion(0x0001000A, 0x00030004, true)), "1.10");
    EXPECT_EQ(Std(VersionInfo::FormatFileVersion(0xFFFF0000, 0x0000FFFF, false)), "65535.0.0.65535");
}

TEST(VersionInfo, TranslationEntryIsSpanishWithCodePage1252)
{
    EXPECT_EQ(VersionInfo::TranslationLanguage(), 3082u);
    EXPECT_EQ(VersionInfo::TranslationCodePage(), 1252u);
}

} // namespace
