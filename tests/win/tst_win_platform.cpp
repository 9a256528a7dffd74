// SPDX-License-Identifier: MIT
// The shared interfaces of the platform layer (platform/*.h) as the Windows
// half answers them: what the widget's portable code sees on Windows.
#include "platform/BoundedFile.h"
#include "platform/DriveEject.h"
#include "platform/Folders.h"
#include "platform/MountWatch.h"
#include "platform/SessionStart.h"
#include "platform/SingleInstance.h"
#include "platform/StopSignals.h"
#include "platform/SystemError.h"
#include "platform/UserLocale.h"
#include "platform/VersionResource.h"
#include "platform/WindowStyle.h"
#include "platform/win/WinSessionStart.h"
#include "platform/win/WinSystemInfo.h"
#include "platform/win/WinText.h"
#include "platform/win/WinWindowStyle.h"

#include <WinTestSupport.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

using platform::win::Utf8ToWide;
using platform::win::WideToUtf8;

std::optional<std::wstring> RunValue(const std::wstring &name)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, platform::win::RunKeyPath, name.c_str(), RRF_RT_REG_SZ, nullptr, data,
                     &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

// The bounded reader: regular files up to the cap, counted in bytes read;
// a folder, a device (NUL never ends on its own terms) and a missing file
// are refused at once. Names are UTF-8.
TEST(WinPlatform, BoundedReaderReadsOnlyRegularFilesUpToTheCap)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / L"velmora-bounded-\u00f1";
    fs::remove_all(folder);
    ASSERT_TRUE(fs::create_directories(folder));
    const auto write = [&](const wchar_t *name, std::size_t size) {
        std::ofstream(folder / name, std::ios::binary) << std::string(size, 'v');
        return WideToUtf8((folder / name).wstring());
    };
    using Status = platform::BoundedRead::Status;
    const struct
    {
        std::string path;
        Status expected;
        std::size_t bytes;
    } cases[] = {
        {write(L"at-the-cap-\u00e9.lng", 16), Status::Ok, 16},
        {write(L"empty.lng", 0), Status::Ok, 0},
        {write(L"past-the-cap.lng", 17), Status::TooLarge, 0},
        {WideToUtf8(folder.wstring()), Status::NotRegular, 0},
        {"NUL", Status::NotRegular, 0},
        {WideToUtf8((folder / L"none.lng").wstring()), Status::Missing, 0},
    };
    for (const auto &c : cases) {
        const platform::BoundedRead read = platform::ReadBoundedFile(c.path, 16);
        EXPECT_EQ(read.Result, c.expected) << c.path << ": " << read.Reason;
        EXPECT_EQ(read.Bytes.size(), c.bytes) << c.path;
        EXPECT_EQ(read.Reason.empty(), c.expected == Status::Ok) << c.path << ": " << read.Reason;
    }
    fs::remove_all(folder);
}

TEST(WinPlatform, SessionStartWritesAndRemovesTheRunValue)
{
    // The test's own prefix: make sure the key exists (the program never
    // creates it).
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, platform::win::RunKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    const std::string name = "velmora-platform-" + std::to_string(GetCurrentProcessId());
    // A path as Qt spells it: forward slashes, a blank.
    const std::string program = "C:/Program Files/Velmora/" + name + ".exe";
    EXPECT_EQ(platform::SessionStartEntryName(program), name);
    EXPECT_EQ(platform::SessionStartEntryLocation(program),
              "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\" + name);

    ASSERT_EQ(platform::SetSessionStart(program, true), platform::SessionStartResult::Done);
    EXPECT_EQ(RunValue(Utf8ToWide(name)), L"\"C:\\Program Files\\Velmora\\" + Utf8ToWide(name) + L".exe\"");
    // Read back as the path it starts, without the quotes.
    EXPECT_EQ(platform::SessionStartProgram(program), "C:\\Program Files\\Velmora\\" + name + ".exe");
    EXPECT_EQ(platform::SessionStartProgram("C:/Tools/no-such-value-" + name + ".exe"), "");
    ASSERT_EQ(platform::SetSessionStart(program, false), platform::SessionStartResult::Done);
    EXPECT_FALSE(RunValue(Utf8ToWide(name)));
    // Removing what is not there is no error.
    EXPECT_EQ(platform::SetSessionStart(program, false), platform::SessionStartResult::Done);
}

TEST(WinPlatform, SessionStartEntryNameEndsAFolderAtEverySeparator)
{
    const struct
    {
        const char *Path;
        const char *Name;
    } cases[] = {
        {"C:\\Tools\\Widget.exe", "Widget"}, {"C:/Tools/Widget.exe", "Widget"},
        {"C:Widget.exe", "Widget"},          {"\\\\host\\share\\my.tool.exe", "my.tool"},
        {"C:\\dir.d\\prog", "prog"},         {"C:\\.velmora", ".velmora"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::SessionStartEntryName(c.Path), c.Name) << c.Path;
}

TEST(WinPlatform, FoldersAreTheRoamingOnes)
{
    EXPECT_EQ(platform::PathSeparator(), '\\');
    const std::string config = platform::UserConfigFolder();
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(config, WideToUtf8(platform::win::RoamingAppDataFolder()));

    wchar_t appData[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(platform::ProgramDataFolder(), WideToUtf8(appData) + "\\Brindlewick\\Velmora");
    SetEnvironmentVariableW(L"APPDATA", nullptr);
    EXPECT_EQ(platform::ProgramDataFolder(), "");
    SetEnvironmentVariableW(L"APPDATA", appData);
}

TEST(WinPlatform, VersionComesFromTheResourceNotFromTheBuild)
{
    // version.rc gives this program 1.2.0.0; the built-in value is ignored.
    const platform::FileVersion builtIn{(9u << 16) | 9u, 9u};
    const auto own = platform::ReadFileVersion("", builtIn);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->VersionMS, (1u << 16) | 2u);
    EXPECT_EQ(own->VersionLS, 0u);
    EXPECT_FALSE(platform::ReadFileVersion("C:\\no\\such\\file.exe", builtIn));
}

TEST(WinPlatform, SystemErrorTextHasNoLineBreak)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = platform::LastSystemErrorText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), ' ');
    // A code no message table knows has no text.
    SetLastError(0x2FFFFFFFu);
    EXPECT_EQ(platform::LastSystemErrorText(), "");
}

