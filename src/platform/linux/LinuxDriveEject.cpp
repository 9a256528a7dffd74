// SPDX-License-Identifier: MIT
#include "platform/DriveEject.h"

namespace platform {

// A user's drives are ejected by UDisks2, which checks the user's rights and
// powers the device off; the program has no business doing it with root's
// system calls itself.
bool EjectThroughDiskService()
{
    return true;
}

TEjectOutcome EjectVolume(const std::string &)
{
    return {TEjectResult::NotEjectable, "ejected through UDisks2"};
}

} // namespace platform
