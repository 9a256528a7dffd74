// SPDX-License-Identifier: MIT
#include "platform/BoundedFile.h"
#include "platform/win/WinText.h"

#include <windows.h>

namespace platform {

BoundedRead ReadBoundedFile(const std::string &Path, std::size_t Cap)
{
    const std::wstring wide = win::Utf8ToWide(Path);
    // Opened without FILE_FLAG_OVERLAPPED; a pipe or device is refused by its
    // type before any read, so nothing here can wait on a writer.
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return BoundedRead::Refused(BoundedRead::Status::Missing, "it does not exist");
        return BoundedRead::Refused(BoundedRead::Status::Failed, win::SystemMessage(error));
    }
    struct Closer
    {
        HANDLE handle;
        ~Closer() { ::CloseHandle(handle); }
    } closer{file};

    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return BoundedRead::Refused(BoundedRead::Status::NotRegular, "it is not a regular file");

    BoundedRead read;
    std::size_t step = 4096;
    for (;;) {
        const std::size_t room = Cap + 1 - read.Bytes.size();
        const std::size_t want = step < room ? step : room;
        const std::size_t old = read.Bytes.size();
        read.Bytes.resize(old + want);
        DWORD got = 0;
        if (!::ReadFile(file, read.Bytes.data() + old, static_cast<DWORD>(want), &got, nullptr)) {
            const DWORD error = ::GetLastError();
            return BoundedRead::Refused(BoundedRead::Status::Failed, win::SystemMessage(error));
        }
        read.Bytes.resize(old + got);
        if (got == 0)
            break;
        if (read.Bytes.size() > Cap)
            return BoundedRead::TooLarge(Cap);
        if (step < 1024 * 1024)
            step *= 2;
    }
    read.Result = BoundedRead::Status::Ok;
    return read;
}

bool IsOwnStaleRegularFile(const std::string &Path, long long MinAgeSeconds)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win::Utf8ToWide(Path).c_str(), GetFileExInfoStandard, &data))
        return false;
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        != 0)
        return false;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME &t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long written = ticks(data.ftLastWriteTime);
    const unsigned long long current = ticks(now);
    // FILETIME counts 100-nanosecond steps.
    return current >= written
        && (current - written) / 10000000ull >= static_cast<unsigned long long>(MinAgeSeconds);
}

} // namespace platform
