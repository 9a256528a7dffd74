// SPDX-License-Identifier: MIT
#pragma once

#include "platform/WbemService.h"

namespace platform {

// Serves Win32_LogicalDisk in root\cimv2 from the mount table.
class LinuxWbemLocator : public WbemLocator
{
public:
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host,
                                                const std::string &nameSpace) override;
};

} // namespace platform
