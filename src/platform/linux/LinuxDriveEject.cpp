// SPDX-License-Identifier: MIT
#include "platform/DriveEject.h"

namespace platform {

// A user's drives are ejected by UDisks2 (src/desktop), which checks the
// user's rights and powers the device off; the program has no business doing
// it with root's system calls itself. Only a Qt without D-Bus comes here.
TEjectOutcome EjectVolume(const std::string &)
{
    return {TEjectResult::NotEjectable, "no disk service"};
}

} // namespace platform
