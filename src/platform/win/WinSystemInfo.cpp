// SPDX-License-Identifier: MIT
#include "platform/win/WinSystemInfo.h"

#include "platform/Folders.h"
#include "platform/SystemError.h"
#include "platform/UserLocale.h"
#include "platform/VersionResource.h"
#include "platform/win/WinText.h"

#define WIN32_LEAN_AND_MEAN
#include <shlobj.h>
#include <windows.h>

#include <vector>

namespace platform::win {

std::uint32_t UserLocaleId()
{
    return GetUserDefaultLCID();
}

std::wstring RoamingAppDataFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    return buffer;
}

std::wstring ProgramFilePath()
{
    // Long paths: grow the buffer until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<FileVersion> ReadFileVersion(const std::wstring &fileName)
{
    const std::wstring file = fileName.empty() ? ProgramFilePath() : fileName;
    if (file.empty())
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return std::nullopt;

    void *block = nullptr;
    UINT blockSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", &block, &blockSize) || !block || blockSize < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(block);
    if (fixed->dwSignature != 0xFEEF04BD)
        return std::nullopt;
    FileVersion version;
    version.VersionMS = fixed->dwFileVersionMS;
    version.VersionLS = fixed->dwFileVersionLS;

    // Each entry: a language and a code page, two WORDs.
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &block, &blockSize) && block
        && blockSize >= 2 * sizeof(WORD)) {
        const auto *entry = static_cast<const WORD *>(block);
        version.Language = entry[0];
        version.CodePage = entry[1];
    }
    return version;
}

} // namespace platform::win

// The shared interfaces (Folders.h, UserLocale.h, VersionResource.h,
// SystemError.h) on Windows.
namespace platform {

namespace {

std::wstring Environment(const wchar_t *name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size)
        return {};
    value.resize(length);
    return value;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

} // namespace

std::string UserConfigFolder()
{
    // Empty when the shell cannot tell.
    return win::WideToUtf8(win::RoamingAppDataFolder());
}

std::string ProgramDataFolder()
{
    const std::wstring roaming = Environment(L"APPDATA");
    if (roaming.empty())
        return {};
    return win::WideToUtf8(roaming) + "\\Brindlewick\\Velmora";
}

std::string ProgramStateFolder()
{
    const std::wstring local = Environment(L"LOCALAPPDATA");
    if (local.empty())
        return {};
    return win::WideToUtf8(local) + "\\Velmora";
}

char PathSeparator()
{
    return '\\';
}

std::uint32_t UserLocaleId()
{
    return win::UserLocaleId();
}

std::optional<FileVersion> ReadFileVersion(const std::string &fileName, const FileVersion &)
{
    // An empty name reads the running program's own file.
    const auto version = win::ReadFileVersion(win::Utf8ToWide(fileName));
    if (!version)
        return std::nullopt;
    return FileVersion{version->VersionMS, version->VersionLS};
}

std::string LastSystemErrorText()
{
    const DWORD code = GetLastError();
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    // Without the line break the system ends its texts with.
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    return win::WideToUtf8(std::wstring_view(text).substr(start));
}

} // namespace platform
