// SPDX-License-Identifier: MIT
// Folders read with FindFirstFileExW: the basic information level (no short
// names to build) and large fetches (fewer round trips to the file system).
// Paths are given the \\?\ prefix, so that their length is not limited to
// MAX_PATH. Reparse points (junctions, volume mount points, symbolic links to
// folders) are never entered: they lead to other places or other volumes.
//
// FindFirstFileExW gives the length of a file, not the space it takes: that
// is its length rounded up to the volume's cluster, except for compressed and
// sparse files, whose space GetCompressedFileSizeW gives. Hard links are not
// told apart (the listing has no link count), so a file with several names
// counts under each of them.
#include "platform/DirectoryReader.h"
#include "platform/win/WinText.h"

#include <windows.h>

#include <vector>

namespace platform {
namespace {

std::wstring Join(const std::wstring &folder, std::wstring_view name)
{
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path.append(name);
    return path;
}

class WinDirectoryVolume;

class WinDirectoryCursor final : public DirectoryCursor
{
public:
    explicit WinDirectoryCursor(const WinDirectoryVolume &volume) : m_volume(volume) {}
    DirectoryReadStatus Read(std::span<const DirectoryStep> chain, DirectoryEntrySink &sink,
                             const std::atomic<bool> &stop, std::string &error) override;

private:
    const WinDirectoryVolume &m_volume;
};

class WinDirectoryVolume final : public DirectoryVolume
{
public:
    std::wstring root; // \\?\C:\folder
    std::string rootPath;
    std::uint64_t cluster = 4096;

    std::uint64_t RootAllocatedBytes() const override { return 0; }
    std::uint64_t RootApparentBytes() const override { return 0; }
    bool Rotational() const override { return false; }
    const std::string &RootPath() const override { return rootPath; }
    std::unique_ptr<DirectoryCursor> NewCursor(unsigned) override
    {
        return std::make_unique<WinDirectoryCursor>(*this);
    }
};

DirectoryReadStatus WinDirectoryCursor::Read(std::span<const DirectoryStep> chain, DirectoryEntrySink &sink,
                                             const std::atomic<bool> &stop, std::string &error)
{
    std::wstring folder = m_volume.root;
    for (const DirectoryStep &step : chain)
        folder = Join(folder, win::Utf8ToWide(step.name));
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileExW(Join(folder, L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES)
            return DirectoryReadStatus::Ok; // an empty folder (a drive's root has no "." entries)
        error = win::SystemMessage(code);
        return code == ERROR_PATH_NOT_FOUND ? DirectoryReadStatus::Vanished : DirectoryReadStatus::Unreadable;
    }
    DirectoryReadStatus status = DirectoryReadStatus::Ok;
    do {
        if (stop.load(std::memory_order_relaxed)) {
            status = DirectoryReadStatus::Cancelled;
            break;
        }
        const std::wstring_view wide(data.cFileName);
        if (wide == L"." || wide == L"..")
            continue;
        const std::string name = win::WideToUtf8(wide);
        DirectoryEntry entry;
        entry.name = name;
        const DWORD attributes = data.dwFileAttributes;
        const std::uint64_t length = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? DirectoryEntryKind::MountPoint
                                                                     : DirectoryEntryKind::Folder;
        } else {
            entry.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? DirectoryEntryKind::Other
                                                                     : DirectoryEntryKind::File;
            entry.apparentBytes = length;
            entry.allocatedBytes = (length + m_volume.cluster - 1) / m_volume.cluster * m_volume.cluster;
            if (attributes & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE)) {
                DWORD high = 0;
                const DWORD low = ::GetCompressedFileSizeW(Join(folder, wide).c_str(), &high);
                if (low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR)
                    entry.allocatedBytes = (std::uint64_t(high) << 32) | low;
            }
        }
        sink.Entry(entry);
    } while (::FindNextFileW(find, &data));
    if (status == DirectoryReadStatus::Ok && ::GetLastError() != ERROR_NO_MORE_FILES) {
        error = win::SystemMessage(::GetLastError());
        status = DirectoryReadStatus::Unreadable;
    }
    ::FindClose(find);
    return status;
}

} // namespace

std::unique_ptr<DirectoryVolume> OpenDirectoryVolume(const std::string &path, std::string &error)
{
    if (path.empty()) {
        error = "no folder given";
        return nullptr;
    }
    const std::wstring wide = win::Utf8ToWide(path);
    std::vector<wchar_t> full(32768);
    const DWORD length = ::GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
        error = win::SystemMessage(::GetLastError());
        return nullptr;
    }
    std::wstring resolved(full.data(), length);
    const DWORD attributes = ::GetFileAttributesW(resolved.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = win::SystemMessage(::GetLastError());
        return nullptr;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "it is not a folder";
        return nullptr;
    }
    auto volume = std::make_unique<WinDirectoryVolume>();
    volume->rootPath = win::WideToUtf8(resolved);
    volume->root = resolved.rfind(L"\\\\", 0) == 0 ? resolved : L"\\\\?\\" + resolved;
    wchar_t mount[MAX_PATH + 1];
    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    if (::GetVolumePathNameW(resolved.c_str(), mount, MAX_PATH + 1)
        && ::GetDiskFreeSpaceW(mount, &sectors, &bytes, &freeClusters, &clusters) && sectors && bytes)
        volume->cluster = std::uint64_t(sectors) * bytes;
    return volume;
}

bool CurrentThreadStorageReads(std::uint64_t &)
{
    // Windows counts I/O per process (GetProcessIoCounters), cached reads
    // included: no answer for one thread.
    return false;
}

bool LowerCurrentThreadPriority()
{
    // Background mode lowers the thread's CPU, I/O and memory priorities.
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN) != 0;
}

} // namespace platform
