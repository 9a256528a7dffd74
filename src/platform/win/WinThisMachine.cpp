// SPDX-License-Identifier: MIT
#include "platform/ThisMachine.h"

#include "platform/win/WinText.h"
#include "wbem/Wql.h"

#include <windows.h>

namespace platform {

namespace {

std::string computerName(COMPUTER_NAME_FORMAT format)
{
    wchar_t buffer[256] = {};
    DWORD size = 256;
    if (!GetComputerNameExW(format, buffer, &size))
        return {};
    return win::WideToUtf8(std::wstring(buffer, size));
}

} // namespace

bool IsThisMachine(const std::string &host)
{
    if (host.empty() || host == "." || WqlNamesEqual(host, "localhost"))
        return true;
    for (COMPUTER_NAME_FORMAT f : {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        const std::string name = computerName(f);
        if (!name.empty() && WqlNamesEqual(host, name))
            return true;
    }
    return false;
}

} // namespace platform
