// SPDX-License-Identifier: MIT
// The settings file between the two systems. fixtures/config-linux.ini holds
// the bytes the widget writes on Linux for one set of options; the profile
// functions must read them back. The other way, a file written here by
// WritePrivateProfileStringW is left at VELMORA_PROFILE_OUT for the Linux
// reader (tests/win/linux/tst_profile_compat.cpp).
#include <WinTestSupport.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring FixturePath()
{
    return wintest::HostPath(std::string(VELMORA_SOURCE_DIR) + "/tests/win/fixtures/config-linux.ini");
}

std::wstring ReadString(const std::wstring &file, const wchar_t *section, const wchar_t *key,
                        const wchar_t *fallback)
{
    wchar_t buffer[2048] = {};
    const DWORD length = GetPrivateProfileStringW(section, key, fallback, buffer, 2048, file.c_str());
    return std::wstring(buffer, length);
}

int ReadInt(const std::wstring &file, const wchar_t *section, const wchar_t *key, int fallback)
{
    return int(GetPrivateProfileIntW(section, key, fallback, file.c_str()));
}

struct TextKey
{
    const wchar_t *Section;
    const wchar_t *Key;
    const wchar_t *Expected;
};

TEST(WinProfile, LinuxFileReadsBackThroughTheProfileFunctions)
{
    const std::wstring file = FixturePath();
    ASSERT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

    // Names in the widget's own letter case and in others: the profile
    // functions ignore case.
    const TextKey texts[] = {
        {L"CONFIG", L"Top", L"-12"},
        {L"config", L"LEFT", L"300"},
        {L"Config", L"intervalo", L"30"},
        {L"CONFIG", L"Opacidad", L"204"},
        {L"CONFIG", L"EjecutarInicio", L"False"},
        {L"cOnFiG", L"VERDISCOSRED", L"True"},
        {L"CONFIG", L"Idioma", L"1"},
    };
    for (const TextKey &entry : texts) {
        EXPECT_EQ(ReadString(file, entry.Section, entry.Key, L"<missing>"), entry.Expected)
            << "key " << std::string(entry.Key, entry.Key + wcslen(entry.Key));
    }
    EXPECT_EQ(ReadInt(file, L"CONFIG", L"Top", 77), -12);
    EXPECT_EQ(ReadInt(file, L"config", L"left", 77), 300);
    EXPECT_EQ(ReadInt(file, L"CONFIG", L"Intervalo", 77), 30);
    EXPECT_EQ(ReadInt(file, L"CONFIG", L"OPACIDAD", 77), 204);
    EXPECT_EQ(ReadInt(file, L"CONFIG", L"Idioma", 77), 1);
    // Missing keys and sections give the caller's default.
    EXPECT_EQ(ReadInt(file, L"CONFIG", L"Nada", 77), 77);
    EXPECT_EQ(ReadString(file, L"OTRA", L"Top", L"<missing>"), L"<missing>");
}

TEST(WinProfile, WriterLeavesAFileForTheLinuxReader)
{
    const char *out = std::getenv("VELMORA_PROFILE_OUT");
    if (!out || !*out)
        GTEST_SKIP() << "VELMORA_PROFILE_OUT is not set: no file for the Linux half";
    const std::wstring file = wintest::HostPath(out);
    DeleteFileW(file.c_str());

    // Keys in letters cases other than the widget's: the Linux reader must
    // ignore case as the profile functions do. Values as the widget writes
    // them; a second section that must not leak into CONFIG.
    const TextKey writes[] = {
        {L"CONFIG", L"top", L"-40"},
        {L"CONFIG", L"LEFT", L"1280"},
        {L"Config", L"Intervalo", L"60"},
        {L"CONFIG", L"opacidad", L"51"},
        {L"CONFIG", L"EjecutarInicio", L"True"},
        {L"CONFIG", L"VerDiscosRed", L"False"},
        {L"CONFIG", L"IDIOMA", L"0"},
        {L"OTRA", L"Top", L"999"},
    };
    for (const TextKey &entry : writes)
        ASSERT_TRUE(WritePrivateProfileStringW(entry.Section, entry.Key, entry.Expected, file.c_str()));
    // Flush Wine's profile cache to the file.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());

    for (const TextKey &entry : writes)
        EXPECT_EQ(ReadString(file, entry.Section, entry.Key, L"<missing>"), entry.Expected);
    EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
