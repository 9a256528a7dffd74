// SPDX-License-Identifier: MIT
#pragma once

#include "platform/WbemService.h"

#include <string>

namespace platform {

// A locator for tests, switched on by VELMORA_FAKE_WBEM: it serves the object
// texts of a file that the test rewrites between refreshes.
class FakeWbemLocator : public WbemLocator
{
public:
    explicit FakeWbemLocator(std::string path) : m_path(std::move(path)) {}
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host,
                                                const std::string &nameSpace) override;

private:
    std::string m_path;
};

} // namespace platform
