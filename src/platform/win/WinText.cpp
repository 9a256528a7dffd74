// SPDX-License-Identifier: MIT
#include "platform/win/WinText.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <type_traits>

namespace platform::win {

std::wstring Utf8ToWide(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

std::string WideToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string narrow(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

namespace {

struct LocalFreer
{
    void operator()(wchar_t *p) const { LocalFree(p); }
};

struct LibraryFreer
{
    void operator()(HMODULE m) const { FreeLibrary(m); }
};

std::wstring FormatFrom(DWORD source, HMODULE module, DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(source | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        module, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::unique_ptr<wchar_t, LocalFreer> owner(buffer);
    if (length == 0 || !buffer)
        return {};
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace

std::string SystemMessage(std::uint32_t code)
{
    std::wstring text = FormatFrom(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
    // WBEM_E_* and WBEM_S_* codes: FACILITY_ITF, whose texts live in WMI's
    // own message module rather than in the system table.
    const bool wmiCode = HRESULT_FACILITY(code) == FACILITY_ITF;
    if (text.empty() && wmiCode) {
        // Windows keeps it in system32\wbem, Wine in system32. Full paths:
        // a message module is never looked for beside the program.
        wchar_t system[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            for (const wchar_t *name : {L"\\wbem\\wmiutils.dll", L"\\wmiutils.dll"}) {
                std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer> module(
                    LoadLibraryExW((std::wstring(system, length) + name).c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
                if (module)
                    text = FormatFrom(FORMAT_MESSAGE_FROM_HMODULE, module.get(), code);
                if (!text.empty())
                    break;
            }
        }
    }
    if (!text.empty())
        return WideToUtf8(text);
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, wmiCode ? "WMI error 0x%08X" : "Error 0x%08X", unsigned(code));
    return fallback;
}

} // namespace platform::win
