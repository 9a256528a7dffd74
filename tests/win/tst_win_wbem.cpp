// SPDX-License-Identifier: MIT
// The drive query over the WMI COM objects, against Wine's own WMI service:
// its drives C: (the prefix's drive_c) and Z: (the Linux root).
#include "platform/WbemFactory.h"
#include "platform/win/WinText.h"
#include "platform/win/WinWbemService.h"
#include "wmi/ObjectText.h"

#include <WinTestSupport.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::int32_t WbemInvalidQuery = std::int32_t(0x80041017);

std::vector<std::string> RunQuery(platform::WbemLocator &locator, const std::string &wql)
{
    auto services = locator.ConnectServer(".", "root\\cimv2");
    auto objects = services->ExecQuery(wql);
    std::vector<std::string> texts;
    while (auto object = objects->Next())
        texts.push_back(object->GetObjectText());
    return texts;
}

std::map<std::string, std::string> PropertyMap(const std::string &text)
{
    std::vector<std::string> list;
    ObjectText::BuildPropertyList(ObjectText::SplitLines(text), list);
    std::map<std::string, std::string> values;
    for (const std::string &line : list) {
        const auto equals = line.find('=');
        values.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return values;
}

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

struct DiskFigures
{
    ULONGLONG CallerAvailable = 0;
    ULONGLONG Total = 0;
    ULONGLONG TotalFree = 0;
    bool operator==(const DiskFigures &) const = default;
};

DiskFigures Figures(const std::string &drive)
{
    DiskFigures figures;
    ULARGE_INTEGER available{}, total{}, totalFree{};
    const std::wstring root = platform::win::Utf8ToWide(drive) + L"\\";
    EXPECT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree)) << drive;
    figures.CallerAvailable = available.QuadPart;
    figures.Total = total.QuadPart;
    figures.TotalFree = totalFree.QuadPart;
    return figures;
}

class WinWbemTest : public testing::Test
{
protected:
    platform::WinComApartment Apartment;
};

TEST_F(WinWbemTest, LogicalDisksListWineDrivesWithTheirFigures)
{
    ASSERT_TRUE(Apartment.Usable());
    auto locator = platform::CreateWbemLocator();
    const auto texts = RunQuery(*locator, "SELECT * FROM Win32_LogicalDisk");

    std::map<std::string, std::map<std::string, std::string>> drives;
    for (const std::string &text : texts) {
        // Wine's text starts with a line break; Windows' with the header.
        const auto lines = ObjectText::SplitLines(text);
        const auto header = std::find_if(lines.begin(), lines.end(),
                                         [](const std::string &line) { return !line.empty(); });
        ASSERT_NE(header, lines.end());
        EXPECT_EQ(*header, "instance of Win32_LogicalDisk") << text;
        EXPECT_EQ(text.find('\0'), std::string::npos) << "NUL inside the object text";
        auto values = PropertyMap(text);
        // The shared reader of single values agrees with the property list.
        for (const char *name : {"Name", "Size", "FreeSpace", "DriveType"}) {
            ASSERT_TRUE(values.count(name)) << name << " missing in\n" << text;
            EXPECT_EQ(ObjectText::FindValueInObjectText(name, text), values[name]) << name;
        }
        drives[values["Name"]] = values;
    }
    ASSERT_TRUE(drives.count("C:")) << "no C: among " << texts.size() << " objects";
    ASSERT_TRUE(drives.count("Z:")) << "no Z: among " << texts.size() << " objects";

    for (const auto &[name, values] : drives) {
        SCOPED_TRACE(name);
        const std::wstring root = platform::win::Utf8ToWide(name) + L"\\";
        EXPECT_EQ(values.at("DriveType"), std::to_string(GetDriveTypeW(root.c_str())));
        if (name != "C:" && name != "Z:")
            continue;
        // Other processes write to the same file system: query until the
        // figures hold still across one query.
        bool steady = false;
        for (int attempt = 0; attempt < 20 && !steady; ++attempt) {
            const DiskFigures before = Figures(name);
            std::string freeSpace, size;
            for (const std::string &text : RunQuery(*locator, "SELECT * FROM Win32_LogicalDisk")) {
                if (ObjectText::FindValueInObjectText("Name", text) == name) {
                    freeSpace = ObjectText::FindValueInObjectText("FreeSpace", text);
                    size = ObjectText::FindValueInObjectText("Size", text);
                }
            }
            const DiskFigures after = Figures(name);
            if (!(before == after))
                continue;
            steady = true;
            std::cout << name << " FreeSpace " << freeSpace << ", Size " << size
                      << "; GetDiskFreeSpaceExW: caller-available " << after.CallerAvailable << ", total free "
                      << after.TotalFree << ", total " << after.Total << "\n";
            if (RunningUnderWine()) {
                // Wine's Size is the drive's made-up disk geometry
                // (10000 cylinders x 255 heads x 63 sectors x 512 bytes),
                // not the volume's size.
                EXPECT_GT(std::stoull(size), 0u);
            } else {
                EXPECT_EQ(size, std::to_string(after.Total));
            }
            // Free space as the caller may use it (what GetDiskFreeSpaceExW
            // reports first), not the file system's total free space.
            EXPECT_EQ(freeSpace, std::to_string(after.CallerAvailable)) << "total free " << after.TotalFree;
        }
        EXPECT_TRUE(steady) << "free space never held still across a query";
    }
}

