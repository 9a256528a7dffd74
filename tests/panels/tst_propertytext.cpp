// SPDX-License-Identifier: MIT
// Splitting a drive's property text into items and looking values up by
// name, shared by the drive panel and the widget window.
#include "panels/PropertyText.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase
{
    const char *name;
    QString text;
    QStringList items;
};

void PrintTo(const SplitCase &c, std::ostream *os)
{
    *os << c.name;
}

class SplitPropertyTextTest : public testing::TestWithParam<SplitCase>
{};

TEST_P(SplitPropertyTextTest, GivesTheItems)
{
    EXPECT_EQ(SplitPropertyText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitPropertyTextTest,
    testing::Values(
        SplitCase{"crlf_lines", QStringLiteral("Name=C:\r\nSize=100\r\n"), {"Name=C:", "Size=100"}},
        SplitCase{"lf_lines", QStringLiteral("Name=C:\nSize=100"), {"Name=C:", "Size=100"}},
        SplitCase{"commas_instead_of_lines", QStringLiteral("Name=C:,Size=100"), {"Name=C:", "Size=100"}},
        SplitCase{"blanks_around_commas", QStringLiteral("Name=C: ,  Size=100"), {"Name=C:", "Size=100"}},
        SplitCase{"blanks_inside_kept",
                  QStringLiteral("Description=Local Fixed Disk\r\nName=/media/ana/My Disk\r\n"),
                  {"Description=Local Fixed Disk", "Name=/media/ana/My Disk"}},
        SplitCase{"tab_inside_kept", QStringLiteral("VolumeName=a\tb\r\n"), {"VolumeName=a\tb"}},
        SplitCase{"leading_blanks_and_empty_lines", QStringLiteral("  \r\n\r\n\tName=C:\r\n\r\n\r\nSize=1\r\n  "),
                  {"Name=C:", "Size=1"}},
        SplitCase{"trailing_blanks_dropped", QStringLiteral("Name=C:  \t\r\n"), {"Name=C:"}},
        SplitCase{"empty_text", QString(), {}},
        SplitCase{"only_blanks", QStringLiteral(" \r\n\t "), {}},
        SplitCase{"quoted_item_keeps_comma", QStringLiteral("\"Name=a,b\",Size=1"), {"Name=a,b", "Size=1"}},
        SplitCase{"quoted_item_keeps_line_break", QStringLiteral("\"a\r\nb\"\r\nc"), {"a\r\nb", "c"}},
        SplitCase{"doubled_quote_is_one", QStringLiteral("\"say \"\"hi\"\"\",x"), {"say \"hi\"", "x"}},
        SplitCase{"unclosed_quote_takes_the_rest", QStringLiteral("a,\"b,c\r\nd"), {"a", "b,c\r\nd"}},
        SplitCase{"text_after_closing_quote_is_next_item", QStringLiteral("\"a\"b,c"), {"a", "b", "c"}},
        SplitCase{"empty_quoted_item", QStringLiteral("\"\",a"), {"", "a"}},
        SplitCase{"quote_inside_unquoted_item", QStringLiteral("Name=x\"y"), {"Name=x\"y"}},
        SplitCase{"trailing_comma_gives_empty_item", QStringLiteral("a,"), {"a", ""}},
        SplitCase{"comma_then_blank_gives_none", QStringLiteral("a, "), {"a"}},
        SplitCase{"double_comma_gives_empty_item", QStringLiteral("a,,b"), {"a", "", "b"}},
        SplitCase{"lone_comma", QStringLiteral(","), {"", ""}},
        SplitCase{"nul_ends_the_text", QStringLiteral("a\r\nb") + QChar(u'\0') + QStringLiteral("\r\nc"),
                  {"a", "b"}}),
    [](const testing::TestParamInfo<SplitCase> &info) { return std::string(info.param.name); });

// What the window and the panel read from one object's property list.
TEST(PropertyValueTest, LooksNamesUpIgnoringCase)
{
    const QStringList items = SplitPropertyText(
        QStringLiteral("Caption=C:\r\nDescription=Local Fixed Disk\r\nNAME=C:\r\nname=D:\r\n"
                       "VolumeName=\r\nExpr=a=b\r\nFreeSpace\r\n=orphan\r\n"));
    EXPECT_EQ(PropertyValue(items, QStringLiteral("Name")), QStringLiteral("C:")) << "first match wins";
    EXPECT_EQ(PropertyValue(items, QStringLiteral("description")), QStringLiteral("Local Fixed Disk"));
    EXPECT_EQ(PropertyValue(items, QStringLiteral("Expr")), QStringLiteral("a=b")) << "split at the first =";
    EXPECT_EQ(PropertyValue(items, QStringLiteral("VolumeName")), QString());
    EXPECT_EQ(PropertyValue(items, QStringLiteral("FreeSpace")), QString()) << "an item without = has no name";
    EXPECT_EQ(PropertyValue(items, QStringLiteral("Size")), QString());
    EXPECT_EQ(PropertyValue(items, QString()), QStringLiteral("orphan"));
    EXPECT_EQ(PropertyValue(items, QStringLiteral("Nam")), QString()) << "whole names only";
}

TEST(PropertyValueTest, CommaSeparatedListGivesTheSameValues)
{
    const QStringList lines = SplitPropertyText(
        QStringLiteral("DriveType=3\r\nName=/media/ana/My Disk\r\nSize=500\r\nDescription=Local Fixed Disk\r\n"));
    const QStringList commas = SplitPropertyText(
        QStringLiteral("DriveType=3,Name=/media/ana/My Disk,Size=500,Description=Local Fixed Disk"));
    for (const char *name : {"DriveType", "Name", "Size", "Description"})
        EXPECT_EQ(PropertyValue(lines, QLatin1String(name)), PropertyValue(commas, QLatin1String(name))) << name;
    EXPECT_EQ(PropertyValue(commas, QStringLiteral("Name")), QStringLiteral("/media/ana/My Disk"));
}

} // namespace
