// SPDX-License-Identifier: MIT
// MOF string escaping: no value from the system can end its line or its
// quotes, and the text reads back to the same bytes.
#include "platform/MofText.h"
#include "wmi/ObjectText.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(MofText, EscapesEveryCharacterThatCouldBreakTheText)
{
    struct Case
    {
        std::string raw;
        std::string escaped;
    };
    const Case cases[] = {
        {"/mnt/plain", "/mnt/plain"},
        {"/mnt/with blank", "/mnt/with blank"},
        {"/mnt/\"quoted\"", "/mnt/\\\"quoted\\\""},
        {"/mnt/new\nline", "/mnt/new\\nline"},
        {"C:\\", "C:\\\\"},
        {"tab\there", "tab\\there"},
        {"cr\rhere", "cr\\rhere"},
        {"bs\bff\f", "bs\\bff\\f"},
        {std::string("nul\0x", 5), "nul\\x0000x"},
        {"\x01\x1f\x7f", "\\x0001\\x001F\\x007F"},
        {"C1 \xC2\x85 control", "C1 \\x0085 control"},
        {"a;\n\tInjected = \"1\";", "a;\\n\\tInjected = \\\"1\\\";"},
        {"Disco \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE", "Disco \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE"},
        {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EscapeMofString(c.raw), c.escaped) << c.raw;
        std::string back;
        ASSERT_TRUE(UnescapeMofString(c.escaped, back)) << c.escaped;
        if (c.escaped.find("\xEF\xBF\xBD") == std::string::npos) {
            EXPECT_EQ(back, c.raw);
        }
    }
    std::string out;
    EXPECT_FALSE(UnescapeMofString("ends in \\", out));
    EXPECT_FALSE(UnescapeMofString("\\q", out));
    EXPECT_FALSE(UnescapeMofString("\\xg", out));
}

TEST(MofText, HostilePathStaysOnePropertyOfTheObjectText)
{
    const std::string path = "/mnt/a b\"c\nd\\e\tf;\r\n\tSize = \"1\";";
    const std::string text = RenderMofInstance("Win32_LogicalDisk",
                                               {
                                                   {"Caption", MofType::String, path},
                                                   {"Compressed", MofType::Boolean, "FALSE"},
                                                   {"DriveType", MofType::Number, "3"},
                                                   {"FreeSpace", MofType::UInt64, "12884901888"},
                                               });
    EXPECT_EQ(text,
              "instance of Win32_LogicalDisk\n{\n"
              "\tCaption = \"/mnt/a b\\\"c\\nd\\\\e\\tf;\\r\\n\\tSize = \\\"1\\\";\";\n"
              "\tCompressed = FALSE;\n"
              "\tDriveType = 3;\n"
              "\tFreeSpace = \"12884901888\";\n"
              "};\n");

    // The query component's reading of it: still four properties, nothing injected.
    std::vector<std::string> list;
    ObjectText::BuildPropertyList(ObjectText::SplitLines(text), list);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], "Caption=/mnt/a b\\c\\nd\\\\e\\tf;\\r\\n\\tSize=\\1\\;");
    EXPECT_EQ(list[3], "FreeSpace=12884901888");
}
