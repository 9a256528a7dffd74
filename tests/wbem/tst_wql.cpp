// SPDX-License-Identifier: MIT
// The WQL subset: what parses and what a WHERE clause selects.
#include "wbem/Wql.h"

#include <gtest/gtest.h>

#include <map>

using namespace platform;

TEST(Wql, ValidQueries)
{
    struct Case
    {
        const char *text;
        std::vector<std::string> properties;
        const char *className;
        bool hasWhere;
    };
    const Case cases[] = {
        {"SELECT * FROM Win32_LogicalDisk", {}, "Win32_LogicalDisk", false},
        {"select * from win32_logicaldisk", {}, "win32_logicaldisk", false},
        {"  SELECT\tName ,Size\r\nFROM Win32_LogicalDisk  ", {"Name", "Size"}, "Win32_LogicalDisk", false},
        {"SELECT * FROM Win32_LogicalDisk WHERE DriveType = 3", {}, "Win32_LogicalDisk", true},
        {"SELECT * FROM X WHERE NOT (A = 'x' OR B <> \"y\") AND C >= -5", {}, "X", true},
        {"SELECT * FROM X WHERE A IS NULL OR B IS NOT NULL", {}, "X", true},
        {"SELECT * FROM X WHERE 3 < DriveType", {}, "X", true},
        {"SELECT * FROM X WHERE Name = 'C:\\\\'", {}, "X", true},
        {"SELECT * FROM X WHERE Compressed = TRUE", {}, "X", true},
        {"SELECT * FROM X WHERE Size > 18446744073709551615", {}, "X", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        WqlQuery q;
        ASSERT_NO_THROW(q = ParseWql(c.text));
        EXPECT_EQ(q.properties, c.properties);
        EXPECT_EQ(q.className, c.className);
        EXPECT_EQ(q.where != nullptr, c.hasWhere);
    }
}

TEST(Wql, MalformedQueries)
{
    const char *cases[] = {
        "",
        "SELECT",
        "SELECT * FROM",
        "SELECT FROM X",
        "SELECT *, Name FROM X",
        "SELECT Name, FROM X",
        "DELETE * FROM X",
        "SELECT * FROM X WHERE",
        "SELECT * FROM X WHERE A",
        "SELECT * FROM X WHERE A =",
        "SELECT * FROM X WHERE A = B",
        "SELECT * FROM X WHERE 'a' = 'b'",
        "SELECT * FROM X WHERE (A = 1",
        "SELECT * FROM X WHERE A = 1)",
        "SELECT * FROM X WHERE A = 'unterminated",
        "SELECT * FROM X WHERE A = 'ends in a backslash\\",
        "SELECT * FROM X WHERE A = 12abc",
        "SELECT * FROM X WHERE A = 18446744073709551616",
        "SELECT * FROM X WHERE A ! 1",
        "SELECT * FROM X WHERE A == 1",
        "SELECT * FROM X WHERE A IS 1",
        "SELECT * FROM X extra",
        "SELECT * FROM X; DROP",
        "SELECT * FROM from",
        "SELECT * FROM X WHERE A = 1 AND",
        "SELECT * FROM X WHERE A = 1 \x01",
    };
    for (const char *c : cases)
        EXPECT_THROW(ParseWql(c), WqlSyntaxError) << c;

    // Hostile nesting fails cleanly instead of exhausting the stack.
    EXPECT_THROW(ParseWql("SELECT * FROM X WHERE " + std::string(100000, '(') + "A = 1"), WqlSyntaxError);
    EXPECT_THROW(ParseWql("SELECT * FROM X WHERE " + std::string(100000, 'N')), WqlSyntaxError);
    std::string nots = "SELECT * FROM X WHERE ";
    for (int i = 0; i < 50000; ++i)
        nots += "NOT ";
    EXPECT_THROW(ParseWql(nots + "A = 1"), WqlSyntaxError);
}

TEST(Wql, WhereEvaluation)
{
    const std::map<std::string, WqlValue> object = {
        {"Name", std::string("/media/USB Stick")},
        {"DriveType", WqlUnsigned(2)},
        {"Size", WqlUnsigned(18446744073709551615ull)},
        {"Compressed", false},
        {"VolumeName", WqlNull{}},
    };
    const WqlLookup lookup = [&](const std::string &name) -> WqlValue {
        for (const auto &[key, value] : object)
            if (WqlNamesEqual(key, name))
                return value;
        return WqlNull{};
    };
    struct Case
    {
        const char *where;
        bool expected;
    };
    const Case cases[] = {
        {"DriveType = 2", true},
        {"drivetype = 2", true},
        {"DriveType <> 2", false},
        {"DriveType != 3", true},
        {"DriveType > -1", true},
        {"DriveType < 2", false},
        {"DriveType <= 2", true},
        {"DriveType >= 3", false},
        {"3 > DriveType", true},
        {"DriveType = '2'", true},
        {"Name = '/media/usb stick'", true}, // WMI compares strings without regard to case
        {"Name = \"/media/USB Stick\"", true},
        {"Name > '/media/A'", true},
        {"Name = 2", false},
        {"Size = 18446744073709551615", true},
        {"Size > 0", true},
        {"Compressed = FALSE", true},
        {"Compressed = 0", true},
        {"VolumeName = ''", false},
        {"VolumeName <> ''", false}, // NULL compares as nothing
        {"VolumeName IS NULL", true},
        {"Name IS NOT NULL", true},
        {"Missing IS NULL", true},
        {"DriveType = 3 OR DriveType = 2", true},
        {"DriveType = 2 AND Compressed = TRUE", false},
        {"NOT DriveType = 2", false},
        {"NOT (DriveType = 3 OR Name = 'x') AND (Size > 5)", true},
        {"DriveType = 3 OR DriveType = 2 AND Compressed = TRUE", false}, // AND binds tighter
        {"(DriveType = 3 OR DriveType = 2) AND Compressed = FALSE", true},
    };
    for (const Case &c : cases) {
        const WqlQuery q = ParseWql(std::string("SELECT * FROM X WHERE ") + c.where);
        EXPECT_EQ(EvaluateWql(*q.where, lookup), c.expected) << c.where;
    }
}
