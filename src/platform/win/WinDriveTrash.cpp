// SPDX-License-Identifier: MIT
#include "platform/DriveTrash.h"

#include "platform/win/WinText.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

using win::SystemMessage;
using win::Utf8ToWide;
using win::WideToUtf8;

namespace {

std::string Failure(const std::wstring &path, DWORD code)
{
    return WideToUtf8(path) + ": " + SystemMessage(code);
}

// The volume's root ("C:\\") of a path.
std::wstring VolumeRoot(const std::wstring &path)
{
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), root, MAX_PATH))
        return path;
    return root;
}

void RemoveBelow(const std::wstring &path, DWORD attributes, std::string &error)
{
    const auto note = [&](const std::wstring &item) {
        if (error.empty())
            error = Failure(item, GetLastError());
    };
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!DeleteFileW(path.c_str()))
            note(path);
        return;
    }
    // A junction or a mounted volume is removed as the link it is; what it
    // points to is never entered.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                RemoveBelow(path + L"\\" + name, found.dwFileAttributes, error);
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
    }
    if (!RemoveDirectoryW(path.c_str()))
        note(path);
}

} // namespace

bool ReadDriveSpace(const std::string &path, DriveSpace &space, std::string &error)
{
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(Utf8ToWide(path).c_str(), &available, &total, &free)) {
        error = Failure(Utf8ToWide(path), GetLastError());
        return false;
    }
    space.size = total.QuadPart;
    space.available = available.QuadPart;
    return true;
}

std::vector<std::string> TrashFolders(const std::string &driveRoot)
{
    std::wstring root = VolumeRoot(Utf8ToWide(driveRoot));
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    const std::wstring bin = root + L"$Recycle.Bin";
    const DWORD attributes = GetFileAttributesW(bin.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return {WideToUtf8(bin)};
}

bool EmptyTrash(const std::string &driveRoot, std::string &error)
{
    const std::wstring root = VolumeRoot(Utf8ToWide(driveRoot));
    const HRESULT result = SHEmptyRecycleBinW(nullptr, root.c_str(),
                                              SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
    // An empty bin answers E_UNEXPECTED on some versions: nothing to do.
    if (FAILED(result) && result != E_UNEXPECTED) {
        error = Failure(root, DWORD(result));
        return false;
    }
    return true;
}

bool RemoveTree(const std::string &path, std::string &error)
{
    const std::wstring wide = Utf8ToWide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = Failure(wide, GetLastError());
        return false;
    }
    error.clear();
    RemoveBelow(wide, attributes, error);
    return error.empty();
}

} // namespace platform
