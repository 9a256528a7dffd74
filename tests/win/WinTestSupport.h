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

} // namespace wintest
