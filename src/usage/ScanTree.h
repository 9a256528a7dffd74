// SPDX-License-Identifier: MIT
#pragma once

// What a scan of a folder found: every folder below it with its size, the
// biggest files, the folders that could not be read and the mount points that
// were left out. Folders are kept compactly (a record of 48 bytes each, their
// names in an arena); files are not kept, apart from the biggest.
//
// A folder is named by its FolderId: 0 is the root, and a folder's id is
// always larger than its parent's (a folder is recorded when its parent is
// read), so that totals add up in one backward pass.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace usage {

class Scanner;
using FolderId = std::uint32_t;

struct FolderRecord
{
    // Space used on the disk and apparent length: while the scan runs, the
    // folder's own and its files'; once it is over, with everything below.
    std::uint64_t allocated = 0;
    std::uint64_t apparent = 0;
    // Entries that are not folders (files, links, devices): likewise.
    std::uint64_t files = 0;
    FolderId parent = 0;
    FolderId firstChild = 0; // its folders are firstChild .. firstChild + childCount - 1
    std::uint32_t childCount = 0;
    std::uint32_t nameOffset = 0; // in the name arena
    std::uint16_t nameLength = 0;
    std::uint8_t nameChunk = 0;
    std::uint8_t state = 0; // a State
    std::uint32_t reserved = 0;

    enum State : std::uint8_t { Pending = 0, Read = 1, Unreadable = 2, Vanished = 3 };
};
static_assert(sizeof(FolderRecord) == 48);

struct FileItem
{
    std::uint64_t allocated = 0;
    std::uint64_t apparent = 0;
    FolderId folder = 0;
    std::string name;
};

struct ProblemFolder
{
    FolderId folder = 0;
    std::string reason;
};

struct MountPointItem
{
    FolderId folder = 0; // the folder that holds it
    std::string name;
};

// Grows while the scan runs (one writer at a time, under the scanner's lock);
// records and names never move once written, so that readers holding an id
// that was handed to them read them without a lock.
class ScanTree
{
public:
    ScanTree() = default;
    ScanTree(const ScanTree &) = delete;
    ScanTree &operator=(const ScanTree &) = delete;

    std::size_t FolderCount() const { return m_count; }
    const FolderRecord &Folder(FolderId id) const { return m_chunks[id / kChunk][id % kChunk]; }
    FolderRecord &Folder(FolderId id) { return m_chunks[id / kChunk][id % kChunk]; }
    std::string_view Name(FolderId id) const;
    // The root's path followed by the names down to the folder, '/'
    // separated ('\\' on Windows).
    std::string Path(FolderId id) const;
    const std::string &RootPath() const { return m_rootPath; }

    // Totals of the whole scan (the root's record once it is over).
    std::uint64_t Allocated() const { return m_count ? Folder(0).allocated : 0; }
    std::uint64_t Apparent() const { return m_count ? Folder(0).apparent : 0; }

    // The n biggest folders below the root (by space used), biggest first.
    std::vector<FolderId> BiggestFolders(std::size_t n) const;
    // The root and its biggest folders down to maxDepth levels below it,
    // at most maxCount in all, as (Path, space used), biggest first: a
    // folder comes only after its parent, and everything left out used no
    // more than the last one given. For keeping a scan's totals small.
    std::vector<std::pair<std::string, std::uint64_t>> TopFolders(std::size_t maxDepth,
                                                                  std::size_t maxCount) const;
    // The folders directly in id, biggest first.
    std::vector<FolderId> ChildrenBySize(FolderId id) const;
    const std::vector<FileItem> &BiggestFiles() const { return m_biggestFiles; }
    const std::vector<ProblemFolder> &Unreadable() const { return m_unreadable; }
    const std::vector<MountPointItem> &MountPoints() const { return m_mountPoints; }
    std::uint64_t FileCount() const { return m_count ? Folder(0).files : 0; }

    // For the scanner: the root, and room for count new folders (ids
    // returned: first of them), or false when the table is full.
    void SetRoot(std::string path, std::uint64_t allocated, std::uint64_t apparent);
    bool Add(FolderId parent, const std::vector<std::string_view> &names, FolderId &first);
    void AddTotalsUpward(); // once, after the scan: folders' totals include their subfolders

private:
    friend class Scanner;
    std::vector<FileItem> m_biggestFiles;
    std::vector<ProblemFolder> m_unreadable;
    std::vector<MountPointItem> m_mountPoints;

    static constexpr std::size_t kChunk = 8192;
    static constexpr std::size_t kMaxChunks = 8192; // 67 million folders
    static constexpr std::size_t kNameChunk = 1u << 20;
    static constexpr std::size_t kMaxNameChunks = 256; // 256 MiB of names

    std::array<std::unique_ptr<FolderRecord[]>, kMaxChunks> m_chunks;
    std::array<std::unique_ptr<char[]>, kMaxNameChunks> m_names;
    std::size_t m_nameChunks = 0;
    std::size_t m_nameUsed = kNameChunk; // in the last chunk
    std::size_t m_count = 0;
    std::string m_rootPath;
};

} // namespace usage
