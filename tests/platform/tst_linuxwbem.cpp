// SPDX-License-Identifier: MIT
// The Linux service as a WMI client sees it: property lists, the errors for a
// bad query, class, namespace or host, and the statvfs deadline setting.
#include "platform/DriveQueryWait.h"
#include "platform/linux/LinuxLogicalDisk.h"
#include "platform/linux/LinuxVolumeProbe.h"
#include "platform/linux/LinuxWbemService.h"
#include "wbem/MofText.h"
#include "wbem/Wql.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

TEST(LinuxWbem, PropertyListKeepsTheNamedPropertiesAndTheKey)
{
    LinuxMountEntry e;
    e.source = "/dev/sda1";
    e.target = "/home";
    e.fsType = "ext4";
    LinuxVolumeAnswer a;
    a.answered = a.statvfsOk = true;
    a.sizeBytes = 100;
    a.freeBytes = 40;
    const std::vector<std::vector<MofProperty>> objects = {
        LinuxLogicalDiskProperties(e, TDriveType::LocalDisk, a),
        LinuxLogicalDiskProperties(e, TDriveType::RAMDisk, a),
    };
    const auto texts = RenderLogicalDisks(
        ParseWql("SELECT size, NAME, VolumeName FROM Win32_LogicalDisk WHERE DriveType = 3"), objects);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0],
              "instance of Win32_LogicalDisk\n{\n"
              "\tDeviceID = \"/home\";\n"
              "\tName = \"/home\";\n"
              "\tSize = \"100\";\n"
              "};\n");
    EXPECT_EQ(RenderLogicalDisks(ParseWql("SELECT * FROM Win32_LogicalDisk WHERE FreeSpace < 40"), objects).size(),
              0u);
}

namespace {

void expectWbemError(const std::function<void()> &call, const char *message, std::uint32_t code)
{
    try {
        call();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const WbemError &e) {
        EXPECT_STREQ(e.what(), message);
        EXPECT_EQ(static_cast<std::uint32_t>(e.code()), code);
    }
}

} // namespace

