// SPDX-License-Identifier: MIT
#include "platform/ThisMachine.h"

#include "wbem/Wql.h"

#include <unistd.h>

#include <climits>

namespace platform {

bool IsThisMachine(const std::string &host)
{
    if (host.empty() || host == "." || WqlNamesEqual(host, "localhost"))
        return true;
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return false;
    const std::string name(buffer);
    return WqlNamesEqual(host, name) || WqlNamesEqual(host, name.substr(0, name.find('.')));
}

} // namespace platform
