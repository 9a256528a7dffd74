// SPDX-License-Identifier: MIT
#include "platform/win/WinSystemInfo.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>

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
    if (!VerQueryValueW(data.data(), L"\\", &block, &blockSize) || !block
        || blockSize < sizeof(VS_FIXEDFILEINFO))
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
