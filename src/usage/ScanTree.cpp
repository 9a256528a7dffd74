// SPDX-License-Identifier: MIT
#include "usage/ScanTree.h"

#include "platform/DirectoryReader.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace usage {

constexpr char kSeparator = platform::kPathSeparator;

std::string_view ScanTree::Name(FolderId id) const
{
    if (id == 0)
        return {};
    const FolderRecord &record = Folder(id);
    return std::string_view(m_names[record.nameChunk].get() + record.nameOffset, record.nameLength);
}

std::string ScanTree::Path(FolderId id) const
{
    std::vector<std::string_view> names;
    for (FolderId at = id; at != 0; at = Folder(at).parent)
        names.push_back(Name(at));
    std::string path = m_rootPath;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (path.empty() || path.back() != kSeparator)
            path += kSeparator;
        path.append(*name);
    }
    return path;
}

void ScanTree::SetRoot(std::string path, std::uint64_t allocated, std::uint64_t apparent)
{
    m_rootPath = std::move(path);
    m_chunks[0] = std::make_unique<FolderRecord[]>(kChunk);
    FolderRecord &root = m_chunks[0][0];
    root = FolderRecord{};
    root.allocated = allocated;
    root.apparent = apparent;
    m_count = 1;
}

bool ScanTree::Add(FolderId parent, const std::vector<std::string_view> &names, FolderId &first)
{
    if (m_count + names.size() > kChunk * kMaxChunks)
        return false;
    first = FolderId(m_count);
    for (std::string_view name : names) {
        if (name.size() > kNameChunk || name.size() > 0xffff)
            return false;
        if (m_nameUsed + name.size() > kNameChunk) {
            if (m_nameChunks == kMaxNameChunks)
                return false;
            m_names[m_nameChunks++] = std::make_unique<char[]>(kNameChunk);
            m_nameUsed = 0;
        }
        const std::size_t id = m_count;
        if (!m_chunks[id / kChunk])
            m_chunks[id / kChunk] = std::make_unique<FolderRecord[]>(kChunk);
        FolderRecord &record = m_chunks[id / kChunk][id % kChunk];
        record = FolderRecord{};
        record.parent = parent;
        record.nameChunk = std::uint8_t(m_nameChunks - 1);
        record.nameOffset = std::uint32_t(m_nameUsed);
        record.nameLength = std::uint16_t(name.size());
        std::memcpy(m_names[m_nameChunks - 1].get() + m_nameUsed, name.data(), name.size());
        m_nameUsed += name.size();
        ++m_count;
    }
    FolderRecord &owner = Folder(parent);
    owner.firstChild = names.empty() ? 0 : first;
    owner.childCount = std::uint32_t(names.size());
    return true;
}

void ScanTree::AddTotalsUpward()
{
    for (std::size_t id = m_count; id-- > 1;) {
        const FolderRecord &child = Folder(FolderId(id));
        FolderRecord &parent = Folder(child.parent);
        parent.allocated += child.allocated;
        parent.apparent += child.apparent;
        parent.files += child.files;
    }
}

std::vector<FolderId> ScanTree::BiggestFolders(std::size_t n) const
{
    // A min-heap of the n biggest seen so far: no copy of the whole table.
    std::vector<FolderId> heap;
    const auto bigger = [this](FolderId a, FolderId b) {
        const auto sa = Folder(a).allocated, sb = Folder(b).allocated;
        return sa != sb ? sa > sb : a < b;
    };
    if (n == 0)
        return heap;
    heap.reserve(n + 1);
    for (std::size_t id = 1; id < m_count; ++id) {
        if (heap.size() < n) {
            heap.push_back(FolderId(id));
            std::push_heap(heap.begin(), heap.end(), bigger);
        } else if (bigger(FolderId(id), heap.front())) {
            std::pop_heap(heap.begin(), heap.end(), bigger);
            heap.back() = FolderId(id);
            std::push_heap(heap.begin(), heap.end(), bigger);
        }
    }
    std::sort(heap.begin(), heap.end(), bigger);
    return heap;
}

std::vector<FolderId> ScanTree::ChildrenBySize(FolderId id) const
{
    const FolderRecord &record = Folder(id);
    std::vector<FolderId> children(record.childCount);
    std::iota(children.begin(), children.end(), record.firstChild);
    std::sort(children.begin(), children.end(), [this](FolderId a, FolderId b) {
        const auto sa = Folder(a).allocated, sb = Folder(b).allocated;
        return sa != sb ? sa > sb : Name(a) < Name(b);
    });
    return children;
}

std::vector<std::pair<std::string, std::uint64_t>> ScanTree::TopFolders(std::size_t maxDepth,
                                                                        std::size_t maxCount) const
{
    std::vector<std::pair<std::string, std::uint64_t>> result;
    if (m_count == 0 || maxCount == 0)
        return result;
    // Best first from the root: a folder uses no more than its parent, so
    // folders leave the heap biggest first and each after its parent.
    struct Open
    {
        std::uint64_t size;
        FolderId id;
        std::size_t depth;
    };
    const auto smaller = [](const Open &a, const Open &b) {
        return a.size != b.size ? a.size < b.size : a.id > b.id;
    };
    std::vector<Open> heap{{Folder(0).allocated, 0, 0}};
    while (!heap.empty() && result.size() < maxCount) {
        std::pop_heap(heap.begin(), heap.end(), smaller);
        const Open top = heap.back();
        heap.pop_back();
        result.emplace_back(Path(top.id), top.size);
        if (top.depth >= maxDepth)
            continue;
        const FolderRecord &record = Folder(top.id);
        for (std::uint32_t i = 0; i < record.childCount; ++i) {
            const FolderId child = record.firstChild + i;
            heap.push_back({Folder(child).allocated, child, top.depth + 1});
            std::push_heap(heap.begin(), heap.end(), smaller);
        }
    }
    return result;
}

} // namespace usage
