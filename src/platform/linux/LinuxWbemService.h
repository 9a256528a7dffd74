// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/WbemService.h"

namespace platform {

// Serves Win32_LogicalDisk in root\cimv2 from the mount table.
//
// Host: ".", "", "localhost" or this machine's name (gethostname, full or up
// to its first dot), in any letter case; any other host fails as an
// unreachable Windows host does ("The RPC server is unavailable.",
// 0x800706BA). Namespace: "root\cimv2" or "root/cimv2" in any letter case, or
// empty for that default; others fail with "Invalid namespace" (0x8004100E).
class LinuxWbemLocator : public WbemLocator
{
public:
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) override;
};

} // namespace platform
