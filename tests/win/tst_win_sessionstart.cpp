// SPDX-License-Identifier: MIT
// The start-with-the-session value under the current user's Run key, read
// back with RegQueryValueExW.
#include "platform/win/WinSessionStart.h"

#include <WinTestSupport.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using platform::win::RemoveRunValue;
using platform::win::RunKeyPath;
using platform::win::RunKeyResult;
using platform::win::SetRunValue;

constexpr wchar_t ValueName[] = L"VelmoraRunKeyTest";

struct RegistryValue
{
    DWORD Type = 0;
    std::wstring Data;
};

std::optional<RegistryValue> ReadValue(const wchar_t *keyPath, const wchar_t *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue value;
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    const LONG status = RegQueryValueExW(key, name, nullptr, &value.Type, reinterpret_cast<BYTE *>(buffer),
                                         &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    value.Data.assign(buffer, bytes / sizeof(wchar_t));
    // The stored size counts the terminating NUL.
    if (!value.Data.empty() && value.Data.back() == L'\0')
        value.Data.pop_back();
    return value;
}

int ValueCount(const wchar_t *keyPath)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return int(values);
}

class WinRunKeyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // A fresh Wine prefix may lack the Run key; Windows always has it.
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, RunKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        RegCloseKey(key);
        RemoveRunValue(ValueName);
    }
    void TearDown() override { RemoveRunValue(ValueName); }
};

TEST_F(WinRunKeyTest, ValueIsAddedReplacedAndRemoved)
{
    const int before = ValueCount(RunKeyPath);
    ASSERT_EQ(SetRunValue(ValueName, L"C:\\Tools\\Widget.exe"), RunKeyResult::Done);
    auto value = ReadValue(RunKeyPath, ValueName);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Type, DWORD(REG_SZ));
    EXPECT_EQ(value->Data, L"C:\\Tools\\Widget.exe");

    ASSERT_EQ(SetRunValue(ValueName, L"D:\\Other\\Widget.exe"), RunKeyResult::Done);
    value = ReadValue(RunKeyPath, ValueName);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Data, L"D:\\Other\\Widget.exe");
    EXPECT_EQ(ValueCount(RunKeyPath), before + 1) << "replacing must not add a second value";

    ASSERT_EQ(RemoveRunValue(ValueName), RunKeyResult::Done);
    EXPECT_FALSE(ReadValue(RunKeyPath, ValueName));
    EXPECT_EQ(ValueCount(RunKeyPath), before);
    // Removing what is not there is no error.
    EXPECT_EQ(RemoveRunValue(ValueName), RunKeyResult::Done);
}

TEST_F(WinRunKeyTest, PathWithBlanksIsStoredQuoted)
{
    const std::wstring program = L"C:\\Program Files\\Brindlewick Velmora\\velmora.exe";
    ASSERT_EQ(SetRunValue(ValueName, program), RunKeyResult::Done);
    const auto value = ReadValue(RunKeyPath, ValueName);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Data, L"\"" + program + L"\"");
    EXPECT_EQ(platform::win::RunCommandFor(L"C:\\Tools\\Widget.exe"), L"C:\\Tools\\Widget.exe");
}

TEST_F(WinRunKeyTest, RemovalAlsoDeletesASubKeyOfThatName)
{
    const std::wstring subKey = std::wstring(RunKeyPath) + L"\\" + ValueName + L"\\Below";
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(SetRunValue(ValueName, L"C:\\Tools\\Widget.exe"), RunKeyResult::Done);

    EXPECT_EQ(RemoveRunValue(ValueName), RunKeyResult::Done);
    EXPECT_FALSE(ReadValue(RunKeyPath, ValueName));
    const std::wstring direct = std::wstring(RunKeyPath) + L"\\" + ValueName;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, direct.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(WinRunKeyTest, MissingKeyIsNeitherCreatedNorReportedAsWritten)
{
    constexpr wchar_t missing[] = L"Software\\Brindlewick\\VelmoraNoSuchKey\\Run";
    EXPECT_EQ(SetRunValue(ValueName, L"C:\\Tools\\Widget.exe", missing), RunKeyResult::KeyNotOpened);
    EXPECT_EQ(RemoveRunValue(ValueName, missing), RunKeyResult::KeyNotOpened);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, missing, 0, KEY_READ, &key), ERROR_SUCCESS);
}

} // namespace