TEST(LinuxWbem, ServiceErrorsAsAWmiClientSeesThem)
{
    LinuxWbemLocator locator;
    char host[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string upper(host);
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    for (const std::string &h :
         {std::string("."), std::string(""), std::string("LocalHost"), std::string(host), upper})
        for (const char *ns : {"root\\cimv2", "ROOT\\CIMV2", "root/cimv2", ""})
            EXPECT_NO_THROW(locator.ConnectServer(h, ns)) << h << " " << ns;

    expectWbemError([&] { locator.ConnectServer("fileserver.example", "root\\cimv2"); },
                    "The RPC server is unavailable.", 0x800706BAu);
    expectWbemError([&] { locator.ConnectServer(".", "root\\default"); }, "Invalid namespace", 0x8004100Eu);
    expectWbemError([&] { locator.ConnectServer(".", "root\\cimv2\\x"); }, "Invalid namespace", 0x8004100Eu);

    auto services = locator.ConnectServer(".", "root\\cimv2");
    expectWbemError([&] { services->ExecQuery("SELECT * FROM Win32_Process"); }, "Invalid class", 0x80041010u);
    expectWbemError([&] { services->ExecQuery("SELECT * FROM"); }, "Invalid query", 0x80041017u);
    expectWbemError([&] { services->ExecQuery("SELECT Bogus FROM Win32_LogicalDisk"); }, "Invalid query",
                    0x80041017u);
    expectWbemError([&] { services->ExecQuery("SELECT * FROM Win32_LogicalDisk WHERE Bogus = 1"); },
                    "Invalid query", 0x80041017u);
    // A property of the class that this system cannot fill is valid and has no value.
    EXPECT_NO_THROW(services->ExecQuery("SELECT BlockSize FROM Win32_LogicalDisk WHERE BlockSize IS NULL"));
}

TEST(LinuxWbem, StatfsDeadlineFromSetterOrEnvironment)
{
    SetLinuxStatfsDeadline(std::nullopt);
    ::unsetenv("VELMORA_STATFS_DEADLINE_MS");
    EXPECT_EQ(LinuxStatfsDeadline(), 1000ms);
    ::setenv("VELMORA_STATFS_DEADLINE_MS", "250", 1);
    EXPECT_EQ(LinuxStatfsDeadline(), 250ms);
    for (const char *bad : {"", "abc", "0", "-5", "250ms", "600001"}) {
        ::setenv("VELMORA_STATFS_DEADLINE_MS", bad, 1);
        EXPECT_EQ(LinuxStatfsDeadline(), 1000ms) << bad;
    }
    SetLinuxStatfsDeadline(40ms);
    EXPECT_EQ(LinuxStatfsDeadline(), 40ms);
    SetLinuxStatfsDeadline(std::nullopt);
    ::unsetenv("VELMORA_STATFS_DEADLINE_MS");
}

// The caller's wait: the deadline unless set shorter (a window's thread).
TEST(LinuxWbem, QueryWaitIsTheDeadlineUnlessSetShorter)
{
    SetLinuxStatfsDeadline(std::nullopt);
    SetLinuxQueryWait(std::nullopt);
    EXPECT_EQ(LinuxQueryWait(), LinuxStatfsDeadline());
    SetDriveQueryWait(kWindowDriveQueryWait);
    EXPECT_EQ(LinuxQueryWait(), kWindowDriveQueryWait);
    SetLinuxStatfsDeadline(20ms); // never longer than the deadline
    EXPECT_EQ(LinuxQueryWait(), 20ms);
    SetLinuxStatfsDeadline(std::nullopt);
    SetLinuxQueryWait(std::nullopt);
    EXPECT_EQ(LinuxQueryWait(), 1000ms);
}

namespace {

std::vector<std::string> listedNames()
{
    LinuxWbemLocator locator;
    auto result = locator.ConnectServer(".", "root\\cimv2")->ExecQuery("SELECT Name FROM Win32_LogicalDisk");
    std::vector<std::string> names;
    while (auto object = result->Next()) {
        const std::string text = object->GetObjectText();
        const std::string key = "\tName = \"";
        const std::size_t start = text.find(key);
        const std::size_t end = text.find("\";\n", start);
        std::string name;
        if (start != std::string::npos && end != std::string::npos
            && UnescapeMofString(text.substr(start + key.size(), end - start - key.size()), name))
            names.push_back(name);
    }
    return names;
}

bool listed(const std::string &name)
{
    const auto names = listedNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

// The query keeps what it read of fstab while the file's stamp stays the
// same; an x-gvfs-hide written for a listed drive must still hide it at the
// next query, and its removal show it again.
TEST(LinuxWbem, FstabChangesShowAtTheNextQuery)
{
    std::string drive;
    for (const std::string &name : listedNames())
        if (drive.empty()
            && name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-")
                == std::string::npos)
            drive = name;
    if (drive.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: no drive with a plain path is mounted here";

    const testsupport::TempFolder folder("velmora-fstab");
    const std::string path = folder.File("fstab");
    const auto write = [&](const std::string &text) {
        std::ofstream out(path, std::ios::trunc);
        out << text;
    };
    write("# no entries\n");
    ::setenv("LIBMOUNT_FSTAB", path.c_str(), 1);
    struct Restore
    {
        ~Restore() { ::unsetenv("LIBMOUNT_FSTAB"); }
    } restore;

    // Once the file's times are a second old the query trusts its stamp.
    std::this_thread::sleep_for(1100ms);
    EXPECT_TRUE(listed(drive)) << drive;
    EXPECT_TRUE(listed(drive)) << drive;

    write("none " + drive + " auto defaults,x-gvfs-hide 0 0\n");
    EXPECT_FALSE(listed(drive)) << drive << " hidden by fstab";
    write("# the entry is gone again\n");
    EXPECT_TRUE(listed(drive)) << drive;
}
