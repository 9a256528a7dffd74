// SPDX-License-Identifier: MIT
// Writing a drive's property text, splitting it into items, looking values
// up by name and reading integers out of them, shared by the query
// component, the drive panel and the widget window.
#include "wmi/PropertyText.h"

#include "vcl/Exception.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

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
        SplitCase{"leading_blanks_and_empty_lines",
                  QStringLiteral("  \r\n\r\n\tName=C:\r\n\r\n\r\nSize=1\r\n  "),
                  {"Name=C:", "Size=1"}},
        SplitCase{"trailing_blanks_dropped", QStringLiteral("Name=C:  \t\r\n"), {"Name=C:"}},
        SplitCase{"empty_text", QString(), {}}, SplitCase{"only_blanks", QStringLiteral(" \r\n\t "), {}},
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
        SplitCase{
            "nul_ends_the_text", QStringLiteral("a\r\nb") + QChar(u'\0') + QStringLiteral("\r\nc"), {"a", "b"}}),
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

// ---- integers -------------------------------------------------------------

struct IntegerCase
{
    const char *name;
    QString text;
    std::optional<qint64> int64; // empty: no integer
    std::optional<qint32> int32;
};

void PrintTo(const IntegerCase &c, std::ostream *os)
{
    *os << c.name;
}

class PropertyIntegerTest : public testing::TestWithParam<IntegerCase>
{};

// Both widths and the raising form agree on every text: what one accepts the
// others accept with the same value, what one refuses the raising form names.
TEST_P(PropertyIntegerTest, ReadsOnlyPlainDecimalIntegers)
{
    const IntegerCase &c = GetParam();
    EXPECT_EQ(PropertyInt64(c.text), c.int64);
    EXPECT_EQ(PropertyInt32(c.text), c.int32);
    if (c.int64) {
        EXPECT_EQ(StrToInt64(c.text), *c.int64);
    } else {
        try {
            StrToInt64(c.text);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(c.text));
        }
    }
}

constexpr qint64 kMax64 = std::numeric_limits<qint64>::max();
constexpr qint64 kMin64 = std::numeric_limits<qint64>::min();

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyIntegerTest,
    testing::Values(
        IntegerCase{"zero", QStringLiteral("0"), 0, 0},
        IntegerCase{"free_space", QStringLiteral("53687091200"), 53687091200, std::nullopt},
        IntegerCase{"drive_type", QStringLiteral("3"), 3, 3}, IntegerCase{"plus_sign", QStringLiteral("+0"), 0, 0},
        IntegerCase{"minus_sign", QStringLiteral("-17"), -17, -17},
        IntegerCase{"leading_zeros", QStringLiteral("007"), 7, 7},
        IntegerCase{"int32_max", QStringLiteral("2147483647"), 2147483647, 2147483647},
        IntegerCase{"int32_min", QStringLiteral("-2147483648"), -2147483648LL, std::numeric_limits<qint32>::min()},
        IntegerCase{"past_int32", QStringLiteral("2147483648"), 2147483648LL, std::nullopt},
        IntegerCase{"int64_max", QStringLiteral("9223372036854775807"), kMax64, std::nullopt},
        IntegerCase{"int64_min", QStringLiteral("-9223372036854775808"), kMin64, std::nullopt},
        IntegerCase{"past_int64", QStringLiteral("9223372036854775808"), std::nullopt, std::nullopt},
        IntegerCase{"below_int64", QStringLiteral("-9223372036854775809"), std::nullopt, std::nullopt},
        IntegerCase{"twenty_digits", QStringLiteral("99999999999999999999"), std::nullopt, std::nullopt},
        IntegerCase{"many_zeros_then_one", QString(60, u'0') + QStringLiteral("1"), 1, 1},
        IntegerCase{"empty", QString(), std::nullopt, std::nullopt},
        IntegerCase{"padded", QStringLiteral(" 12 "), std::nullopt, std::nullopt},
        IntegerCase{"leading_blank", QStringLiteral(" 12"), std::nullopt, std::nullopt},
        IntegerCase{"trailing_blank", QStringLiteral("12 "), std::nullopt, std::nullopt},
        IntegerCase{"tab", QStringLiteral("\t12"), std::nullopt, std::nullopt},
        IntegerCase{"blank_after_sign", QStringLiteral("- 4"), std::nullopt, std::nullopt},
        IntegerCase{"sign_only", QStringLiteral("-"), std::nullopt, std::nullopt},
        IntegerCase{"plus_only", QStringLiteral("+"), std::nullopt, std::nullopt},
        IntegerCase{"two_signs", QStringLiteral("+-5"), std::nullopt, std::nullopt},
        IntegerCase{"double_minus", QStringLiteral("--5"), std::nullopt, std::nullopt},
        IntegerCase{"letters_after", QStringLiteral("12x"), std::nullopt, std::nullopt},
        IntegerCase{"hexadecimal", QStringLiteral("0x10"), std::nullopt, std::nullopt},
        IntegerCase{"dollar_hex", QStringLiteral("$10"), std::nullopt, std::nullopt},
        IntegerCase{"exponent", QStringLiteral("1e9"), std::nullopt, std::nullopt},
        IntegerCase{"decimal_point", QStringLiteral("1.5"), std::nullopt, std::nullopt},
        IntegerCase{"group_separator", QStringLiteral("1,000"), std::nullopt, std::nullopt},
        IntegerCase{"fullwidth_digits", QStringLiteral("１２"), std::nullopt, std::nullopt},
        IntegerCase{"arabic_indic_digits", QStringLiteral("١٢"), std::nullopt, std::nullopt},
        IntegerCase{"nul_inside", QStringLiteral("1") + QChar(u'\0') + QStringLiteral("2"), std::nullopt,
                    std::nullopt}),
    [](const testing::TestParamInfo<IntegerCase> &info) { return std::string(info.param.name); });

} // namespace