TEST(WinPlatform, LocaleIsTheSystemsAndNamesStillMap)
{
    EXPECT_EQ(platform::UserLocaleId(), platform::win::UserLocaleId());
    EXPECT_EQ(platform::LocaleIdFromPosixName("es_ES.UTF-8"), 3082u);
    EXPECT_EQ(platform::LocaleIdFromPosixName("C"), platform::LocaleEnglishUS);
}

TEST(WinPlatform, InstanceGuardIsTheNamedMutex)
{
    EXPECT_EQ(platform::InstanceDirectory(), "");
    EXPECT_EQ(platform::InstanceWindowTitle(), "kvDivoziVirudu");

    using Check = platform::SystemInstanceGuard::Check;
    platform::SystemInstanceGuard first;
    ASSERT_EQ(first.Acquire(), Check::First);
    {
        // Taken, and no window with the title to hand over to.
        platform::SystemInstanceGuard second;
        EXPECT_EQ(second.Acquire(), Check::OtherRunning);
    }
    first.Release();
    platform::SystemInstanceGuard third;
    EXPECT_EQ(third.Acquire(), Check::First);
}

TEST(WinPlatform, NoStopSignalsAndNoMountTable)
{
    platform::StopSignals signals;
    EXPECT_FALSE(signals.IsActive());
    EXPECT_EQ(signals.ReadHandle(), -1);
    EXPECT_EQ(signals.TakeSignal(), 0);

    platform::MountTableWatch watch;
    EXPECT_EQ(watch.Handle(), -1);
    EXPECT_FALSE(watch.Error().empty());
    watch.Acknowledge();
}

TEST(WinPlatform, CornerResultsFromTheWindowManagersCodes)
{
    using platform::CornerResult;
    const struct
    {
        unsigned long Code;
        CornerResult Result;
    } cases[] = {
        {0x00000000ul, CornerResult::Applied},      {0x80070006ul, CornerResult::InvalidWindow},
        {0x80070057ul, CornerResult::Refused},      {0x80004001ul, CornerResult::NotSupported},
        {0x80263001ul, CornerResult::NoCompositor}, {0x80004005ul, CornerResult::Failed},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::CornerResultFromHresult(long(c.Code)), c.Result) << std::hex << c.Code;
    EXPECT_EQ(platform::SetWindowCorners(nullptr, 0, platform::CornerPreference::Round),
              CornerResult::InvalidWindow);
}

TEST(WinPlatform, WindowStatesAreKeptByTheSystem)
{
    EXPECT_TRUE(platform::HasWindowSystem(nullptr));
    EXPECT_FALSE(platform::WindowStatesEndWithHide());

    WNDCLASSW description{};
    description.lpfnWndProc = DefWindowProcW;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"VelmoraPlatformTest";
    RegisterClassW(&description);
    const HWND window = CreateWindowExW(WS_EX_APPWINDOW, L"VelmoraPlatformTest", L"", WS_POPUP, 10, 10, 100, 50,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        GTEST_SKIP() << "needs a display: Wine could not create a window (run under Xvfb)";
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);

    const auto handle = reinterpret_cast<platform::WindowHandle>(window);
    platform::RemoveStaysOnTop(nullptr, handle);
    platform::AddWindowStates(nullptr, handle, platform::StateSkipTaskbar | platform::StateBelow);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(style & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    EXPECT_EQ(style & WS_EX_TOPMOST, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    DestroyWindow(window);
}

} // namespace

// The eject request: names that are no drive letter are refused before the
// system is asked; a letter that names no volume is refused by the system in
// its own words. (Wine has no removable volume to eject, so the success path
// is not reached here.)
TEST(WinDriveEject, RequestsForNoVolumeAreRefusedWithAReason)
{
    struct Case
    {
        const char *drive;
        platform::TEjectResult result;
    };
    const Case cases[] = {
        {"", platform::TEjectResult::NotEjectable},          {"E", platform::TEjectResult::NotEjectable},
        {"1:", platform::TEjectResult::NotEjectable},        {"E:\\x", platform::TEjectResult::NotEjectable},
        {"\\\\.\\E:", platform::TEjectResult::NotEjectable},
    };
    for (const Case &c : cases)
        EXPECT_EQ(platform::EjectVolume(c.drive).Result, c.result) << c.drive;

    // No drive Q: in the test prefix.
    const platform::TEjectOutcome missing = platform::EjectVolume("Q:");
    EXPECT_NE(missing.Result, platform::TEjectResult::Done);
    EXPECT_FALSE(missing.Detail.empty());
}
