// SPDX-License-Identifier: MIT
// velmora-wql --properties, the program itself: object texts written down as
// the drive query renders them give exactly the lines written down here.
#include "Command.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using testsupport::Capture;

TEST(WqlTool, PropertiesPrintEveryValueSoThatItParsesBack)
{
    testsupport::TempFolder folder("velmora-wqltool");
    const std::string objects = folder.Path() + "/objects.fake";
    std::ofstream(objects, std::ios::binary) << "instance of Win32_LogicalDisk\n{\n"
                                                "\tCaption = \"x = y\";\n"
                                                "\tCompressed = FALSE;\n"
                                                "\tDescription = \"q\\\"uote\";\n"
                                                "\tDriveType = 3;\n"
                                                "\tFreeSpace = \"400\";\n"
                                                "\tName = \"back\\\\slash\";\n"
                                                "\tProviderName = \"line\\nbreak\\ttab \\x001B[1m\";\n"
                                                "\tVolumeName = \"\";\n"
                                                "};\n"
                                                "----\n"
                                                "instance of Win32_LogicalDisk\n{\n"
                                                "\tName = \"/tmp/x/\\\\xFF\";\n"
                                                "\tVolumeName = \"Fotos \xC3\xA9t\xC3\xA9 \";\n"
                                                "};\n";
    const std::string out = Capture("VELMORA_FAKE_WBEM='" + objects
                                    + "' " VELMORA_WQL " --properties 'SELECT * FROM Win32_LogicalDisk'");
    EXPECT_EQ(out,
              "Caption=\"x = y\"\n"
              "Compressed=\"FALSE\"\n"
              "Description=\"q\\\"uote\"\n"
              "DriveType=\"3\"\n"
              "FreeSpace=\"400\"\n"
              "Name=\"back\\\\slash\"\n"
              "ProviderName=\"line\\nbreak\\ttab \\x1B[1m\"\n"
              "VolumeName=\"\"\n"
              "\n"
              "Name=\"/tmp/x/\\\\xFF\"\n"
              "VolumeName=\"Fotos \xC3\xA9t\xC3\xA9 \"\n");
}

} // namespace
