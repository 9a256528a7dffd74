// SPDX-License-Identifier: MIT
// MOF string escaping: no value from the system can end its line or its
// quotes, and the text reads back to the same bytes.
#include "wbem/MofText.h"
#include "wbem/PropertyLines.h"
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
        {"/mnt/\"quoted\"", "/mnt/\\x0022quoted\\x0022"},
        {"/mnt/new\nline", "/mnt/new\\nline"},
        {"C:\\", "C:\\\\"},
        {"tab\there", "tab\\there"},
        {"cr\rhere", "cr\\rhere"},
        {"bs\bff\f", "bs\\bff\\f"},
        {std::string("nul\0x", 5), "nul\\x0000x"},
        {"\x01\x1f\x7f", "\\x0001\\x001F\\x007F"},
        {"C1 \xC2\x85 control", "C1 \\x0085 control"},
        {"a;\n\tInjected = \"1\";", "a;\\n\\tInjected \\x003D \\x00221\\x0022;"},
        {"a=b", "a\\x003Db"},
        {"Disco \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE", "Disco \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE"},
        {"bad \xFF byte", "bad \\xDCFF byte"},
        {"cut \xE2\x82", "cut \\xDCE2\\xDC82"},
        {"caf\xE9", "caf\\xDCE9"},
        {"caf\\xE9", "caf\\\\xE9"},
        {"\xE9"
         "ab",
         "\\xDCE9ab"},
        {"overlong \xC0\xAF", "overlong \\xDCC0\\xDCAF"},
        {"surrogate \xED\xA0\x80", "surrogate \\xDCED\\xDCA0\\xDC80"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EscapeMofString(c.raw), c.escaped) << c.raw;
        std::string back;
        ASSERT_TRUE(UnescapeMofString(c.escaped, back)) << c.escaped;
        EXPECT_EQ(back, c.raw) << "every value reads back to its very bytes";
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
              "\tCaption = \"/mnt/a b\\x0022c\\nd\\\\e\\tf;\\r\\n\\tSize \\x003D \\x00221\\x0022;\";\n"
              "\tCompressed = FALSE;\n"
              "\tDriveType = 3;\n"
              "\tFreeSpace = \"12884901888\";\n"
              "};\n");

    // The query component's reading of it: still four properties, nothing injected.
    std::vector<std::string> list;
    ObjectText::BuildPropertyList(ObjectText::SplitLines(text), list);
    ASSERT_EQ(list.size(), 4u);
    // Nothing of the value is dropped either: it reads back whole.
    EXPECT_EQ(list[0], "Caption=/mnt/a b\\x0022c\\nd\\\\e\\tf;\\r\\n\\tSize \\x003D \\x00221\\x0022;");
    std::string back;
    ASSERT_TRUE(UnescapeMofString(list[0].substr(8), back));
    EXPECT_EQ(back, path);
    EXPECT_EQ(list[3], "FreeSpace=12884901888");
}

