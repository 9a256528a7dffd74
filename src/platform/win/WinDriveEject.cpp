// SPDX-License-Identifier: MIT
#include "platform/DriveEject.h"

#include "platform/SystemError.h"

#include <windows.h>
#include <winioctl.h>

namespace platform {

namespace {

TEjectOutcome Failure(DWORD error, TEjectResult otherwise)
{
    TEjectOutcome outcome{otherwise, {}};
    SetLastError(error);
    outcome.Detail = LastSystemErrorText();
    switch (error) {
    case ERROR_ACCESS_DENIED:
        outcome.Result = TEjectResult::NotAllowed;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        outcome.Result = TEjectResult::Busy;
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_NOT_READY:
        outcome.Result = TEjectResult::NotEjectable;
        break;
    default:
        break;
    }
    return outcome;
}

bool Control(HANDLE volume, DWORD code, void *in = nullptr, DWORD inSize = 0)
{
    DWORD returned = 0;
    return DeviceIoControl(volume, code, in, inSize, nullptr, 0, &returned, nullptr) != 0;
}

} // namespace

TEjectOutcome EjectVolume(const std::string &drive)
{
    // "E:" or "E:\" only: a letter and a colon.
    if (drive.size() < 2 || drive.size() > 3 || drive[1] != ':'
        || !((drive[0] >= 'A' && drive[0] <= 'Z') || (drive[0] >= 'a' && drive[0] <= 'z'))
        || (drive.size() == 3 && drive[2] != '\\' && drive[2] != '/'))
        return {TEjectResult::NotEjectable, "not a drive letter"};
    const std::string path = std::string("\\\\.\\") + drive[0] + ':';
    HANDLE volume = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        return Failure(GetLastError(), TEjectResult::Failed);

    TEjectOutcome outcome{TEjectResult::Done, {}};
    // The lock fails while any file of the volume is open: retried a few
    // times, since the shell or an indexer may hold one for a moment.
    bool locked = false;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 5 && !locked; ++attempt) {
        locked = Control(volume, FSCTL_LOCK_VOLUME);
        if (!locked) {
            error = GetLastError();
            Sleep(200);
        }
    }
    if (!locked) {
        outcome = Failure(error, TEjectResult::Busy);
        if (outcome.Result == TEjectResult::Failed)
            outcome.Result = TEjectResult::Busy;
    } else if (!Control(volume, FSCTL_DISMOUNT_VOLUME)) {
        outcome = Failure(GetLastError(), TEjectResult::Failed);
    } else {
        PREVENT_MEDIA_REMOVAL allow{};
        allow.PreventMediaRemoval = FALSE;
        if (!Control(volume, IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow)
            || !Control(volume, IOCTL_STORAGE_EJECT_MEDIA))
            outcome = Failure(GetLastError(), TEjectResult::Failed);
    }
    CloseHandle(volume);
    return outcome;
}

} // namespace platform
