// SPDX-License-Identifier: MIT
#include "platform/linux/LinuxWbemService.h"

namespace platform {

std::unique_ptr<WbemServices> LinuxWbemLocator::ConnectServer(const std::string &, const std::string &)
{
    throw WbemError("Not implemented yet");
}

} // namespace platform
