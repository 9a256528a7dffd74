// SPDX-License-Identifier: MIT
#include "platform/WbemService.h"

#include "platform/fake/FakeWbemService.h"

#include <cstdlib>

#if defined(_WIN32)
#include "platform/win/WinWbemService.h"
#else
#include "platform/linux/LinuxWbemService.h"
#endif

namespace platform {

std::unique_ptr<WbemLocator> CreateWbemLocator()
{
    if (const char *fake = std::getenv("VELMORA_FAKE_WBEM"); fake && *fake)
        return std::make_unique<FakeWbemLocator>(fake);
#if defined(_WIN32)
    return std::make_unique<WinWbemLocator>();
#else
    return std::make_unique<LinuxWbemLocator>();
#endif
}

} // namespace platform
