// SPDX-License-Identifier: MIT
// The object-text functions, byte for byte, against lines written down as the
// management service renders them.
#include "wmi/ObjectText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using Lines = std::vector<std::string>;

namespace {

std::string ReadFixture(const std::string &name)
{
    std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/tests/fixtures/objects/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

TEST(SplitLines, BreaksAtCrLfCrAndLf)
{
    struct Case
    {
        std::string text;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"\n", {""}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\n\r", {"a", ""}}, // LF then CR are two breaks
        {"a\r\r\nb", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},
        {"\tName = \"C:\";\r\n};", {"\tName = \"C:\";", "};"}},
        {std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ObjectText::SplitLines(c.text), c.lines) << "text: " << testing::PrintToString(c.text);
}

TEST(BuildPropertyList, TurnsPropertyLinesIntoNameValueLines)
{
    struct Case
    {
        std::string line;
        Lines result;
    };
    const Case cases[] = {
        {"\tCompressed = FALSE;", {"Compressed=FALSE"}},
        {"\tDriveType = 3;", {"DriveType=3"}},
        {"\tName = \"C:\";", {"Name=C:"}},
        {"\tFreeSpace = \"12884901888\";", {"FreeSpace=12884901888"}},
        {"\tVolumeName = \"\";", {"VolumeName="}},
        {"\tCapabilities = {3, 4};", {"Capabilities={3, 4}"}},
        // Lines without "=" give nothing.
        {"instance of Win32_LogicalDisk", {}},
        {"{", {}},
        {"};", {}},
        {"", {}},
        {"\t", {}},
        // A value that itself holds " = " has it changed as well.
        {"\tDescription = \"a = b\";", {"Description=a=b"}},
        // No unescaping: backslashes stay, inner quotes go.
        {"\tProviderName = \"\\\\\\\\srv\\\\datos\";", {"ProviderName=\\\\\\\\srv\\\\datos"}},
        {"\tVolumeName = \"di \\\"hola\\\"\";", {"VolumeName=di \\hola\\"}},
        // After the TAB everything with code 0..32 is trimmed from both ends.
        {"\tName = \"C:\";  \x01\x1f", {"Name=C:"}},
        {"\t\t  Name = 1;", {"Name=1"}},
        // Only one trailing ";" goes.
        {"\tX = 1;;", {"X=1;"}},
        // Without a leading TAB the line is not trimmed; a trailing ";"
        // behind blanks therefore stays.
        {"Name = \"C:\";", {"Name=C:"}},
        {"  Name = \"C:\";  ", {"  Name=C:;  "}},
        {" \tName = 1;", {" \tName=1"}},
        {"=", {"="}},
        {"a=b", {"a=b"}},
        // One left-to-right pass: " =  = " gives "==".
        {"\tA =  = b;", {"A==b"}},
        // Multi-byte UTF-8 passes through.
        {"\tVolumeName = \"Música\";", {"VolumeName=Música"}},
    };
    for (const Case &c : cases) {
        Lines out{"stale"};
        ObjectText::BuildPropertyList({c.line}, out);
        EXPECT_EQ(out, c.result) << "line: " << testing::PrintToString(c.line);
    }
}

TEST(BuildPropertyList, WholeObjectTextKeepsOrderAndEmptiesDestination)
{
    Lines out{"left over", "from before"};
    ObjectText::BuildPropertyList(ObjectText::SplitLines(ReadFixture("logicaldisk-c.mof")), out);
    const Lines expected = {
        "Access=0",
        "Caption=C:",
        "Compressed=FALSE",
        "CreationClassName=Win32_LogicalDisk",
        "Description=Disco fijo local",
        "DeviceID=C:",
        "DriveType=3",
        "FileSystem=NTFS",
        "FreeSpace=12884901888",
        "MaximumComponentLength=255",
        "MediaType=12",
        "Name=C:",
        "QuotasDisabled=TRUE",
        "QuotasIncomplete=FALSE",
        "QuotasRebuilding=FALSE",
        "Size=254721126400",
        "SupportsDiskQuotas=FALSE",
        "SupportsFileBasedCompression=TRUE",
        "SystemCreationClassName=Win32_ComputerSystem",
        "SystemName=ESCRITORIO",
        "VolumeName=",
        "VolumeSerialNumber=5A3C91E0",
    };
    EXPECT_EQ(out, expected);

    ObjectText::BuildPropertyList({}, out);
    EXPECT_TRUE(out.empty());
}

TEST(FindValueInObjectText, CutsTheValueOutOfTheFirstMatchingLine)
{
    const std::string disk = ReadFixture("logicaldisk-c.mof");
    const std::string network = ReadFixture("logicaldisk-z-network.mof");
    struct Case
    {
        std::string name;
        std::string text;
        std::string value;
    };
    const Case cases[] = {
        {"Caption", disk, "C:"},
        {"DriveType", disk, "3"},
        {"FreeSpace", disk, "12884901888"},
        {"Compressed", disk, "FALSE"},
        {"VolumeName", disk, ""},
        {"Description", network, "Conexión de red"},
        {"ProviderName", network, "\\\\\\\\servidor\\\\datos"},
        // Case-sensitive, whole name followed by " = ".
        {"caption", disk, ""},
        {"Name", "\tVolumeName = \"X\";\n\tNameFormat = 1;\n", ""},
        {"Name", "\tNameFormat = 1;\n\tName = \"C:\";\n", "C:"},
        {"Missing", disk, ""},
        {"Caption", "", ""},
        // The first matching line wins.
        {"Caption", "\tCaption = \"A:\";\r\tCaption = \"B:\";\r", "A:"},
        {"Capabilities", "\tCapabilities = {3, 4};", "{3, 4}"},
        // A lone ";" is kept, a trailing one after more text goes.
        {"X", "\tX = ;", ";"},
        {"X", "\tX = 12;", "12"},
        // Every quote-semicolon pair goes, other quotes stay.
        {"X", "\tX = \"a\";b\";", "ab"},
        {"X", "\tX = \"di \\\"hola\\\"\";", "di \\\"hola\\\""},
        // Lines are trimmed of codes 0..32 before matching.
        {"Caption", "   Caption = \"C:\";  \r\n", "C:"},
        {"Caption", "\tCaption =  \"C:\" ;", "C:\" "},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ObjectText::FindValueInObjectText(c.name, c.text), c.value)
            << c.name << " in " << testing::PrintToString(c.text);
}

TEST(ValueAsText, NullGivesEmptyText)
{
    EXPECT_EQ(ObjectText::ValueAsText("C:", false), "C:");
    EXPECT_EQ(ObjectText::ValueAsText("C:", true), "");
    EXPECT_EQ(ObjectText::ValueAsText("", false), "");
}