TEST_F(WinWbemTest, MalformedQueryFailsWithTheSystemsMessage)
{
    platform::WinWbemLocator locator;
    auto services = locator.ConnectServer(".", "root\\cimv2");
    try {
        services->ExecQuery("SELECT FROM WHERE Win32_LogicalDisk ==");
        FAIL() << "the query ran";
    } catch (const platform::WbemError &error) {
        EXPECT_EQ(error.code(), WbemInvalidQuery) << error.what();
        const std::string message = error.what();
        std::cout << "malformed query: " << message << "\n";
        ASSERT_FALSE(message.empty());
        EXPECT_NE(message.back(), '\n');
        EXPECT_EQ(message, platform::win::SystemMessage(std::uint32_t(WbemInvalidQuery)));
        // The system's own table (or WMI's) when it knows the code.
        wchar_t buffer[512] = {};
        if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           DWORD(WbemInvalidQuery), 0, buffer, 512, nullptr)
            == 0) {
            EXPECT_NE(message.find("0x80041017"), std::string::npos) << message;
        }
    }
}

TEST_F(WinWbemTest, UnknownClassAndNamespaceFail)
{
    platform::WinWbemLocator locator;
    EXPECT_THROW(locator.ConnectServer(".", "root\\nosuchnamespace"), platform::WbemError);
    auto services = locator.ConnectServer(".", "root\\cimv2");
    if (RunningUnderWine()) {
        // Wine answers a class it does not know with an empty result.
        auto objects = services->ExecQuery("SELECT * FROM Win32_NoSuchClass");
        EXPECT_EQ(objects->Next(), nullptr);
        return;
    }
    // Windows: WBEM_E_INVALID_CLASS.
    EXPECT_THROW(services->ExecQuery("SELECT * FROM Win32_NoSuchClass"), platform::WbemError);
}

TEST(WinWbemApartment, LocatorWorksOnThreadsNobodyInitialised)
{
    std::string singleThreaded, multiThreaded;
    std::thread([&] {
        platform::WinWbemLocator locator;
        singleThreaded = std::to_string(RunQuery(locator, "SELECT * FROM Win32_LogicalDisk").size());
    }).join();
    std::thread([&] {
        // A thread already in the multi-threaded apartment stays there.
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        {
            platform::WinComApartment apartment;
            EXPECT_TRUE(apartment.Usable());
            platform::WinWbemLocator locator;
            multiThreaded = std::to_string(RunQuery(locator, "SELECT * FROM Win32_LogicalDisk").size());
        }
        CoUninitialize();
    }).join();
    EXPECT_NE(singleThreaded, "0");
    EXPECT_EQ(singleThreaded, multiThreaded);
}

TEST(WinSystemMessage, UnknownCodesFallBackToTheirNumber)
{
    EXPECT_EQ(platform::win::SystemMessage(0x8004FFFFu), "WMI error 0x8004FFFF");
    // A code the system knows: ERROR_FILE_NOT_FOUND.
    const std::string known = platform::win::SystemMessage(2);
    EXPECT_FALSE(known.empty());
    EXPECT_EQ(known.find("0x"), std::string::npos) << known;
    EXPECT_NE(known.back(), '\n');
}

} // namespace
