// SPDX-License-Identifier: MIT
#include "platform/fake/FakeWbemService.h"

namespace platform {

std::unique_ptr<WbemServices> FakeWbemLocator::ConnectServer(const std::string &, const std::string &)
{
    throw WbemError("Not implemented yet");
}

} // namespace platform
