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

    return ReadUpToCap(Cap, [file](char *buffer, std::size_t size, std::size_t &got, std::string &error) {
        DWORD n = 0;
        if (!::ReadFile(file, buffer, static_cast<DWORD>(size), &n, nullptr)) {
            error = win::SystemMessage(::GetLastError());
            return false;
        }
        got = n;
        return true;
    });
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
