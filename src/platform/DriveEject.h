// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace platform {

// How a request to eject a drive ended.
enum class TEjectResult {
    Done,         // the volume is dismounted and the medium or device released
    Busy,         // files on it are open
    NotAllowed,   // the user may not do it
    NotEjectable, // no removable drive or medium stands behind it
    Failed,       // anything else (Detail says what)
};

struct TEjectOutcome
{
    TEjectResult Result = TEjectResult::Failed;
    // The system's own words, UTF-8; may be empty.
    std::string Detail;
};

// Windows: the system's eject request for a volume ("E:" or "E:\"): the
// volume is locked, dismounted, its medium's removal allowed and the medium
// ejected. Linux: NotEjectable; there a user's drives are ejected by UDisks2
// over D-Bus (src/desktop, DriveEjectBus.cpp), which checks the user's rights.
TEjectOutcome EjectVolume(const std::string &drive);

} // namespace platform