namespace {

// Figures of bytes: the unsigned 64-bit range, written as the system writes
// it; a sign other than "+" or anything past the range is no figure.
TEST(PropertyFigure, ReadsTheWholeUnsigned64BitRange)
{
    const struct
    {
        const char *text;
        std::optional<quint64> value;
    } cases[] = {
        {"0", 0u},
        {"+7", 7u},
        {"9223372036854775807", 9223372036854775807u},
        {"9223372036854775808", quint64(1) << 63},
        {"18446744073709551615", std::numeric_limits<quint64>::max()},
        {"18446744073709551616", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"-1", std::nullopt},
        {"-0", std::nullopt},
        {" 12", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromLatin1(c.text);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PropertyUInt64(text), c.value);
        if (c.value) {
            EXPECT_EQ(StrToUInt64(text), *c.value);
        } else {
            try {
                StrToUInt64(text);
                ADD_FAILURE() << "no error";
            } catch (const EConvertError &e) {
                EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
            }
        }
    }
}

TEST(PropertyTextEntry, QuotesEntriesThatHoldASeparator)
{
    struct Case
    {
        std::string entry;
        std::string written;
    };
    const Case cases[] = {
        {"Name=C:", "Name=C:"},
        {"VolumeName=", "VolumeName="},
        {"Name=/media/ana/\xC3\x9C"
         "ber",
         "Name=/media/ana/\xC3\x9C"
         "ber"},
        {"", "\"\""},
        {"Name=/tmp/x/a,FreeSpace=x", "\"Name=/tmp/x/a,FreeSpace=x\""},
        {"VolumeName=Fotos,FreeSpace=999999999999", "\"VolumeName=Fotos,FreeSpace=999999999999\""},
        {"Description=Local Fixed Disk", "\"Description=Local Fixed Disk\""},
        {"VolumeName=say \"hi\"", "\"VolumeName=say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"Name=a\r\nFreeSpace=1", "\"Name=a\r\nFreeSpace=1\""},
        {"Name=tab\there", "\"Name=tab\there\""},
        {"Name=\x01\x1f", "\"Name=\x01\x1f\""},
        {std::string("Name=a\0b", 8), "\"Name=ab\""},
        {"Name=a;b=c", "Name=a;b=c"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PropertyTextEntry(QString::fromStdString(c.entry)), QString::fromStdString(c.written))
            << c.entry;
}

TEST(PropertyListText, EveryEntryFollowedByCrLf)
{
    EXPECT_EQ(PropertyListText({}), QString());
    EXPECT_EQ(PropertyListText({"Caption=/tmp/x/a,FreeSpace=x", "FreeSpace=4194304", "Name=C:"}),
              QStringLiteral("\"Caption=/tmp/x/a,FreeSpace=x\"\r\nFreeSpace=4194304\r\nName=C:\r\n"));
}

} // namespace