// velmora-wql's property lines: each awkward value gives the line written
// down here, and the line reads back to exactly the value.
TEST(PropertyLines, AwkwardValuesGiveTheseBytesAndReadBackExactly)
{
    struct Case
    {
        std::string value;
        std::string line;
    };
    const Case cases[] = {
        {"/media/ana", R"(Name="/media/ana")"},
        {"", R"(Name="")"},
        {"x = y", R"(Name="x = y")"},
        {" blank around ", R"(Name=" blank around ")"},
        {"a=b;c,d", R"(Name="a=b;c,d")"},
        {"q\"uote", R"(Name="q\"uote")"},
        {"back\\slash", R"(Name="back\\slash")"},
        {"C:\\", R"(Name="C:\\")"},
        {"line\nbreak\r\n", R"(Name="line\nbreak\r\n")"},
        {"tab\there", R"(Name="tab\there")"},
        {std::string("nul\0x", 5), R"(Name="nul\x00x")"},
        {"\x01\x1b[31m\x7f", R"(Name="\x01\x1B[31m\x7F")"},
        {"C1 \xC2\x85 \xC2\x9B", R"(Name="C1 \xC2\x85 \xC2\x9B")"},
        {"Disco \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE \xC2\xA0",
         "Name=\"Disco \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE \xC2\xA0\""},
        {"/tmp/x/\xFF", R"(Name="/tmp/x/\xFF")"},
        {"/tmp/x/\xFE", R"(Name="/tmp/x/\xFE")"},
        {"/tmp/x/\\xFF", R"(Name="/tmp/x/\\xFF")"},
        {"cut \xE2\x82", R"(Name="cut \xE2\x82")"},
        {"overlong \xC0\xAF", R"(Name="overlong \xC0\xAF")"},
        {"surrogate \xED\xA0\x80", R"(Name="surrogate \xED\xA0\x80")"},
        {"stray \x80 end", R"(Name="stray \x80 end")"},
        {"a;\n\tSize = \"1\";", R"(Name="a;\n\tSize = \"1\";")"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(PropertyLine("Name", c.value), c.line);
        std::string name = "stale", value = "stale";
        ASSERT_TRUE(ParsePropertyLine(c.line, name, value));
        EXPECT_EQ(name, "Name");
        EXPECT_EQ(value, c.value);
    }
    // Lower-case hex digits read as well.
    std::string name, value;
    ASSERT_TRUE(ParsePropertyLine(R"(VolumeName="\xff\x0a")", name, value));
    EXPECT_EQ(value, "\xFF\n");

    const std::string broken[] = {
        "Name",           "=\"x\"",          "Name=value",    "Name=\"open",   "Name=\"a\"b",
        "Name=\"a\"\"",   "Name=\"ends\\\"", "Name=\"\\q\"",  "Name=\"\\x4\"", "Name=\"\\xG0\"",
        "Name=\"t\tab\"", "Na me=\"x\"",     "Name=\"a\nb\"", "Name=\"\\",
    };
    for (const std::string &line : broken)
        EXPECT_FALSE(ParsePropertyLine(line, name, value)) << line;
}

TEST(PropertyLines, ObjectTextValuesAreTheValuesTheSystemGave)
{
    // As the drive query renders them (escapes of MOF strings), and as
    // Windows does (64-bit integers quoted, others bare, arrays in braces).
    const std::string text = "instance of Win32_LogicalDisk\r\n{\r\n"
                             "\tCaption = \"/mnt/a b\\\"c\\nd\\\\e\\tf;\\r\\n\\tSize = \\\"1\\\";\";\r\n"
                             "\tCompressed = FALSE;\n"
                             "\tDescription = \"x = y\";\n"
                             "\tDriveType = 3;\n"
                             "\tFreeSpace = \"12884901888\";\n"
                             "\tName = \"C1 \\x0085 nul \\x0000!\";\n"
                             "\tCapabilities = {3, 4};\n"
                             "\tVolumeName = \"\";\n"
                             "\tBad = \"kept \\q as written\";\n"
                             "no tab = \"not a property\";\n"
                             "};\n";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Caption", "/mnt/a b\"c\nd\\e\tf;\r\n\tSize = \"1\";"},
        {"Compressed", "FALSE"},
        {"Description", "x = y"},
        {"DriveType", "3"},
        {"FreeSpace", "12884901888"},
        {"Name", std::string("C1 \xC2\x85 nul \0!", 12)},
        {"Capabilities", "{3, 4}"},
        {"VolumeName", ""},
        {"Bad", "kept \\q as written"},
    };
    EXPECT_EQ(MofInstanceValues(text), expected);
}

// Mount paths as drive names: UTF-8 stays byte for byte, other bytes show as
// \xNN and keep two paths apart.
TEST(MofText, PathsThatAreNotUtf8GetVisibleNamesOfTheirOwn)
{
    struct Case
    {
        std::string raw;
        std::string name;
    };
    const Case cases[] = {
        {"/", "/"},
        {"", ""},
        {"/media/ana/Fotos \xC3\xA9t\xC3\xA9 \xF0\x9F\x92\xBE",
         "/media/ana/Fotos \xC3\xA9t\xC3\xA9 \xF0\x9F\x92\xBE"},
        {"/mnt/back\\slash \"q\"\n\t", "/mnt/back\\slash \"q\"\n\t"},
        {"/tmp/x/\xFF", "/tmp/x/\\xFF"},
        {"/tmp/x/\xFE", "/tmp/x/\\xFE"},
        {"/tmp/x/\xE9t\xE9", "/tmp/x/\\xE9t\\xE9"},
        {"/tmp/x/\xC3", "/tmp/x/\\xC3"},
        {"/tmp/x/\xC3\xA9\xC3", "/tmp/x/\xC3\xA9\\xC3"},
        {"\x80/a", "\\x80/a"},
        {"overlong \xC0\xAF", "overlong \\xC0\\xAF"},
        {"surrogate \xED\xA0\x80", "surrogate \\xED\\xA0\\x80"},
        {"beyond \xF4\x90\x80\x80", "beyond \\xF4\\x90\\x80\\x80"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VisibleUtf8(c.raw), c.name) << c.raw;
}
