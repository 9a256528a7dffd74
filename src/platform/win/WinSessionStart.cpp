// SPDX-License-Identifier: MIT
#include "platform/win/WinSessionStart.h"

#include "platform/SessionStart.h"
#include "platform/win/WinText.h"

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

RunKeyResult SetRunValue(const std::wstring &valueName, const std::wstring &programPath, const wchar_t *keyPath)
{
    OpenKey key(keyPath);
    if (!key.Get())
        return RunKeyResult::KeyNotOpened;
    const std::wstring data = RunCommandFor(programPath);
    const auto bytes = DWORD((data.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                       bytes)
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

// The shared interface (platform/SessionStart.h) over the Run key.
namespace platform {

namespace {

std::wstring NativePath(const std::string &path)
{
    std::wstring wide = win::Utf8ToWide(path);
    for (wchar_t &c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return wide;
}

} // namespace

std::string SessionStartEntryName(const std::string &programPath)
{
    const std::size_t folderEnd = programPath.find_last_of("/\\:");
    const std::string name = folderEnd == std::string::npos ? programPath : programPath.substr(folderEnd + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

std::string SessionStartEntryLocation(const std::string &programPath)
{
    return "HKEY_CURRENT_USER\\" + win::WideToUtf8(win::RunKeyPath) + "\\" + SessionStartEntryName(programPath);
}

std::string SessionStartProgram(const std::string &programPath)
{
    const std::wstring name = win::Utf8ToWide(SessionStartEntryName(programPath));
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, win::RunKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    // A value of 64 KiB at most is read; a larger one is not one of ours.
    std::wstring data(32 * 1024, L'\0');
    DWORD bytes = DWORD(data.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::string();
    data.resize(bytes / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0')
        data.pop_back();
    // RunCommandFor's quotes around a path with blanks.
    if (!data.empty() && data.front() == L'"') {
        const std::size_t close = data.find(L'"', 1);
        if (close == std::wstring::npos)
            return std::string();
        data = data.substr(1, close - 1);
    }
    return win::WideToUtf8(data);
}

SessionStartResult SetSessionStart(const std::string &programPath, bool enable, std::string *error)
{
    const std::wstring name = win::Utf8ToWide(SessionStartEntryName(programPath));
    win::RunKeyResult result;
    if (enable) {
        result = win::SetRunValue(name, NativePath(programPath));
    } else {
        // A sub-key of that name, with everything below it, then the value;
        // neither has to exist.
        result = win::RemoveRunValue(name);
    }
    switch (result) {
    case win::RunKeyResult::Done:
        return SessionStartResult::Done;
    case win::RunKeyResult::KeyNotOpened:
        return SessionStartResult::NotChanged;
    case win::RunKeyResult::WriteFailed:
        break;
    }
    if (error)
        *error = "the system refused to write " + SessionStartEntryLocation(programPath);
    return SessionStartResult::WriteFailed;
}

} // namespace platform
