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

// True where the desktop's disk service on the system bus (UDisks2) does the
// ejecting, so that the caller talks to it; false where EjectVolume does it.
bool EjectThroughDiskService();

// Windows: the system's eject request for a volume ("E:" or "E:\"): the
// volume is locked, dismounted, its medium's removal allowed and the medium
// ejected. Elsewhere: NotEjectable (see EjectThroughDiskService).
TEjectOutcome EjectVolume(const std::string &drive);

} // namespace platform
