// SPDX-License-Identifier: MIT
#include "platform/win/WinRunKey.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform::win {

namespace {

class OpenKey
{
public:
    explicit OpenKey(const wchar_t *path)
    {
        // KEY_ALL_ACCESS: the sub-key removal needs more than value rights.
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~OpenKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;

    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

std::wstring RunCommandFor(const std::wstring &programPath)
{
    if (programPath.find(L' ') == std::wstring::npos)
        return programPath;
    return L"\"" + programPath + L"\"";
}

RunKeyResult SetRunValue(const std::wstring &valueName, const std::wstring &programPath,
                         const wchar_t *keyPath)
{
    OpenKey key(keyPath);
    if (!key.Get())
        return RunKeyResult::KeyNotOpened;
    const std::wstring data = RunCommandFor(programPath);
    const auto bytes = DWORD((data.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE *>(data.c_str()), bytes)
        != ERROR_SUCCESS)
        return RunKeyResult::WriteFailed;
    return RunKeyResult::Done;
}

RunKeyResult RemoveRunValue(const std::wstring &valueName, const wchar_t *keyPath)
{
    OpenKey key(keyPath);
    if (!key.Get())
        return RunKeyResult::KeyNotOpened;
    // An empty name would delete every sub-key of the Run key.
    if (!valueName.empty())
        RegDeleteTreeW(key.Get(), valueName.c_str());
    RegDeleteValueW(key.Get(), valueName.c_str());
    return RunKeyResult::Done;
}

} // namespace platform::win
