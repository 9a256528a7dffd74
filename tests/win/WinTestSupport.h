// SPDX-License-Identifier: MIT
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace wintest {

// A path of the Linux file system as Wine's drive Z: (the root) shows it.
inline std::wstring HostPath(const std::string &unixPath)
{
    std::wstring path = L"Z:";
    for (const char c : unixPath)
        path += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
    return path;
}

// A fresh folder under the system's temporary folder, removed with its files
// (one level) when the object goes.
class TempFolder
{
public:
    explicit TempFolder(const wchar_t *prefix)
    {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        m_path = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_"
                 + std::to_wstring(GetTickCount64());
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder()
    {
        WIN32_FIND_DATAW entry;
        const HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..")
                    DeleteFileW((m_path + L"\\" + name).c_str());
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryW(m_path.c_str());
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::wstring &Path() const { return m_path; }
    std::wstring File(const wchar_t *name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

} // namespace wintest
