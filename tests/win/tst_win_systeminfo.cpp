// SPDX-License-Identifier: MIT
// The version resource, the user's locale and the roaming folder.
#include "platform/win/WinSystemInfo.h"

#include <TempFolder.h>
#include <WinTestSupport.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace platform::win;

TEST(WinSystemInfo, VersionResourceOfTheProgramFile)
{
    // This program carries the widget's version resource (version.rc).
    const auto own = ReadFileVersion(L"");
    ASSERT_TRUE(own);
    EXPECT_EQ(own->VersionMS, (1u << 16) | 2u);
    EXPECT_EQ(own->VersionLS, 0u);
    EXPECT_EQ(own->Language, 0x0C0A);
    EXPECT_EQ(own->CodePage, 1252);
    const auto byName = ReadFileVersion(ProgramFilePath());
    ASSERT_TRUE(byName);
    EXPECT_EQ(byName->VersionMS, own->VersionMS);
}

TEST(WinSystemInfo, FilesWithoutVersionResourceGiveNothing)
{
    const testsupport::TempFolder folder("velmora_version");
    const std::wstring text = (folder.Folder() / L"plain.txt").wstring();
    const HANDLE file = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "MZ not really", 13, &written, nullptr);
    CloseHandle(file);
    EXPECT_FALSE(ReadFileVersion(text));
    EXPECT_FALSE(ReadFileVersion((folder.Folder() / L"missing.exe").wstring()));
}

TEST(WinSystemInfo, LocaleAndRoamingFolder)
{
    // CTest runs this suite under Unix locales that Wine maps to English
    // (C.UTF-8: 1033) and to Spanish (es_ES.UTF-8: 3082).
    const char *expected = std::getenv("VELMORA_EXPECT_LCID");
    EXPECT_EQ(UserLocaleId(), expected ? std::uint32_t(std::strtoul(expected, nullptr, 10)) : 0x0409u);
    const std::wstring folder = RoamingAppDataFolder();
    ASSERT_FALSE(folder.empty());
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(folder.back(), L'\\');
}

TEST(WinTestMain, CrashOutsideTheTestsEndsWithCodeThree)
{
    std::wstring command = L"\"" + ProgramFilePath() + L"\" --crash-outside-tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 3u);
}

} // namespace
